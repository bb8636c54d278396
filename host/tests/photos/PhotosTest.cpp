// Photos made into the frame: the placement's geometry, the decoder's colours, orientation,
// transparency and depth on photos written here with libvips, and the commands end to end.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "common/Errors.h"
#include "photos/Photo.h"
#include "pictures/Bitmap.h"
#include "support/HostRun.h"
#include "support/Text.h"

namespace {

using host::CPhotoOptions;
using host::CRect;
using host_tests::CFolder;
using host_tests::CRun;
using host_tests::RunHost;
using testing_support::Contains;

struct CRgba {
    double red, green, blue, alpha;
};

// A photo file of the given size whose pixel (x, y) is pixel(x, y), in samples of 8 or 16 bits,
// with alpha when bands is 4, an EXIF orientation and an embedded ICC profile when given.
void WritePhoto(const std::string& path, int width, int height, int bands, bool sixteen,
                const std::function<CRgba(int, int)>& pixel, int orientation = 1,
                const std::vector<uint8_t>& profile = {}) {
    static const int started = VIPS_INIT("photos-test");
    ASSERT_EQ(started, 0);
    std::vector<uint16_t> samples(static_cast<size_t>(width) * height * bands);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const CRgba p = pixel(x, y);
            const double values[4] = {p.red, p.green, p.blue, p.alpha};
            for (int b = 0; b < bands; ++b)
                samples[(static_cast<size_t>(y) * width + x) * bands + b] =
                    static_cast<uint16_t>(values[b]);
        }
    std::vector<uint8_t> bytes;
    if (!sixteen) bytes.assign(samples.begin(), samples.end());
    VipsImage* image = sixteen
                           ? vips_image_new_from_memory(samples.data(), samples.size() * 2, width,
                                                        height, bands, VIPS_FORMAT_USHORT)
                           : vips_image_new_from_memory(bytes.data(), bytes.size(), width, height,
                                                        bands, VIPS_FORMAT_UCHAR);
    ASSERT_NE(image, nullptr);
    VipsImage* tagged = nullptr;
    ASSERT_EQ(vips_copy(image, &tagged, "interpretation",
                        sixteen ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB, nullptr),
              0);
    g_object_unref(image);
    if (orientation != 1) vips_image_set_int(tagged, VIPS_META_ORIENTATION, orientation);
    if (!profile.empty())
        vips_image_set_blob_copy(tagged, VIPS_META_ICC_NAME, profile.data(), profile.size());
    EXPECT_EQ(vips_image_write_to_file(tagged, path.c_str(), nullptr), 0) << vips_error_buffer();
    g_object_unref(tagged);
}

CRgba Grey(double level) { return {level, level, level, 255}; }

// The frame's pixel (x, y) as red, green, blue.
std::array<int, 3> Rgb(const host::CPicture& frame, int x, int y) {
    const uint8_t* p = frame.Pixel(x, y);
    return {p[2], p[1], p[0]};
}

TEST(PhotoPlacement, FitFillAreaCropAndTurns) {
    struct CCase {
        int width, height;
        const char* options;  // fill, crop, area, rotation as the command line gives them
        CRect source, target;
    } cases[] = {
        // Wider than the frame: full width, centred vertically; the fill keeps the centre.
        {3000, 1500, "fit", {0, 0, 3000, 1500}, {0, 384, 2560, 1280}},
        {3000, 1500, "fill", {562, 0, 1875, 1500}, {0, 0, 2560, 2048}},
        // A portrait photo stands in the landscape frame, or turns with auto.
        {1000, 2000, "fit", {0, 0, 1000, 2000}, {768, 0, 1024, 2048}},
        {1000, 2000, "fit auto", {0, 0, 2000, 1000}, {0, 384, 2560, 1280}},
        {2000, 1000, "fit 270", {0, 0, 1000, 2000}, {768, 0, 1024, 2048}},
        // A crop, then an area for a small print on the sheet.
        {4000, 3000, "fit crop", {0, 0, 500, 500}, {256, 0, 2048, 2048}},
        {4000, 3000, "fill area", {0, 375, 4000, 2250}, {100, 200, 800, 450}},
    };
    for (const CCase& c : cases) {
        CPhotoOptions options;
        const std::string text = c.options;
        if (Contains(text, "fill")) options.fit = host::EPhotoFit::Fill;
        if (Contains(text, "crop")) options.crop = host::ParseCrop("100,200,500,500");
        if (Contains(text, "area")) options.area = host::ParseArea("800x450+100+200");
        if (Contains(text, "auto")) options.rotation = host::ParseRotation("auto");
        if (Contains(text, "270")) options.rotation = host::ParseRotation("270");
        const host::CPlacement placement = host::PlacePhoto(c.width, c.height, options);
        EXPECT_EQ(placement.source, c.source) << c.width << "x" << c.height << " " << text;
        EXPECT_EQ(placement.target, c.target) << c.width << "x" << c.height << " " << text;
    }
    CPhotoOptions crop;
    crop.crop = host::ParseCrop("3000,0,1001,10");
    EXPECT_THROW(host::PlacePhoto(4000, 3000, crop), host::CHostError);
    for (const char* bad : {"1,2,3", "1,2,0,4", "-1,2,3,4", "1,2,3,4,5", "a,b,c,d"})
        EXPECT_THROW(host::ParseCrop(bad), host::CUsageError) << bad;
    for (const char* bad : {"2561x10+0+0", "100x100+2500+0", "100x100", "0x5+1+1", "10x10-1+0"})
        EXPECT_THROW(host::ParseArea(bad), host::CUsageError) << bad;
    EXPECT_THROW(host::ParseRotation("45"), host::CUsageError);
}

// The first column of line y, left to right, past the middle level between the dark and the light
// half.
int MiddleEdge(const host::CPicture& frame, int y) {
    int x = 0;
    while (x < frame.Width() && Rgb(frame, x, y)[1] < 120) ++x;
    return x;
}

TEST(PhotoPrepare, FitAndFillPutTheEdgesWhereTheyBelong) {
    CFolder folder;
    // Dark left half, light right half: the edge between them marks the photo's middle.
    const std::string path = folder.Path("halves.jpg");
    WritePhoto(path, 3000, 1500, 3, false, [](int x, int) { return Grey(x < 1500 ? 40 : 200); });
    CPhotoOptions options;
    options.border = 7;
    const host::CPreparedPhoto fit = host::PreparePhoto(path, options);
    const host::CPicture& frame = fit.frame;
    // The border above and below, exactly; the photo from line 384 to 1663, within 2 pixels.
    for (int y : {0, 381, 1666, 2047}) EXPECT_EQ(Rgb(frame, 600, y), (std::array<int, 3>{7, 7, 7}));
    for (int y : {386, 1661}) EXPECT_NEAR(Rgb(frame, 600, y)[1], 40, 3) << y;
    EXPECT_NEAR(MiddleEdge(frame, 1000), 1280, 2);

    // Filled: the photo's middle 1875 x 1500 pixels cover the frame.
    options.fit = host::EPhotoFit::Fill;
    const host::CPicture filled = host::PreparePhoto(path, options).frame;
    for (int y : {0, 2047}) {
        EXPECT_NEAR(Rgb(filled, 0, y)[0], 40, 3);
        EXPECT_NEAR(Rgb(filled, 2559, y)[0], 200, 3);
    }
    EXPECT_NEAR(MiddleEdge(filled, 0), 1280, 2);
    EXPECT_NEAR(MiddleEdge(filled, 2047), 1280, 2);
}

TEST(PhotoPrepare, ExifOrientationFirstThenTheTurn) {
    CFolder folder;
    // Stored red on the left, blue on the right; orientation 6 shows the stored left side on top.
    const std::string path = folder.Path("phone.jpg");
    WritePhoto(
        path, 300, 200, 3, false,
        [](int x, int) {
            return x < 150 ? CRgba{220, 0, 0, 255} : CRgba{0, 0, 220, 255};
        },
        6);
    CPhotoOptions options;
    host::CPreparedPhoto photo = host::PreparePhoto(path, options);
    EXPECT_EQ(photo.placement.target, (CRect{597, 0, 1365, 2048}));
    EXPECT_GT(Rgb(photo.frame, 1280, 500)[0], 200);
    EXPECT_GT(Rgb(photo.frame, 1280, 1500)[2], 200);
    EXPECT_TRUE(Contains(photo.report[0], "EXIF orientation 6 applied (200 x 300)"))
        << photo.report[0];
    // Turned a quarter clockwise: the top (red) goes to the right.
    options.rotation = host::EPhotoRotation::Auto;
    photo = host::PreparePhoto(path, options);
    EXPECT_GT(Rgb(photo.frame, 500, 1024)[2], 200);
    EXPECT_GT(Rgb(photo.frame, 2000, 1024)[0], 200);
}

TEST(PhotoPrepare, TransparencyLiesOverTheBorderAndSixteenBitsAreRounded) {
    CFolder folder;
    // Left: transparent; middle: blue at half opacity; right: opaque blue.
    const std::string png = folder.Path("alpha.png");
    WritePhoto(png, 1280, 1024, 4, false, [](int x, int) {
        return CRgba{0, 0, 200, x < 400 ? 0.0 : x < 800 ? 128.0 : 255.0};
    });
    CPhotoOptions options;
    options.border = 100;
    host::CPicture frame = host::PreparePhoto(png, options).frame;
    EXPECT_EQ(Rgb(frame, 200, 1000), (std::array<int, 3>{100, 100, 100}));
    EXPECT_NEAR(Rgb(frame, 1200, 1000)[0], 50, 2);
    EXPECT_NEAR(Rgb(frame, 1200, 1000)[2], 150, 2);
    EXPECT_EQ(Rgb(frame, 2400, 1000), (std::array<int, 3>{0, 0, 200}));

    // 2770 / 257 = 10.78: 11 rounded, where the high byte alone gives 10.
    const std::string tiff = folder.Path("deep.tif");
    WritePhoto(tiff, 1280, 1024, 3, true, [](int x, int) {
        return x < 640 ? CRgba{2770, 2770, 2770, 0} : Grey(65535);
    });
    frame = host::PreparePhoto(tiff, options).frame;
    EXPECT_EQ(Rgb(frame, 100, 100), (std::array<int, 3>{11, 11, 11}));
    EXPECT_EQ(Rgb(frame, 2500, 100), (std::array<int, 3>{255, 255, 255}));
}

// An RGB profile with wide primaries (those of a common camera space), gamma 2.2, white D65.
std::vector<uint8_t> WideProfile() {
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// The colour as lcms2 converts it from one profile to the other (relative colorimetric).
std::array<int, 3> Converted(const std::vector<uint8_t>& from, const std::vector<uint8_t>& to,
                             std::array<uint8_t, 3> rgb) {
    auto open = [](const std::vector<uint8_t>& bytes) {
        return bytes.empty() ? cmsCreate_sRGBProfile()
                             : cmsOpenProfileFromMem(bytes.data(), bytes.size());
    };
    cmsHPROFILE input = open(from), output = open(to);
    cmsHTRANSFORM transform =
        cmsCreateTransform(input, TYPE_RGB_8, output, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    std::array<uint8_t, 3> out{};
    cmsDoTransform(transform, rgb.data(), out.data(), 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(input);
    cmsCloseProfile(output);
    return {out[0], out[1], out[2]};
}

TEST(PhotoPrepare, ColoursConvertedFromTheEmbeddedProfileAndToTheWorkingProfile) {
    CFolder folder;
    const std::vector<uint8_t> wide = WideProfile();
    testing_support::WriteBytes(folder.Path("wide.icc"), wide);
    // Four patches, one a quadrant of the frame.
    const std::array<uint8_t, 3> patches[4] = {
        {200, 50, 50}, {30, 180, 90}, {128, 128, 128}, {250, 240, 10}};
    auto patch = [&](int x, int y) {
        const auto& p = patches[(y < 512 ? 0 : 2) + (x < 640 ? 0 : 1)];
        return CRgba{double(p[0]), double(p[1]), double(p[2]), 255};
    };
    WritePhoto(folder.Path("tagged.png"), 1280, 1024, 3, false, patch, 1, wide);
    WritePhoto(folder.Path("untagged.png"), 1280, 1024, 3, false, patch);
    struct CCase {
        const char* file;
        const char* workingProfile;
        std::vector<uint8_t> from, to;
        const char* report;
    } cases[] = {
        {"tagged.png", "", wide, {}, "converted to sRGB"},
        {"untagged.png", "wide.icc", {}, wide, "taken as sRGB, converted to the working profile"},
        {"untagged.png", "", {}, {}, "taken as sRGB, left as it is"},
    };
    for (const CCase& c : cases) {
        CPhotoOptions options;
        if (*c.workingProfile) options.workingProfile = folder.Path(c.workingProfile);
        const host::CPreparedPhoto photo = host::PreparePhoto(folder.Path(c.file), options);
        EXPECT_TRUE(Contains(photo.report[1], c.report)) << photo.report[1];
        for (int i = 0; i < 4; ++i) {
            const std::array<int, 3> expected = Converted(c.from, c.to, patches[i]);
            const std::array<int, 3> got =
                Rgb(photo.frame, 640 + 1280 * (i % 2), 512 + 1024 * (i / 2));
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(got[channel], expected[channel], 3) << c.file << " patch " << i;
        }
    }
}

// A PNG chunk: length, type, data and CRC.
void AppendChunk(std::vector<uint8_t>& file, const std::string& type,
                 const std::vector<uint8_t>& data) {
    auto append32 = [&](uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(value >> shift));
    };
    append32(static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type.begin(), type.end());
    body.insert(body.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : body) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    file.insert(file.end(), body.begin(), body.end());
    append32(~crc);
}

// A well-formed PNG file claiming width x height pixels of 8-bit RGB, with one line's filter
// byte of image data: a few dozen bytes that would take gigabytes decoded.
std::vector<uint8_t> ClaimingPng(uint32_t width, uint32_t height) {
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    std::vector<uint8_t> header;
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(uint8_t(value >> shift));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    AppendChunk(file, "IHDR", header);
    // zlib: one stored block holding a single 0 byte, then its Adler-32.
    AppendChunk(file, "IDAT",
                {0x78, 0x01, 0x01, 0x01, 0x00, 0xFE, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x01});
    AppendChunk(file, "IEND", {});
    return file;
}

#define EXPECT_RUN(run, status_) \
    EXPECT_EQ((run).status, status_) << "out: " << (run).out << "\nerr: " << (run).err

TEST(HostPrepare, FramePreviewAndTheFrameSizeBitmapUnchanged) {
    CFolder folder;
    WritePhoto(folder.Path("photo.jpg"), 600, 400, 3, false, [](int, int) { return Grey(90); });
    CRun run = RunHost(folder, {"prepare", "photo.jpg", "--out", "frame.bmp", "--preview",
                                "look.png", "--area", "1280x1024+0+0", "--border", "0"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "photo: photo.jpg: JPEG, 600 x 400 pixels")) << run.out;
    EXPECT_TRUE(Contains(run.out, "fit -> 1280 x 853 at (0, 85) in the 2560 x 2048 frame"))
        << run.out;
    const host::CPicture frame = host::ReadBitmap(folder.Path("frame.bmp"));
    EXPECT_EQ(Rgb(frame, 2000, 1500), (std::array<int, 3>{0, 0, 0}));
    EXPECT_NEAR(Rgb(frame, 640, 500)[0], 90, 2);
    EXPECT_TRUE(testing_support::FileExists(folder.Path("look.png")));

    // The library's own input goes through byte for byte, to prepare and to expose alike.
    ASSERT_EQ(RunHost(folder, {"sample-image", "sample.bmp"}).status, 0);
    EXPECT_RUN(RunHost(folder, {"prepare", "sample.bmp", "--out", "same.bmp"}), 0);
    EXPECT_EQ(testing_support::ReadBytes(folder.Path("same.bmp")),
              testing_support::ReadBytes(folder.Path("sample.bmp")));
    run = RunHost(folder, {"expose", "photo.jpg", "--out", "shown", "--fill"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "shown 12 of 12 frames")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  placement: fill")) << run.out;
}

TEST(HostPrepare, BadPhotosAreRefusedWithOneLineAndNothingWritten) {
    CFolder folder;
    WritePhoto(folder.Path("good.jpg"), 600, 400, 3, false, [](int, int) { return Grey(90); });
    const std::vector<uint8_t> good = testing_support::ReadBytes(folder.Path("good.jpg"));
    testing_support::WriteBytes(folder.Path("cut.jpg"),
                                std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));
    testing_support::WriteText(folder.Path("text.png"), "no picture in here\n");
    testing_support::WriteBytes(folder.Path("bomb.png"), ClaimingPng(50000, 50000));
    {
        // CMYK without a profile.
        VipsImage* rgb = nullptr;
        VipsImage* cmyk = nullptr;
        ASSERT_EQ(vips_black(&rgb, 64, 64, "bands", 4, nullptr), 0);
        ASSERT_EQ(vips_copy(rgb, &cmyk, "interpretation", VIPS_INTERPRETATION_CMYK, nullptr), 0);
        EXPECT_EQ(vips_image_write_to_file(cmyk, folder.Path("cmyk.jpg").c_str(), nullptr), 0);
        g_object_unref(rgb);
        g_object_unref(cmyk);
    }
    struct CCase {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"cut.jpg"}, "cut.jpg: "},
        {{"text.png"}, "text.png: not an image file of a format this host reads"},
        {{"bomb.png"}, "bomb.png: its header claims 50000 x 50000 pixels"},
        {{"cmyk.jpg"}, "cmyk.jpg: a CMYK image without a usable colour profile"},
        {{"good.jpg", "--crop", "500,0,101,10"}, "lies outside the photo of 600 x 400 pixels"},
        {{"good.jpg", "--working-profile", "good.jpg"}, "good.jpg: no ICC profile of an RGB"},
        {{"missing.jpg"}, "missing.jpg: no such file"},
    };
    for (const char* command : {"prepare", "expose"})
        for (const CCase& c : cases) {
            std::vector<std::string> args = {command};
            args.insert(args.end(), c.args.begin(), c.args.end());
            for (const char* option : {"--out", "out.bmp"}) args.push_back(option);
            if (std::string(command) == "expose") args.back() = "frames";
            const CRun run = RunHost(folder, args);
            EXPECT_RUN(run, 1);
            EXPECT_TRUE(Contains(run.err, c.message)) << command << ": " << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_FALSE(testing_support::FileExists(folder.Path("out.bmp")));
            EXPECT_FALSE(testing_support::FileExists(folder.Path("frames/frame-00.bmp")));
        }
}

}  // namespace
