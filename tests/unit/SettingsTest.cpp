#include <gtest/gtest.h>

#include "platform/IniFile.h"

using platform::ProfileIntFromText;

TEST(Settings, ValuesAreReadAsThePrivateProfileFunctionsReadThem) {
    const std::string ini =
        "; comment\n"
        "[Other]\nGamma=1\n"
        "[ imaging ]\r\n"
        "  GAMMA = 220 \r\n"
        "UnsharpenOffset=2x\n"
        "Hex=0x1F\n"
        "Negative=-3\n"
        "Text=abc\n"
        "Empty=\n";
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "Gamma", 180), 220u);
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "UnsharpenOffset", 1), 2u);
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "Hex", 1), 31u);
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "Negative", 1), static_cast<unsigned>(-3));
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "Text", 1), 0u);
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "Empty", 7), 7u);
    EXPECT_EQ(ProfileIntFromText(ini, "Imaging", "Missing", 180), 180u);
    EXPECT_EQ(ProfileIntFromText(ini, "Nowhere", "Gamma", 180), 180u);
    EXPECT_EQ(ProfileIntFromText("", "Imaging", "Gamma", 180), 180u);
}
