// targets, sample-image and show.
#include <algorithm>
#include <iostream>

#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "displays/NativeDisplay.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "library/Kavrel.h"
#include "pictures/Bitmap.h"
#include "pictures/Targets.h"

namespace host {

namespace {

const char* const kImageCodes[] = {
    "loaded",
    "cannot be opened or is not a bitmap file",
    "its pixel data is shorter than the file promises",
    "out of memory",
    "not a single-plane 24-bit bitmap, or of an unusable size",
};

std::string DescribeLut(const std::string& path) {
    if (!FileExists(path)) {
        RefuseSpecialFile(path, "--lut");
        return "no such file: the library uses its default table (4095 at 0 down to 0 at 255)";
    }
    CLutTable table;
    try {
        table = ParseLutFile(path, ReadWholeFile(path, kMaxLutFileBytes));
    } catch (const CHostError& e) {
        // The library takes its default table from any file it cannot read as a table; only a
        // file too large to read at all is an error of the host's own.
        if (std::string(e.what()).find("larger than such a file") != std::string::npos) throw;
        return std::string(e.what()) + ": the library uses its default table (4095 at 0 down to 0 "
                                       "at 255)";
    }
    std::string text = std::to_string(table.entries.size()) + " entries, inputs " +
                       std::to_string(table.firstInput) + ".." + std::to_string(table.lastInput);
    if (table.entries.size() > kLibraryMaxLutEntries)
        return text + ": more than the library takes (" + std::to_string(kLibraryMaxLutEntries) +
               "): it uses its default table (4095 at 0 down to 0 at 255)";
    if (table.entries.size() == 256)
        text += "; input 0 -> " + std::to_string(table.entries[0]) + ", 128 -> " +
                std::to_string(table.entries[128]) + ", 255 -> " +
                std::to_string(table.entries[255]);
    return text;
}

std::string DescribeOffset(const std::string& path) {
    if (!FileExists(path)) {
        RefuseSpecialFile(path, "--offset");
        return "no such file: no offset map is loaded";
    }
    const COffsetMap map = ParseOffsetFile(path, ReadWholeFile(path, kMaxOffsetFileBytes));
    if (map.samples.empty())
        return std::to_string(map.width) + " x " + std::to_string(map.height) +
               ", no samples (not the display's size: frames are computed without it)";
    int low = 32767, high = -32768;
    long long sum = 0;
    for (int16_t sample : map.samples) {
        low = std::min<int>(low, sample);
        high = std::max<int>(high, sample);
        sum += sample;
    }
    std::string text = std::to_string(map.width) + " x " + std::to_string(map.height) + ", " +
                       std::to_string(low) + " .. " + std::to_string(high) + ", mean " +
                       std::to_string(sum / static_cast<long long>(map.samples.size()));
    if (map.width != kDisplayWidth || map.height != kDisplayHeight)
        text += " (not the display's size: frames are computed without it)";
    return text;
}

}  // namespace

int RunTargets(const CArgs& args) {
    CArguments arguments(
        "targets", "[options]",
        "Writes the two calibration targets as 2560 x 2048 24-bit bitmaps, to be shown with\n"
        "'expose' and printed:\n"
        "  DIR/grey-scale.bmp      47 grey patches for calc-lut. Patch 0 is the reference\n"
        "                          (image value 255); patches 1 to 46 carry the values 252 down\n"
        "                          to 4 that the LUT calculation steps through. Each patch is\n"
        "                          labelled with its number and value; measure them in the order\n"
        "                          of their numbers (0 to 46), which is the order of the "
        "readings.\n"
        "  DIR/offset-pattern.bmp  for calc-offset: a uniform field with a bright mark at each of\n"
        "                          the 20 x 16 grid points the offset calculation looks for, and\n"
        "                          an orientation notch on the top edge near the upper left\n"
        "                          corner, by which calc-offset checks how the print was scanned.",
        {{"out", "DIR", "folder for the two bitmaps (default: targets)"},
         {"field", "LEVEL",
          "image value 1..250 of the offset pattern's field (default 128); the field must\n"
          "come out clearly darker than the paper"}},
        0, 0, false);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    const std::string folder = arguments.Text("out", "targets");
    const int field = arguments.Integer("field", kDefaultFieldLevel, 1, 250);
    MakeFolder(folder);
    const std::string grey = PathInFolder(folder, "grey-scale.bmp");
    const std::string pattern = PathInFolder(folder, "offset-pattern.bmp");
    WriteBitmap(grey, MakeGreyScale());
    WriteBitmap(pattern, MakeOffsetPattern(static_cast<uint8_t>(field)));
    std::cout << grey
              << ": grey scale, patches 0 (reference, value 255) and 1 to 46 (values 252 "
                 "down to 4)\n"
              << pattern << ": offset test pattern, field " << field << ", "
              << kGridColumns * kGridRows << " marks, orientation notch on the top edge\n";
    return 0;
}

int RunSampleImage(const CArgs& args) {
    CArguments arguments(
        "sample-image", "FILE.bmp",
        "Writes a 2560 x 2048 24-bit sample image (colour gradients, grey rings, a step wedge)\n"
        "to try 'expose' with.",
        {}, 1, 1, false);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    const std::string path = arguments.Positionals()[0];
    RequireExtension(path, ".bmp", "sample-image");
    CheckWritable(path, "sample-image");
    WriteBitmap(path, MakeSampleImage());
    std::cout << path << ": sample image, " << kImageWidth << " x " << kImageHeight << ", 24-bit\n";
    return 0;
}

int RunShow(const CArgs& args) {
    CArguments arguments(
        "show", "[options]",
        "Hands the device name and the files to the library, which loads them, and prints what it\n"
        "then holds: the lines of its information box (device name, LUT file, offset file,\n"
        "colour), followed by what the host finds in those files.",
        {{"device", "NAME", "output display device name"},
         {"lut", "FILE", "LUT file"},
         {"offset", "FILE", "offset file"},
         {"image", "FILE", "image file (2560 x 2048, 24-bit)"},
         {"color", "N", "colour byte 0..2 (blue, green, red; default 0)"},
         {"dialog", "",
          "let the library show its information box itself (a message box on\n"
          "Windows, standard error elsewhere)"}},
        0, 0, true);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    const int colour = arguments.Integer("color", 0, 0, 2);
    CKavrel kavrel(arguments.Text("library"));
    kavrel.DisableErrorWindow(1);
    if (arguments.Has("device")) kavrel.SetDeviceName(arguments.Text("device").c_str());
    // As expose does: without a LUT file the library takes its default table.
    kavrel.SetLutFile(arguments.Text("lut").c_str());
    if (arguments.Has("offset")) kavrel.SetOffsetFile(arguments.Text("offset").c_str());
    int imageCode = -1;
    if (arguments.Has("image")) imageCode = kavrel.SetImageFile(arguments.Text("image").c_str());
    kavrel.SetColor(colour);
    // An invalid colour changes nothing and returns the colour the library holds.
    const int held = kavrel.SetColor(-1);

    std::cout << "device name: " << arguments.Text("device") << "\n"
              << "LUT file: " << arguments.Text("lut") << "\n"
              << "offset file: " << arguments.Text("offset") << "\n"
              << "color = " << held << "\n";
    if (arguments.Has("dialog")) kavrel.ShowDialog();
    std::cout << "\nlibrary: " << kavrel.Path() << "\n";
    // Each line whole before it is printed, so that a failure never ends a line of the report.
    const std::string lut =
        arguments.Has("lut") ? DescribeLut(arguments.Text("lut"))
                             : "none set: the library's default table (4095 at 0 down to 0 at 255)";
    std::cout << "LUT: " << lut << "\n";
    if (arguments.Has("offset")) {
        const std::string offset = DescribeOffset(arguments.Text("offset"));
        std::cout << "offset map: " << offset << "\n";
    }
    if (imageCode >= 0) {
        const char* meaning = imageCode < 5 ? kImageCodes[imageCode] : "unknown result";
        std::cout << "image: " << arguments.Text("image") << ": " << meaning << "\n";
        if (imageCode != 0) throw CHostError(arguments.Text("image") + ": " + meaning);
    }
    // What the library was handed but cannot use, after the report.
    if (arguments.Has("offset") && !FileExists(arguments.Text("offset")))
        throw CHostError(arguments.Text("offset") + ": no such file (--offset)");
    const std::string device = arguments.Text("device");
    if (!device.empty() && device.compare(0, 5, "file:") != 0) {
        const std::string problem = NativeDisplayProblem(device);
        if (!problem.empty()) throw CHostError("--device " + device + ": " + problem);
    }
    return 0;
}

}  // namespace host
