// Readings that cannot be right, the ways a readings file may be written, and the Gamma setting
// as calc-lut sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "readings/Readings.h"
#include "readings/ReadingsChecks.h"
#include "support/HostRun.h"
#include "support/Text.h"

namespace {

using testing_support::Contains;

// Reference, then the 46 patches rising by step hundredths from it; reading 47 unused.
std::vector<uint16_t> GreyScale(int reference, int step) {
    std::vector<uint16_t> readings(48, 0);
    readings[0] = static_cast<uint16_t>(reference);
    for (int r = 1; r <= 46; ++r) readings[r] = static_cast<uint16_t>(reference + step * r);
    return readings;
}

TEST(ReadingsChecks, RefusesReadingsThatCannotBeAGreyScale) {
    // A real grey scale: the steps' densities by the gamma law, with the densitometer's scatter
    // of a hundredth, which must not raise a doubt.
    std::vector<uint16_t> good = GreyScale(8, 5);
    for (int r = 1; r <= 46; r += 3) good[r] = static_cast<uint16_t>(good[r] + 1);
    good[1] = 7;  // the lightest patch a hundredth lighter than the reference
    std::vector<uint16_t> reversed(good);
    std::reverse(reversed.begin() + 1, reversed.begin() + 47);
    std::vector<uint16_t> swapped(good);
    std::swap(swapped[20], swapped[21]);
    std::vector<uint16_t> denseReference(good);
    denseReference[0] = 150;
    std::vector<uint16_t> referenceTypo(good);
    referenceTypo[0] = 80;  // 8 typed with a digit too many
    std::vector<uint16_t> lighter(good);
    lighter[11] = 24;  // 62 typed as 24
    // A plateau at the darkest patches that wobbles within the densitometer's noise.
    std::vector<uint16_t> plateau(good);
    for (int r = 40; r <= 46; ++r) plateau[r] = static_cast<uint16_t>(r % 2 ? 240 : 236);
    std::vector<uint16_t> beyondNoise(plateau);
    beyondNoise[44] = 235;
    // 47 readings and the unused last one: every later patch took its neighbour's reading.
    std::vector<uint16_t> missing(good);
    missing.erase(missing.begin() + 21);
    missing.back() = 0;
    missing.push_back(0);
    struct CCase {
        const char* name;
        std::vector<uint16_t> readings;
        bool densities;
        std::string refusal;  // a part of it; empty: accepted
        std::string warning;
    } cases[] = {
        {"good", good, false, "", ""},
        {"good, as densities", good, true, "", ""},
        {"reversed", reversed, false,
         "the patch densities fall from 2.39 (patch 1) to 0.07 (patch 46): patches measured in "
         "the wrong order?",
         ""},
        {"all equal", GreyScale(150, 0), false,
         "all 46 patch readings are 1.50: the grey scale shows no tones", ""},
        {"reference denser", denseReference, false,
         "reading 0 (the reference) reads 150, denser than 28 of the 46 patches, the first patch "
         "1 with 7, by more than a densitometer's noise (0.04)",
         ""},
        {"reference typed with a digit too many", referenceTypo, false,
         "reading 0 (the reference) reads 80, denser than 14 of the 46 patches", ""},
        {"hundredths given as densities", GreyScale(1000, 5), true,
         "reading 0 (the reference) is a density of 10.00: densities above 9.00 cannot be right",
         ""},
        {"swapped", swapped, false,
         "patch 21 reads 108, lighter than patch 20 before it with 113 by more than a "
         "densitometer's noise (0.04); a grey scale gets denser patch by patch: a typo, or the two "
         "patches measured swapped?",
         ""},
        {"a lighter patch", lighter, false, "patch 11 reads 24 where its neighbours suggest about",
         ""},
        {"a plateau within the noise", plateau, false, "", ""},
        {"a plateau beyond the noise", beyondNoise, false,
         "patch 44 reads 235, lighter than patch 43 before it with 240", ""},
        {"a reading missing", missing, false,
         "patch 46, the darkest, reads 0: is a reading missing?", ""},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        const host::CReadingsCheck check = host::CheckReadings(c.readings, c.densities);
        if (c.refusal.empty())
            EXPECT_EQ(check.refusal, "");
        else
            EXPECT_TRUE(Contains(check.refusal, c.refusal)) << check.refusal;
        if (c.warning.empty()) {
            EXPECT_TRUE(check.warnings.empty()) << check.warnings[0];
        } else {
            ASSERT_EQ(check.warnings.size(), 1u);
            EXPECT_TRUE(Contains(check.warnings[0], c.warning)) << check.warnings[0];
        }
    }
}

// A mistyped reading: refused with the patch named and what it probably is, wherever it lies
// on the scale; readings that merely curve, or scatter by the densitometer's hundredth, pass.
TEST(ReadingsChecks, ARemarkableReadingIsNamedWithItsLikelyTypo) {
    // A real grey scale's curve: slow in the toe, steep in the middle, flat in the shoulder.
    std::vector<uint16_t> curve(48, 0);
    curve[0] = 8;
    for (int r = 1; r <= 46; ++r)
        curve[r] = static_cast<uint16_t>(8 + 230 / (1 + std::exp(-(r - 23) / 6.0)) + (r % 3 == 0));
    struct CCase {
        const char* name;
        int patch;
        int value;  // the reading typed; -1: the curve as it is
        std::string refusal;
    } cases[] = {
        {"the curve", 0, -1, ""},
        {"a digit too many, above 900", 20, 10 * curve[20],
         "patch 20 reads " + std::to_string(10 * curve[20]) +
             " hundredths, above 900 (9.00), which the library reads as a negative density: ten "
             "times too large: " + std::to_string(curve[20]) + " typed with a digit too many?"},
        {"a digit too many, below 900", 3, 10 * curve[3],
         "patch 3 reads " + std::to_string(10 * curve[3]) + " where its neighbours "
         "suggest about"},
        {"a digit too many at the light end", 1, 10 * curve[1], "ten times too large: " +
         std::to_string(curve[1]) + " typed with a digit too many?"},
        {"a digit too few at the dark end", 46, curve[46] / 10,
         "patch 46 reads " + std::to_string(curve[46] / 10) + " where its neighbours "
         "suggest about"},
        {"a digit too few", 30, curve[30] / 10, "a tenth of what it should be"},
        {"another typo", 12, curve[12] + 90, "patch 12 reads " + std::to_string(curve[12] + 90) +
         " where its neighbours suggest about " + std::to_string(curve[12]) +
         ": a typo, or the wrong patch measured?"},
        {"the reference above 900", 0, 950, "reading 0 (the reference) reads 950 hundredths, above 900"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint16_t> readings(curve);
        if (c.value >= 0) readings[c.patch] = static_cast<uint16_t>(c.value);
        const host::CReadingsCheck check = host::CheckReadings(readings, false);
        if (c.refusal.empty())
            EXPECT_EQ(check.refusal, "");
        else
            EXPECT_TRUE(Contains(check.refusal, c.refusal)) << check.refusal;
    }
    // All readings ten times too large are that, not patches in the wrong order.
    std::vector<uint16_t> tenfold(curve);
    for (uint16_t& reading : tenfold) reading = static_cast<uint16_t>(reading * 10);
    const std::string refusal = host::CheckReadings(tenfold, false).refusal;
    EXPECT_TRUE(Contains(refusal, "readings are above 900 hundredths (9.00)")) << refusal;
    EXPECT_TRUE(Contains(refusal, "typed ten times too large")) << refusal;
}

// The tables that densitometers' software exports give the readings that the same values typed
// by hand give.
TEST(ReadingsFile, CgatsAndCsvTablesGiveThePlainReadings) {
    host_tests::CFolder folder;
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder.Path(name), std::ios::binary) << text;
        return folder.Path(name);
    };
    auto density = [](int h) {
        return std::to_string(h / 100) + "." + std::to_string(100 + h % 100).substr(1);
    };
    std::string plain, cgats, csv, reflectance, shuffled;
    cgats = "CGATS.17\nORIGINATOR \"densitometer\"\nNUMBER_OF_FIELDS 5\nBEGIN_DATA_FORMAT\n"
            "SAMPLE_ID D_RED D_GREEN D_BLUE D_VIS\nEND_DATA_FORMAT\nNUMBER_OF_SETS 48\nBEGIN_DATA\n";
    csv = "Patch;D_RED;Density\r\n";
    reflectance = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\n"
                  "BEGIN_DATA\n";
    std::vector<std::string> rows;
    for (int r = 0; r < 48; ++r) {
        const int h = r == 0 || r == 47 ? 10 : 10 + 5 * r;
        plain += std::to_string(h) + "\n";
        const std::string row = std::to_string(r + 1) + " " + density(h + 3) + " " +
                                density(h + 1) + " " + density(h + 2) + " " + density(h) + "\n";
        cgats += row;
        rows.push_back(row);
        std::string comma = density(h);
        comma[comma.find('.')] = ',';
        csv += std::to_string(r) + ";0,00;" + comma + "\r\n";
        char y[32];
        std::snprintf(y, sizeof y, "%d 1.0 %.4f 1.0\n", r, 100 * std::pow(10.0, -h / 100.0));
        reflectance += y;
    }
    cgats += "END_DATA\n";
    reflectance += "END_DATA\n";
    // Rows in another order than their SAMPLE_ID are taken in the order of the ID.
    std::reverse(rows.begin(), rows.end());
    shuffled = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_RED D_GREEN D_BLUE D_VIS\n"
               "END_DATA_FORMAT\nBEGIN_DATA\n";
    for (const std::string& row : rows) shuffled += row;
    shuffled += "END_DATA\n";
    const std::vector<uint16_t> expected =
        host::ReadDensitometerFile(write("plain.txt", plain), false);
    struct CCase {
        const char* name;
        std::string text;
        std::string channel;
        int offset;  // of the column read from the plain readings
        std::string source;
    } cases[] = {
        {"CGATS, D_VIS by default", cgats, "", 0, "CGATS column D_VIS (densities)"},
        {"CGATS, a channel", cgats, "d_red", 3, "CGATS column D_RED (densities)"},
        {"CGATS, rows out of order", shuffled, "", 0, "CGATS column D_VIS"},
        {"CGATS, reflectance", reflectance, "", 0, "CGATS column XYZ_Y (reflectance in %"},
        {"CSV with a header", csv, "", 0, "CSV column Density (densities)"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        host::CReadingsFormat format;
        format.channel = c.channel;
        const host::CReadingsFile file = host::ReadReadingsFile(write("table.txt", c.text), format);
        std::vector<uint16_t> shifted(expected);
        for (uint16_t& reading : shifted) reading = static_cast<uint16_t>(reading + c.offset);
        EXPECT_EQ(file.readings, shifted);
        EXPECT_TRUE(Contains(file.source, c.source)) << file.source;
    }
    struct CRefusal {
        std::string text;
        std::string channel;
        std::string message;
    } refused[] = {
        {cgats, "D_UV", "no column D_UV (--channel); its columns: SAMPLE_ID, D_RED, D_GREEN, "
                        "D_BLUE, D_VIS"},
        {cgats.substr(0, cgats.find("END_DATA\n", cgats.find("BEGIN_DATA\n"))), "",
         "CGATS file without END_DATA (cut short?)"},
        {"Patch,D_RED,D_BLUE\n1,0.10,0.12\n", "", "which column of the CSV file holds the "
         "readings? Give one with --channel"},
        {plain, "D_VIS", "--channel D_VIS names a column, but the file is no CGATS or CSV table"},
    };
    for (const CRefusal& c : refused) {
        host::CReadingsFormat format;
        format.channel = c.channel;
        try {
            host::ReadReadingsFile(write("bad.txt", c.text), format);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const host::CHostError& e) {
            EXPECT_TRUE(Contains(e.what(), c.message)) << e.what();
        }
    }
}

TEST(ReadingsFile, DecimalCommasAndUtf16AreRead) {
    host_tests::CFolder folder;
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(folder.Path(name), std::ios::binary) << bytes;
        return folder.Path(name);
    };
    std::string commas = "# Dichte\n";
    std::string points;
    for (int r = 0; r < 48; ++r) {
        const int h = r == 0 || r == 47 ? 10 : 10 + 5 * r;
        const std::string whole = std::to_string(h / 100),
                          part = std::to_string(100 + h % 100).substr(1);
        commas += whole + "," + part + (r % 6 == 5 ? "\n" : "; ");
        points += whole + "." + part + "\n";
    }
    const std::vector<uint16_t> expected =
        host::ReadDensitometerFile(write("points.txt", points), true);
    EXPECT_EQ(expected[0], 10);
    EXPECT_EQ(expected[46], 240);
    EXPECT_EQ(host::ReadDensitometerFile(write("commas.csv", commas), true), expected);

    auto utf16 = [](const std::string& text, bool little, bool mark) {
        std::string bytes = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
        for (char c : text) {
            const std::string unit =
                c == 'D' ? std::string("\xFC\x00", 2) : std::string(1, c) + '\0';
            bytes += little ? unit : std::string{unit[1], unit[0]};
        }
        return bytes;
    };
    for (bool little : {true, false})
        for (bool mark : {true, false}) {
            SCOPED_TRACE(testing::Message() << "little-endian " << little << ", mark " << mark);
            EXPECT_EQ(
                host::ReadDensitometerFile(write("utf16.txt", utf16(commas, little, mark)), true),
                expected);
        }

    struct CCase {
        std::string bytes;
        std::string message;
    } refused[] = {
        {"0,10,0,15\n",
         "line 1: '0,10,0,15' is not a number (readings with decimal commas must be "
         "separated by semicolons, tabs, spaces or line breaks)"},
        {std::string("10\n\0\0\x01\x02", 6),
         "not a text file of readings (it holds NUL characters)"},
        {"\xFF\xFE"
         "1\0"
         "0",
         "UTF-16 text with an odd number of bytes"},
    };
    for (const CCase& c : refused) {
        try {
            host::ReadDensitometerFile(write("bad.txt", c.bytes), true);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const host::CHostError& e) {
            EXPECT_TRUE(Contains(e.what(), c.message)) << e.what();
        }
    }
}

// A table whose rows cannot be the patches in order: a SAMPLE_ID missing or written twice would
// give every later patch its neighbour's reading, a row count other than NUMBER_OF_SETS says a
// row was lost. The readings are still read (in file order), for --force.
TEST(ReadingsFile, TableRowsThatCannotBeThePatchesInOrder) {
    host_tests::CFolder folder;
    auto cgats = [](const std::string& sets, int skip, int doubled, int first) {
        std::string text = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_VIS\nEND_DATA_FORMAT\n" +
                           (sets.empty() ? "" : "NUMBER_OF_SETS " + sets + "\n") + "BEGIN_DATA\n";
        for (int r = 0; r < 48; ++r) {
            if (r == skip) continue;
            const int h = 10 + 5 * r;
            text += std::to_string(r == doubled ? first + r - 1 : first + r) + " " +
                    std::to_string(h / 100) + "." + std::to_string(100 + h % 100).substr(1) + "\n";
        }
        return text + "END_DATA\n";
    };
    struct CCase {
        const char* name;
        std::string text;
        std::string problem;  // empty: none
    } cases[] = {
        {"numbered from 0", cgats("48", -1, -1, 0), ""},
        {"numbered from 1, the unused last row left out", cgats("47", 47, -1, 1), ""},
        {"an ID missing", cgats("47", 21, -1, 0),
         "SAMPLE_ID 21 is missing (20 on line 27 is followed by 22 on line 28): every later patch "
         "would take its neighbour's reading"},
        {"an ID doubled", cgats("48", -1, 21, 0),
         "SAMPLE_ID 20 is written twice, on line 27 and line 28"},
        {"a row lost", cgats("48", 47, -1, 0),
         "NUMBER_OF_SETS on line 5 is 48, but the data holds 47 rows"},
        {"numbered from elsewhere", cgats("", -1, -1, 5), "the SAMPLE_IDs start at 5 on line 6"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(folder.Path("table.txt"), std::ios::binary) << c.text;
        const host::CReadingsFile file = host::ReadReadingsFile(folder.Path("table.txt"), {});
        EXPECT_EQ(file.readings.size(), 48u);
        EXPECT_EQ(file.tableProblem.empty(), c.problem.empty()) << file.tableProblem;
        EXPECT_TRUE(Contains(file.tableProblem, c.problem)) << file.tableProblem;
        const host::CReadingsCheck check = host::CheckReadingsFile(file, false);
        EXPECT_EQ(check.refusal.empty(), c.problem.empty()) << check.refusal;
    }
}

// A fault found by a reading's neighbours is named by the line, the SAMPLE_ID and the value as
// the file writes them, not by the hundredths the library takes; densities with decimal commas
// in a file read as hundredths get the hint that points get.
TEST(ReadingsFile, MessagesNameTheLineAndTheValueAsWritten) {
    host_tests::CFolder folder;
    auto write = [&](const std::string& text) {
        std::ofstream(folder.Path("readings.txt"), std::ios::binary) << text;
        return folder.Path("readings.txt");
    };
    std::string table = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_VIS\nEND_DATA_FORMAT\n"
                        "BEGIN_DATA\n";
    std::string commas = "# densities\n";
    for (int r = 0; r < 48; ++r) {
        const int h = 10 + 5 * r;
        const std::string density =
            std::to_string(h / 100) + "." + std::to_string(100 + h % 100).substr(1);
        table += "A" + std::to_string(r) + " " + (r == 11 ? "0.240" : density) + "\n";
        commas += std::to_string(h / 100) + "," + std::to_string(100 + h % 100).substr(1) + "\n";
    }
    table += "END_DATA\n";
    const host::CReadingsFile file = host::ReadReadingsFile(write(table), {});
    const std::string refusal = host::CheckReadingsFile(file, false).refusal;
    EXPECT_TRUE(Contains(refusal, "patch 11 (line 17, SAMPLE_ID A11) reads 0.240 where its "
                                  "neighbours suggest about 0.65"))
        << refusal;
    try {
        host::ReadReadingsFile(write(commas), {});
        ADD_FAILURE() << "decimal commas read as hundredths";
    } catch (const host::CHostError& e) {
        EXPECT_TRUE(Contains(e.what(), "line 2: '0,10' is not a whole number of hundredths (150 "
                                       "for a density of 1.50; give --density"))
            << e.what();
    }
}

TEST(ReadingsChecks, GammaIsDescribedAndCheckedAsTheLibraryUsesIt) {
    struct CCase {
        unsigned value;
        bool present;
        std::string description, unusable, warning;
    } cases[] = {
        {180, false, "gamma 1.80 (the default; no Gamma in [Imaging] of F)", "", ""},
        {220, true, "gamma 2.20 (Gamma in [Imaging] of F reads as 220)", "", ""},
        {30, true, "gamma 0.30", "", "lies outside the usual 0.50 .. 5.00"},
        {1, true, "gamma 0.01 (Gamma in [Imaging] of F reads as 1)",
         "is outside 0.10 .. 10.00, with which the library writes no table; the setting is in "
         "hundredths (180 for a gamma of 1.80)",
         ""},
        {0u - 180u, true, "gamma -1.80 (Gamma in [Imaging] of F reads as -180)", "outside", ""},
        {1001, true, "gamma 10.01", "outside", ""},
        {1000, true, "gamma 10.00", "", "usual"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.value);
        const host::CGammaCheck check = host::CheckGamma({c.value, c.present, "F"});
        EXPECT_TRUE(Contains(check.description, c.description)) << check.description;
        EXPECT_EQ(check.unusable.empty(), c.unusable.empty()) << check.unusable;
        EXPECT_TRUE(Contains(check.unusable, c.unusable)) << check.unusable;
        EXPECT_EQ(check.warning.empty(), c.warning.empty()) << check.warning;
        EXPECT_TRUE(Contains(check.warning, c.warning)) << check.warning;
    }
}

}  // namespace
