// Saving the calibration files when writing fails at any point: the old file stays byte for byte,
// no temporary file (NAME.kavrel-new-...) is left, and a later save that succeeds writes the whole
// file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/File.h"
#include "platform/SafeSave.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "support/Hooks.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

struct Saver {
    const char* name;
    std::function<void(const std::string&)> save;  // writes the new file
    std::vector<uint8_t> oldFile;                  // what the file held before
};

void MakePlane(CFrame& frame, int32_t cols, int32_t rows) {
    testing_support::PaintSamples(frame, cols, rows, [](int32_t i) { return i * 37 - 500; });
}

std::vector<Saver> Savers() {
    auto lut = std::make_shared<CLut>();
    lut->MakeLinear(2000);
    auto plane = std::make_shared<CFrame>();
    MakePlane(*plane, 7, 5);
    return {
        {"LUT file", [lut](const std::string& path) { lut->Save(path); },
         std::vector<uint8_t>(528, 0x11)},
        {"offset file", [plane](const std::string& path) { plane->Save(path); },
         std::vector<uint8_t>(40, 0x22)},
    };
}

// The new file as a save without failures writes it.
std::vector<uint8_t> NewFile(const Saver& saver) {
    TempDir dir;
    saver.save(dir.Path("new"));
    return ReadBytes(dir.Path("new"));
}

}  // namespace

TEST(SaveFailure, AWriteFailingAtAnyByteKeepsTheOldFile) {
    for (const Saver& saver : Savers()) {
        SCOPED_TRACE(saver.name);
        const std::vector<uint8_t> complete = NewFile(saver);
        ASSERT_GT(complete.size(), 18u);
        TempDir dir;
        const std::string path = dir.Path("calibration");
        WriteBytes(path, saver.oldFile);
        for (int64_t failAt = 0; failAt < static_cast<int64_t>(complete.size()); ++failAt) {
            {
                WriteFailure failure(failAt);
                saver.save(path);
            }
            ASSERT_EQ(ReadBytes(path), saver.oldFile) << "failing at byte " << failAt;
            ASSERT_EQ(dir.Files(), std::vector<std::string>{"calibration"})
                << "failing at byte " << failAt;
        }
        saver.save(path);
        EXPECT_EQ(ReadBytes(path), complete);
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"calibration"});
    }
}

TEST(SaveFailure, EveryFailingWriteCallKeepsTheOldFileOrLeavesNone) {
    for (const Saver& saver : Savers()) {
        SCOPED_TRACE(saver.name);
        TempDir dir;
        const std::string path = dir.Path("calibration");
        int calls = 0;
        {
            WriteCallFailure counter(0);
            saver.save(dir.Path("count"));
            calls = counter.Calls();
        }
        ASSERT_GE(calls, 1);
        for (int n = 1; n <= calls; ++n) {
            WriteBytes(path, saver.oldFile);
            {
                WriteCallFailure failure(n);
                saver.save(path);
            }
            EXPECT_EQ(ReadBytes(path), saver.oldFile) << "write call " << n;
            // Without an old file, the failed save leaves no file at all.
            std::filesystem::remove(path);
            {
                WriteCallFailure failure(n);
                saver.save(path);
            }
            EXPECT_FALSE(FileExists(path)) << "write call " << n;
            std::filesystem::remove(dir.Path("count"));
            EXPECT_TRUE(dir.Files().empty()) << "write call " << n;
        }
    }
}

// A target that cannot be replaced (here a folder) ends the save with nothing changed; a name
// already taken where temporary files go (a folder at the fixed name of earlier versions) does not
// stop the save, since every temporary file gets a new name of its own.
TEST(SaveFailure, TargetThatCannotBeWrittenAndTakenTemporaryName) {
    for (const Saver& saver : Savers()) {
        SCOPED_TRACE(saver.name);
        TempDir dir;
        const std::string folder = dir.Path("calibration");
        std::filesystem::create_directory(folder);
        saver.save(folder);
        EXPECT_TRUE(std::filesystem::is_directory(folder));
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"calibration"});

        const std::string path = dir.Path("other");
        WriteBytes(path, saver.oldFile);
        std::filesystem::create_directory(kavrel::TemporaryPrefixFor(path));
        saver.save(path);
        EXPECT_EQ(ReadBytes(path), NewFile(saver));
        EXPECT_TRUE(std::filesystem::is_directory(kavrel::TemporaryPrefixFor(path)));
        EXPECT_EQ(dir.Files().size(), 3u);
    }
}

// An exception from inside the writer (no writer in the library throws today) removes the
// temporary file on its way out.
TEST(SaveFailure, AnExceptionWhileWritingLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.Path("calibration");
    WriteBytes(path, {1, 2, 3});
    EXPECT_THROW(kavrel::SaveFileSafely(
                     path, [](platform::CFile&) -> bool { throw std::runtime_error("write"); }),
                 std::runtime_error);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"calibration"});
}

// A move whose folder cannot be flushed afterwards is in place but not yet safe from a power loss:
// the save says so instead of reporting it done, and leaves no temporary file.
TEST(SaveFailure, AFolderThatCannotBeFlushedIsReported) {
    TempDir dir;
    const std::string path = dir.Path("calibration");
    WriteBytes(path, {1, 2, 3});
    const auto writeNew = [](platform::CFile& file) {
        const uint8_t bytes[] = {4, 5};
        return file.Write(bytes, sizeof bytes);
    };
    {
        FolderFlushFailure failure;
        EXPECT_EQ(kavrel::SaveFile(path, writeNew), kavrel::SaveResult::NotFlushed);
        EXPECT_FALSE(kavrel::SaveFileSafely(path, writeNew));
    }
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"calibration"});
    EXPECT_EQ(kavrel::SaveFile(path, writeNew), kavrel::SaveResult::Saved);
}
