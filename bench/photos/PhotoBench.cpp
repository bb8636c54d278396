// Preparing photos for the frame: a 24-megapixel JPEG and a 16-bit 100-megapixel TIFF, written
// with libvips when the program starts. Each case is timed in this process; its peak memory is
// that of kavrel-host prepare run on the same file as a child process.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vips/vips.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "photos/Photo.h"

extern char** environ;

namespace {

// The image a libvips operation makes; throws when it fails.
template <typename Operation>
VipsImage* Made(Operation operation) {
    VipsImage* out = nullptr;
    if (operation(&out) != 0) throw std::runtime_error(vips_error_buffer());
    return out;
}

// A smooth picture of gradients (red across, green down, blue across at half slope) of
// width x height pixels, 8 or 16 bits a sample, written to path: a JPEG of quality 92 or an LZW
// TIFF with the horizontal predictor, as scanners write them.
void WriteTestPhoto(const std::string& path, int width, int height, bool sixteen) {
    const double maximum = sixteen ? 65535.0 : 255.0;
    double slopes[] = {maximum / width, maximum / height, maximum / width / 2};
    double offsets[] = {0, 0, maximum / 4};
    VipsImage* xy = Made([&](VipsImage** out) { return vips_xyz(out, width, height, nullptr); });
    VipsImage* x = Made([&](VipsImage** out) { return vips_extract_band(xy, out, 0, nullptr); });
    VipsImage* xyx = Made([&](VipsImage** out) { return vips_bandjoin2(xy, x, out, nullptr); });
    VipsImage* ramp =
        Made([&](VipsImage** out) { return vips_linear(xyx, out, slopes, offsets, 3, nullptr); });
    VipsImage* photo = Made([&](VipsImage** out) {
        return vips_cast(ramp, out, sixteen ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR, nullptr);
    });
    VipsImage* tagged = Made([&](VipsImage** out) {
        return vips_copy(photo, out, "interpretation",
                         sixteen ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB, nullptr);
    });
    const int written = sixteen ? vips_tiffsave(tagged, path.c_str(), "compression",
                                                VIPS_FOREIGN_TIFF_COMPRESSION_LZW, "predictor",
                                                VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL, nullptr)
                                : vips_jpegsave(tagged, path.c_str(), "Q", 92, nullptr);
    for (VipsImage* image : {xy, x, xyx, ramp, photo, tagged}) g_object_unref(image);
    if (written != 0) throw std::runtime_error(vips_error_buffer());
}

// The test photos, written once into a folder of their own.
class CPhotos {
public:
    CPhotos() {
        if (VIPS_INIT("kavrel-photo-bench") != 0) throw std::runtime_error("libvips");
        m_Folder = std::filesystem::temp_directory_path() /
                   ("kavrel-photo-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_Folder);
        WriteTestPhoto(Jpeg(), 6000, 4000, false);
        WriteTestPhoto(Tiff(), 12248, 8165, true);
    }
    ~CPhotos() {
        std::error_code error;
        std::filesystem::remove_all(m_Folder, error);
    }
    std::string Jpeg() const { return (m_Folder / "24mp.jpg").string(); }
    std::string Tiff() const { return (m_Folder / "100mp-16bit.tif").string(); }
    std::string Out() const { return (m_Folder / "frame.bmp").string(); }

private:
    std::filesystem::path m_Folder;
};

const CPhotos& Photos() {
    static const CPhotos photos;
    return photos;
}

// The peak resident memory, in MB, of kavrel-host prepare on the file.
double PeakMegabytes(const std::string& file) {
    std::vector<std::string> words = {KAVREL_HOST_PATH, "prepare", file, "--out", Photos().Out()};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start kavrel-host");
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("kavrel-host prepare failed on " + file);
    return usage.ru_maxrss / 1024.0;
}

void Prepare(benchmark::State& state, const std::string& file, double megapixels) {
    const host::CPhotoOptions options;
    for (auto _ : state) {
        host::CPreparedPhoto photo = host::PreparePhoto(file, options);
        benchmark::DoNotOptimize(photo.frame.Pixel(0, 0));
    }
    state.counters["megapixels"] = megapixels;
    state.counters["peak_MB"] = PeakMegabytes(file);
}

void BM_Prepare24MegapixelJpeg(benchmark::State& state) { Prepare(state, Photos().Jpeg(), 24.0); }
void BM_Prepare100Megapixel16BitTiff(benchmark::State& state) {
    Prepare(state, Photos().Tiff(), 100.0);
}
BENCHMARK(BM_Prepare24MegapixelJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Prepare100Megapixel16BitTiff)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
