// Photo files through libvips: its loaders (JPEG, PNG, TIFF, bitmaps and more), its ICC
// conversion (lcms2) and its Lanczos resampling, evaluated lazily so that only the placed part of
// a photo is decoded at full size.
#include <lcms2.h>
#include <vips/vips.h>

#include <cmath>
#include <cstring>
#include <mutex>

#include "common/Errors.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "photos/PhotoDecoder.h"

namespace host {

namespace {

// ICC profiles are small; a larger file is no profile.
constexpr uint64_t kMaxProfileBytes = 16 << 20;

struct CUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
using CImage = std::unique_ptr<VipsImage, CUnref>;

void StartVips() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("kavrel-host") != 0) vips_error_exit("cannot start libvips");
        // Each photo is decoded once: nothing to gain from keeping operations.
        vips_cache_set_max(0);
        // Its warnings (unknown EXIF tags and the like) stay out of the host's output; faults
        // come back as errors.
        g_log_set_handler(
            "VIPS", G_LOG_LEVEL_WARNING,
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

// libvips' last error as one line, without the names of its operations.
std::string VipsError() {
    std::string text = vips_error_buffer();
    vips_error_clear();
    std::string line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        const size_t colon = part.find(": ");
        if (colon != std::string::npos &&
            (part.compare(0, 4, "Vips") == 0 || part.compare(0, 4, "vips") == 0))
            part = part.substr(colon + 2);
        if (!part.empty() && line.find(part) == std::string::npos)
            line += (line.empty() ? "" : "; ") + part;
        start = end + 1;
    }
    return line.empty() ? "cannot be decoded" : line;
}

// The image a libvips operation makes, or CHostError naming the file.
template <typename Operation>
CImage Checked(Operation operation, const std::string& path) {
    VipsImage* out = nullptr;
    if (operation(&out) != 0 || out == nullptr) throw CHostError(path + ": " + VipsError());
    return CImage(out);
}

// The description inside an ICC profile, or nothing when lcms2 cannot read the profile.
std::optional<std::string> ProfileName(const void* data, size_t size) {
    cmsHPROFILE profile = cmsOpenProfileFromMem(data, static_cast<cmsUInt32Number>(size));
    if (profile == nullptr) return std::nullopt;
    char name[256] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", name, sizeof name);
    cmsCloseProfile(profile);
    return std::string(name[0] ? name : "unnamed");
}

std::optional<std::string> EmbeddedProfileName(VipsImage* image) {
    if (vips_image_get_typeof(image, VIPS_META_ICC_NAME) == 0) return std::nullopt;
    const void* data = nullptr;
    size_t size = 0;
    if (vips_image_get_blob(image, VIPS_META_ICC_NAME, &data, &size) != 0) return std::nullopt;
    return ProfileName(data, size);
}

int Orientation(VipsImage* image) {
    int orientation = 1;
    if (vips_image_get_typeof(image, VIPS_META_ORIENTATION) != 0)
        vips_image_get_int(image, VIPS_META_ORIENTATION, &orientation);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

// The format's name from the loader's ("VipsForeignLoadJpegFile": JPEG).
std::string FormatName(const char* loader) {
    std::string name = loader ? loader : "";
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char* const kFormats[][2] = {
        {"jpeg", "JPEG"}, {"png", "PNG"}, {"tiff", "TIFF"},      {"webp", "WebP"},
        {"heif", "HEIF"}, {"gif", "GIF"}, {"jp2k", "JPEG 2000"}, {"magick", "image"}};
    for (const auto& format : kFormats)
        if (name.find(format[0]) != std::string::npos) return format[1];
    return loader ? loader : "image";
}

VipsAngle Angle(int quarterTurns) {
    static const VipsAngle kAngles[] = {VIPS_ANGLE_D0, VIPS_ANGLE_D90, VIPS_ANGLE_D180,
                                        VIPS_ANGLE_D270};
    return kAngles[quarterTurns & 3];
}

class CVipsPhoto : public CPhotoDecoder {
public:
    CVipsPhoto(const std::string& path, CImage file, const char* loader)
        : m_strPath(path),
          m_strFormat(FormatName(loader)),
          m_nOrientation(Orientation(file.get())) {
        m_nStoredWidth = file->Xsize;
        m_nStoredHeight = file->Ysize;
        m_Image =
            Checked([&](VipsImage** out) { return vips_autorot(file.get(), out, nullptr); }, path);
    }
    CVipsPhoto(const CVipsPhoto&) = delete;
    CVipsPhoto& operator=(const CVipsPhoto&) = delete;

    int32_t Width() const override { return m_Image->Xsize; }
    int32_t Height() const override { return m_Image->Ysize; }
    std::string Description() const override {
        const int bits = vips_format_sizeof(m_Image->BandFmt) * 8;
        std::string text =
            m_strFormat + ", " + std::to_string(m_nStoredWidth) + " x " +
            std::to_string(m_nStoredHeight) + " pixels, " + std::to_string(m_Image->Bands) +
            " channel" + (m_Image->Bands == 1 ? "" : "s") + " of " + std::to_string(bits) + " bits";
        if (m_nOrientation != 1)
            text += ", EXIF orientation " + std::to_string(m_nOrientation) + " applied (" +
                    std::to_string(Width()) + " x " + std::to_string(Height()) + ")";
        return text;
    }

    CPicture Render(const CPlacement& placement, const CPhotoOptions& options,
                    std::string& colours) override {
        CImage image = Part(placement);
        image = Coloured(std::move(image), options, colours);
        image = Flattened(std::move(image), options.border);
        image = Scaled(std::move(image), placement.target);
        return Picture(EightBits(std::move(image)));
    }

private:
    template <typename Operation>
    CImage Next(Operation operation) {
        return Checked(operation, m_strPath);
    }

    CImage Part(const CPlacement& placement) {
        const CRect& crop = placement.crop;
        CImage image = Next([&](VipsImage** out) {
            return vips_extract_area(m_Image.get(), out, crop.x, crop.y, crop.width, crop.height,
                                     nullptr);
        });
        if (placement.quarterTurns != 0)
            image = Next([&](VipsImage** out) {
                return vips_rot(image.get(), out, Angle(placement.quarterTurns), nullptr);
            });
        const CRect& source = placement.source;
        return Next([&](VipsImage** out) {
            return vips_extract_area(image.get(), out, source.x, source.y, source.width,
                                     source.height, nullptr);
        });
    }

    // The photo in the working space: an embedded profile converted from, an untagged photo
    // taken as sRGB. Samples come out as 8 or 16 bits.
    CImage Coloured(CImage image, const CPhotoOptions& options, std::string& colours) {
        const VipsInterpretation interpretation = vips_image_guess_interpretation(image.get());
        const bool cmyk = interpretation == VIPS_INTERPRETATION_CMYK;
        const std::string target = options.workingProfile.empty()
                                       ? "sRGB"
                                       : "the working profile " + options.workingProfile;
        const char* output =
            options.workingProfile.empty() ? "srgb" : options.workingProfile.c_str();
        const std::optional<std::string> embedded = EmbeddedProfileName(image.get());
        if (embedded) {
            colours = "embedded profile \"" + *embedded + "\", converted to " + target;
            return Next([&](VipsImage** out) {
                return vips_icc_transform(image.get(), out, output, "embedded", TRUE, "depth", 16,
                                          "intent", VIPS_INTENT_RELATIVE, nullptr);
            });
        }
        const bool damaged = vips_image_get_typeof(image.get(), VIPS_META_ICC_NAME) != 0;
        if (cmyk)
            throw CHostError(m_strPath + ": a CMYK image without a usable colour profile (" +
                             (damaged ? "its profile cannot be read" : "it has none") +
                             "): its colours cannot be known");
        if (damaged) {
            image = Next([&](VipsImage** out) { return vips_copy(image.get(), out, nullptr); });
            vips_image_remove(image.get(), VIPS_META_ICC_NAME);
        }
        image = InRgb(std::move(image));
        const std::string found =
            damaged ? "an unreadable embedded profile, ignored: " : "no embedded profile: ";
        if (options.workingProfile.empty()) {
            colours = found + "taken as sRGB, left as it is";
            return image;
        }
        colours = found + "taken as sRGB, converted to " + target;
        return Next([&](VipsImage** out) {
            return vips_icc_transform(image.get(), out, output, "input_profile", "srgb", "embedded",
                                      FALSE, "depth", 16, "intent", VIPS_INTENT_RELATIVE, nullptr);
        });
    }

    // A grey photo as RGB, 8 or 16 bits as it came.
    CImage InRgb(CImage image) {
        const VipsInterpretation interpretation = vips_image_guess_interpretation(image.get());
        if (interpretation == VIPS_INTERPRETATION_GREY16 ||
            interpretation == VIPS_INTERPRETATION_RGB16)
            return Next([&](VipsImage** out) {
                return vips_colourspace(image.get(), out, VIPS_INTERPRETATION_RGB16, nullptr);
            });
        return Next([&](VipsImage** out) {
            return vips_colourspace(image.get(), out, VIPS_INTERPRETATION_sRGB, nullptr);
        });
    }

    static double White(VipsImage* image) {
        return image->BandFmt == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    }

    // Transparency laid over the border value.
    CImage Flattened(CImage image, uint8_t border) {
        if (image->Bands != 2 && image->Bands != 4) return image;
        const double white = White(image.get());
        const double level = border * white / 255.0;
        VipsArrayDouble* background = vips_array_double_newv(3, level, level, level);
        const std::unique_ptr<VipsArea, void (*)(VipsArea*)> owned(VIPS_AREA(background),
                                                                   vips_area_unref);
        return Next([&](VipsImage** out) {
            return vips_flatten(image.get(), out, "background", background, "max_alpha", white,
                                nullptr);
        });
    }

    // One Lanczos resampling to the target's size exactly.
    CImage Scaled(CImage image, const CRect& target) {
        if (image->Xsize != target.width || image->Ysize != target.height)
            image = Next([&](VipsImage** out) {
                return vips_resize(image.get(), out,
                                   static_cast<double>(target.width) / image->Xsize, "vscale",
                                   static_cast<double>(target.height) / image->Ysize, "kernel",
                                   VIPS_KERNEL_LANCZOS3, nullptr);
            });
        // The resampler's rounding of the size may leave a pixel more or less at an edge.
        if (image->Xsize != target.width || image->Ysize != target.height)
            image = Next([&](VipsImage** out) {
                return vips_embed(image.get(), out, 0, 0, target.width, target.height, "extend",
                                  VIPS_EXTEND_COPY, nullptr);
            });
        return image;
    }

    // 16-bit samples rounded to 8 bits.
    CImage EightBits(CImage image) {
        if (image->BandFmt == VIPS_FORMAT_UCHAR) return image;
        image = Next([&](VipsImage** out) {
            return vips_linear1(image.get(), out, 255.0 / White(image.get()), 0.5, nullptr);
        });
        return Next([&](VipsImage** out) {
            return vips_cast(image.get(), out, VIPS_FORMAT_UCHAR, nullptr);
        });
    }

    // The decoded pixels, every one of them decoded here.
    CPicture Picture(CImage image) {
        size_t size = 0;
        std::unique_ptr<uint8_t, void (*)(void*)> rgb(
            static_cast<uint8_t*>(vips_image_write_to_memory(image.get(), &size)), g_free);
        if (!rgb) throw CHostError(m_strPath + ": " + VipsError());
        CPicture picture(image->Xsize, image->Ysize);
        const uint8_t* in = rgb.get();
        for (int32_t y = 0; y < picture.Height(); ++y)
            for (int32_t x = 0; x < picture.Width(); ++x, in += 3)
                picture.SetColour(x, y, in[2], in[1], in[0]);
        return picture;
    }

    std::string m_strPath;
    std::string m_strFormat;
    int m_nOrientation;
    int32_t m_nStoredWidth = 0, m_nStoredHeight = 0;
    CImage m_Image;
};

}  // namespace

bool ReadsPhotos() { return true; }

std::unique_ptr<CPhotoDecoder> OpenPhoto(const std::string& path) {
    RequireFile(path, "image");
    StartVips();
    const char* loader = vips_foreign_find_load(path.c_str());
    if (loader == nullptr) {
        vips_error_clear();
        throw CHostError(path + ": not an image file of a format this host reads");
    }
    // The header alone: the pixels are decoded only when rendered.
    CImage file = Checked(
        [&](VipsImage** out) {
            *out = vips_image_new_from_file(path.c_str(), "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
            return *out ? 0 : -1;
        },
        path);
    const uint64_t pixels = static_cast<uint64_t>(file->Xsize) * static_cast<uint64_t>(file->Ysize);
    if (pixels > kMaxPhotoPixels)
        throw CHostError(path + ": its header claims " + std::to_string(file->Xsize) + " x " +
                         std::to_string(file->Ysize) + " pixels, more than the " +
                         std::to_string(kMaxPhotoPixels / 1000000) +
                         " million this host decodes; refused unread");
    return std::make_unique<CVipsPhoto>(path, std::move(file), loader);
}

void RequireWorkingProfile(const std::string& path) {
    RequireFile(path, "--working-profile");
    const std::vector<uint8_t> bytes = ReadWholeFile(path, kMaxProfileBytes);
    cmsHPROFILE profile =
        cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
    const bool usable =
        profile != nullptr && cmsGetColorSpace(profile) == cmsSigRgbData &&
        cmsIsIntentSupported(profile, INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_OUTPUT);
    if (profile != nullptr) cmsCloseProfile(profile);
    if (!usable)
        throw CHostError(path +
                         ": no ICC profile of an RGB colour space that photos can be "
                         "converted to (--working-profile)");
}

void WritePng(const std::string& path, const CPicture& picture) {
    StartVips();
    std::vector<uint8_t> rgb(static_cast<size_t>(picture.Width()) * picture.Height() * 3);
    uint8_t* out = rgb.data();
    for (int32_t y = 0; y < picture.Height(); ++y)
        for (int32_t x = 0; x < picture.Width(); ++x, out += 3) {
            const uint8_t* pixel = picture.Pixel(x, y);
            out[0] = pixel[2], out[1] = pixel[1], out[2] = pixel[0];
        }
    CImage image(vips_image_new_from_memory(rgb.data(), rgb.size(), picture.Width(),
                                            picture.Height(), 3, VIPS_FORMAT_UCHAR));
    void* png = nullptr;
    size_t size = 0;
    if (!image || vips_pngsave_buffer(image.get(), &png, &size, nullptr) != 0)
        throw CHostError(path + ": " + VipsError());
    std::unique_ptr<void, void (*)(void*)> owned(png, g_free);
    const uint8_t* bytes = static_cast<const uint8_t*>(png);
    WriteFileSafely(path, std::vector<uint8_t>(bytes, bytes + size));
}

}  // namespace host
