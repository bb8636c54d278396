// The host reads every LUT, offset and bitmap file as the library does: for each file of the
// malformed-file collection, the host takes what the library takes and refuses what it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "files/Files.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "pictures/Bitmap.h"
#include "support/HostRun.h"

using host_tests::CFolder;
using host_tests::CRun;
using host_tests::RunHost;

namespace {

std::string MalformedDir() {
    const char* dir = std::getenv("KAVREL_TEST_DATA_DIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : KAVREL_TEST_DATA_DIR) + "/malformed";
}

// The collection's files whose names end in the extension, sorted.
std::vector<std::string> FilesEndingIn(const std::string& extension) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(MalformedDir()))
        if (entry.path().extension() == extension) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs check on every file of the collection whose name ends in the extension.
template <typename Check>
void ForEachFile(const std::string& extension, Check check) {
    const std::vector<std::string> files = FilesEndingIn(extension);
    ASSERT_GE(files.size(), 10u);
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        check(path);
    }
}

std::vector<int16_t> LibraryEntries(const CLut& lut) {
    if (!lut.HasTable()) return {};
    return std::vector<int16_t>(lut.m_pTable.get(), lut.m_pTable.get() + lut.m_nCount);
}

// What the host makes of a LUT file: its table, or the library's default table when the host
// says the library will not take the file.
host::CLutTable HostLutInForce(const std::string& path) {
    try {
        const host::CLutTable table = host::ParseLutFile(path, host::ReadWholeFile(path));
        if (table.entries.size() <= host::kLibraryMaxLutEntries) return table;
    } catch (const host::CHostError&) {
    }
    return host::DefaultLutTable();
}

}  // namespace

TEST(HostReadsAsTheLibrary, LutFilesGiveTheTableTheLibraryUses) {
    ForEachFile(".lut", [](const std::string& path) {
        CLut library;
        library.Load(path);
        const host::CLutTable host = HostLutInForce(path);
        EXPECT_EQ(LibraryEntries(library), host.entries);
        EXPECT_EQ(library.m_nFirstInput, host.firstInput);
        EXPECT_EQ(library.m_nLastInput, host.lastInput);
    });
}

TEST(HostReadsAsTheLibrary, OffsetFilesAreTakenExactlyWhenTheLibraryLoadsThem) {
    CFolder folder;
    // A plane the library keeps when it refuses a file.
    host::COffsetMap before;
    before.width = 2;
    before.height = 1;
    before.samples = {-7, 7};
    host::WriteFileSafely(folder.Path("before.frm"), host::OffsetFileBytes(before));
    ForEachFile(".frm", [&](const std::string& path) {
        CFrame library;
        library.Load(folder.Path("before.frm"));
        library.Load(path);
        host::COffsetMap host = before;
        try {
            host = host::ParseOffsetFile(path, host::ReadWholeFile(path));
        } catch (const host::CHostError&) {
        }
        ASSERT_EQ(library.m_nCols, host.width);
        ASSERT_EQ(library.m_nRows, host.height);
        ASSERT_EQ(static_cast<size_t>(library.m_nCount), host.samples.size());
        for (size_t i = 0; i < host.samples.size(); ++i)
            EXPECT_EQ(static_cast<int16_t>(library.m_pData[i]), host.samples[i]) << i;
    });
}

TEST(HostReadsAsTheLibrary, BitmapsAreReadExactlyWhenTheLibraryLoadsTheirPixels) {
    ForEachFile(".bmp", [](const std::string& path) {
        CBitmapImage library;
        // Compressed pixels load, but no frame or scan is made of them: the host refuses them.
        const bool usable = library.Load(path) == CBitmapImage::kLoaded &&
                            library.Header().biCompression == 0;
        bool read = false;
        try {
            const host::CPicture picture = host::ReadBitmap(path);
            read = true;
            EXPECT_EQ(picture.Width(), library.Header().biWidth);
            EXPECT_EQ(picture.Height(), std::abs(library.Header().biHeight));
        } catch (const host::CHostError&) {
        }
        EXPECT_EQ(read, usable);
    });
}

// The files whose verdict changed when the host took the library's rules, each through the
// command that reports on it.
TEST(HostReadsAsTheLibrary, CommandsReportTheLibrarysVerdict) {
    CFolder folder;
    struct CCase {
        std::string file;  // of the collection
        std::vector<std::string> args;
        int status;
        std::string output;  // in standard output on success, in the error output otherwise
    } cases[] = {
        // No name at the start: the library takes the table all the same.
        {"lut-wrong-magic.lut", {"show", "--lut"}, 0, "LUT: 256 entries"},
        {"frm-wrong-magic.frm", {"show", "--offset"}, 0, "offset map: 4 x 3"},
        // A map of no samples is loaded and left unused; reporting it divided by zero.
        {"frm-zero-samples.frm", {"show", "--offset"}, 0, "no samples (not the display's size"},
        // The library reads rows with their padding, the last one too.
        {"bmp-rows-without-padding.bmp", {"calc-offset", "--offset", "lab.frm"}, 1,
         "bmp-rows-without-padding.bmp: bitmap cut short"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::filesystem::copy_file(MalformedDir() + "/" + c.file, folder.Path(c.file));
        std::vector<std::string> args = c.args;
        args.push_back(c.file);
        const CRun run = RunHost(folder, args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        const std::string& text = c.status == 0 ? run.out : run.err;
        EXPECT_NE(text.find(c.output), std::string::npos) << text;
    }
}
