// prepare: the frame that expose would hand the library, as a bitmap, with a preview; and the
// photo options that expose shares.
#include <iostream>
#include <optional>

#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "exposure/ExposureFiles.h"
#include "exposure/ExposureImage.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "photos/Photo.h"
#include "photos/PhotoDecoder.h"

namespace host {

std::vector<COption> PhotoOptionsHelp() {
    return {
        {"fit", "", "the whole photo inside the frame (or --area), the rest at --border (default)"},
        {"fill", "", "the frame (or --area) covered by the photo's centre part"},
        {"crop", "X,Y,W,H", "only this part of the photo (its pixels, upright as EXIF says)"},
        {"area", "WxH+X+Y", "the part of the 2560 x 2048 frame the photo goes to"},
        {"rotate", "TURN",
         "auto, 0, 90, 180 or 270 degrees clockwise after the EXIF orientation\n"
         "(default 0; auto turns a portrait photo a quarter clockwise)"},
        {"border", "VALUE",
         "the image value 0..255 around the photo and under its transparent parts\n"
         "(default 255, which a LUT maps to no light)"},
        {"working-profile", "FILE.icc",
         "the ICC profile of the colour space the LUTs are calibrated in (default sRGB)"}};
}

CPhotoOptions ReadPhotoOptions(const CArguments& arguments) {
    if (arguments.Has("fit") && arguments.Has("fill"))
        throw CUsageError("give either --fit or --fill, not both");
    return MakePhotoOptions(arguments.Has("fill"), arguments.Text("crop"), arguments.Text("area"),
                            arguments.Text("rotate"), arguments.Integer("border", 255, 0, 255),
                            arguments.Text("working-profile"));
}

namespace {

struct CPrepareOptions {
    std::string image;
    std::string out;
    std::optional<std::string> preview;
    CPhotoOptions photo;
};

std::optional<CPrepareOptions> ParseOptions(const CArgs& args) {
    std::vector<COption> options = {
        {"out", "FILE.bmp", "the 2560 x 2048 24-bit bitmap to write (required)"},
        {"preview", "FILE.png",
         "a picture of the frame, a quarter of its size, the photo's place "
         "outlined in red"}};
    for (COption& option : PhotoOptionsHelp()) options.push_back(std::move(option));
    CArguments arguments(
        "prepare", "IMAGE --out FILE.bmp [options]",
        "Writes the 2560 x 2048 24-bit bitmap that 'expose IMAGE' with the same options hands\n"
        "the library. IMAGE is a JPEG, PNG, TIFF or bitmap file of any size; its EXIF\n"
        "orientation is applied first, its colours converted from its embedded ICC profile\n"
        "(an untagged photo is taken as sRGB) to the working space, and it is scaled in one\n"
        "pass (Lanczos) to its place. A 2560 x 2048 24-bit bitmap placed unchanged is taken\n"
        "as it is, byte for byte.",
        options, 1, 1, false);
    if (!arguments.ParseOrShowHelp(args)) return std::nullopt;
    CPrepareOptions prepare;
    prepare.image = arguments.Positionals()[0];
    prepare.out = arguments.Required("out");
    if (arguments.Has("preview")) prepare.preview = arguments.Text("preview");
    prepare.photo = ReadPhotoOptions(arguments);
    return prepare;
}

}  // namespace

int RunPrepare(const CArgs& args) {
    const std::optional<CPrepareOptions> options = ParseOptions(args);
    if (!options) return 0;
    RequireExtension(options->out, ".bmp", "--out");
    CheckWritable(options->out, "--out");
    if (options->preview) {
        RequireExtension(*options->preview, ".png", "--preview");
        CheckWritable(*options->preview, "--preview");
    }
    RequireFile(options->image, "image");
    if (!ReadsPhotos()) RequireFrameBitmap(options->image);
    const CPreparedPhoto photo = PreparePhoto(options->image, options->photo);
    if (photo.passedThrough) {
        CheckImage(options->image);
        WriteFileSafely(options->out, ReadWholeFile(options->image));
    } else {
        WriteBitmap(options->out, photo.frame);
    }
    for (const std::string& line : photo.report) std::cout << line << "\n";
    std::cout << "frame: " << options->out << "\n";
    if (options->preview) {
        WritePng(*options->preview, PreviewPicture(photo));
        std::cout << "preview: " << *options->preview << "\n";
    }
    return 0;
}

}  // namespace host
