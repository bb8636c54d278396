// The shared host library (kavrel_host.h): the host's own steps behind a C interface, so that
// other hosts, the Python package among them, run the very code of kavrel-host.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "api/kavrel_host.h"
#include "common/Errors.h"
#include "displays/NativeDisplay.h"
#include "exposure/ExposureFiles.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "files/Platform.h"
#include "history/CalibrationLog.h"
#include "history/History.h"
#include "history/OldCalibration.h"
#include "history/Restore.h"
#include "photos/Photo.h"
#include "pictures/Bitmap.h"
#include "pictures/Pictures.h"
#include "readings/Readings.h"
#include "readings/ReadingsChecks.h"

struct KavrelHostCalibration {
    KavrelHostCalibration(const std::string& path, int kind)
        : path(path),
          kind(kind),
          file(path, kind == 0 ? "LUT file" : "offset file",
               kind == 0 ? host::kMaxLutFileBytes : host::kMaxOffsetFileBytes),
          before(host::CFileState::Of(path)) {}
    std::string path;
    int kind;
    host::CCalibrationFile file;
    host::CFileState before;
};

namespace {

// Copies text into a caller's buffer of size bytes, cut short when longer, always terminated.
void Put(const std::string& text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    const size_t length = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// Runs a step; 0 when it is done, 1 with its failure's message put into message.
template <typename Step>
int Guarded(char* message, int size, Step step) {
    Put("", message, size);
    try {
        return step();
    } catch (const std::bad_alloc&) {
        Put("out of memory", message, size);
    } catch (const std::exception& e) {
        Put(e.what(), message, size);
    } catch (...) {
        Put("failed", message, size);
    }
    return 1;
}

void RequireKind(int kind) {
    if (kind != 0 && kind != 1) throw host::CHostError("kind must be 0 (LUT) or 1 (offset)");
}

// A version as one line of KavrelHostHistory's list.
std::string VersionLine(const host::CVersion& version) {
    return version.time + "\t" + std::to_string(version.size) + "\t" + version.path;
}

std::vector<uint16_t> Readings(const uint16_t* readings) {
    if (readings == nullptr) throw host::CHostError("no readings given");
    return std::vector<uint16_t>(readings, readings + host::kReadingCount);
}

// The readings file read as calc-lut reads it.
host::CReadingsFile ReadingsOf(const char* path, int densities, const char* channel) {
    host::RequireFile(Text(path), "readings");
    host::CReadingsFormat format;
    format.densities = densities != 0;
    format.channel = Text(channel);
    return host::ReadReadingsFile(Text(path), format);
}

void PutReadings(const host::CReadingsFile& file, uint16_t* readings, char* source,
                 int sourceSize) {
    if (readings == nullptr) throw host::CHostError("no room for the readings given");
    std::copy(file.readings.begin(), file.readings.end(), readings);
    Put(file.source, source, sourceSize);
}

// One line each.
void PutLines(const std::vector<std::string>& lines, char* buffer, int size) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    Put(text, buffer, size);
}

// Begins a calibration as kavrel-host does: the file locked and checked, the input checked by
// check before the file is kept in the history.
template <typename Check>
std::unique_ptr<KavrelHostCalibration> Begin(const char* path, int kind,
                                             KavrelHostCalibration** calibration, Check check) {
    if (calibration == nullptr) throw host::CHostError("no place for the calibration given");
    RequireKind(kind);
    const std::string file = Text(path);
    host::RequireFolderOf(file, kind == 0 ? "LUT file" : "offset file");
    auto begun = std::make_unique<KavrelHostCalibration>(file, kind);
    if (kind == 0)
        host::OldLutTable(file, begun->before);
    else
        host::OldOffsetMap(file, begun->before);
    check(*begun);
    begun->file.KeepBefore();
    return begun;
}

}  // namespace

extern "C" {

KAVREL_HOST_API int KavrelHostReadReadings(const char* path, int densities, const char* channel,
                                           uint16_t readings[48], char* source, int sourceSize,
                                           char* message, int size) {
    return Guarded(message, size, [&] {
        const host::CReadingsFile file = ReadingsOf(path, densities, channel);
        if (!file.tableProblem.empty())
            throw host::CHostError(Text(path) + ": " + file.tableProblem);
        PutReadings(file, readings, source, sourceSize);
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostReadCheckedReadings(const char* path, int densities,
                                                  const char* channel, int force,
                                                  uint16_t readings[48], char* source,
                                                  int sourceSize, char* warnings,
                                                  int warningsSize, char* message, int size) {
    Put("", warnings, warningsSize);
    return Guarded(message, size, [&] {
        const host::CReadingsFile file = ReadingsOf(path, densities, channel);
        host::CReadingsCheck check =
            host::CheckReadingsFile(file, densities != 0 && file.source.empty());
        if (!check.refusal.empty() && force == 0) {
            Put(Text(path) + ": " + check.refusal, message, size);
            return 1;
        }
        if (!check.refusal.empty()) check.warnings.insert(check.warnings.begin(), check.refusal);
        PutReadings(file, readings, source, sourceSize);
        PutLines(check.warnings, warnings, warningsSize);
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostCheckReadings(const uint16_t readings[48], int densities,
                                            char* warnings, int warningsSize, char* message,
                                            int size) {
    Put("", warnings, warningsSize);
    return Guarded(message, size, [&] {
        const host::CReadingsCheck check = host::CheckReadings(Readings(readings), densities != 0);
        PutLines(check.warnings, warnings, warningsSize);
        if (check.refusal.empty()) return 0;
        Put(check.refusal, message, size);
        return 1;
    });
}

KAVREL_HOST_API int KavrelHostCheckGamma(const char* libraryPath, char* description,
                                         int descriptionSize, char* warning, int warningSize,
                                         char* message, int size) {
    Put("", description, descriptionSize);
    Put("", warning, warningSize);
    return Guarded(message, size, [&] {
        const host::CGammaCheck gamma =
            host::CheckGamma(host::ReadLibrarySetting(Text(libraryPath), "Imaging", "Gamma", 180));
        Put(gamma.description, description, descriptionSize);
        Put(gamma.warning, warning, warningSize);
        if (gamma.unusable.empty()) return 0;
        Put(gamma.unusable, message, size);
        return 1;
    });
}

KAVREL_HOST_API int KavrelHostCheckExposeFiles(const char* image, const char* lut,
                                               const char* offset, char* message, int size) {
    return Guarded(message, size, [&] {
        if (image != nullptr) host::CheckImage(image);
        if (lut != nullptr) host::CheckLut(lut);
        if (offset != nullptr) host::CheckOffset(offset);
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostCheckDisplay(const char* device, char* message, int size) {
    return Guarded(message, size, [&] {
        const std::string problem = host::NativeDisplayProblem(Text(device));
        if (problem.empty()) return 0;
        Put(Text(device) + ": " + problem, message, size);
        return 1;
    });
}

KAVREL_HOST_API int KavrelHostBeginCalibration(const char* path, int kind,
                                               KavrelHostCalibration** calibration, char* message,
                                               int size) {
    if (calibration != nullptr) *calibration = nullptr;
    return Guarded(message, size, [&] {
        *calibration = Begin(path, kind, calibration, [](KavrelHostCalibration&) {}).release();
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostBeginCalibrationFrom(const char* path, int kind, const char* input,
                                                   const uint16_t* readings, int again,
                                                   KavrelHostCalibration** calibration, char* note,
                                                   int noteSize, char* message, int size) {
    if (calibration != nullptr) *calibration = nullptr;
    Put("", note, noteSize);
    return Guarded(message, size, [&] {
        std::unique_ptr<KavrelHostCalibration> begun =
            Begin(path, kind, calibration, [&](KavrelHostCalibration& started) {
                if (kind == 0)
                    started.file.SetInput(host::ReadingsDigest(Readings(readings)),
                                          input != nullptr ? input : "given", "the readings",
                                          again != 0, "");
                else
                    started.file.SetInput(host::Digest(host::ReadWholeFile(Text(input))),
                                          Text(input), "the scan", again != 0, "");
            });
        Put(begun->file.WaitNote(), note, noteSize);
        *calibration = begun.release();
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostCheckPicture(const char* path, int kind, char* message, int size) {
    return Guarded(message, size, [&] {
        RequireKind(kind);
        const std::string file = Text(path);
        host::RequireExtension(file, kind == 0 ? ".svg" : ".bmp", "picture");
        host::CheckWritable(file, "picture");
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostDrawCalibration(const KavrelHostCalibration* calibration,
                                              const char* path, int* scale, char* message,
                                              int size) {
    if (scale != nullptr) *scale = 0;
    return Guarded(message, size, [&] {
        if (calibration == nullptr) throw host::CHostError("no calibration given");
        const std::string& file = calibration->path;
        const std::optional<std::vector<uint8_t>> now = calibration->before.NewContents(file);
        if (!now) throw host::CHostError(file + ": the library wrote nothing to draw");
        if (calibration->kind == 0) {
            const host::CLutTable old = host::OldLutTable(file, calibration->before);
            const std::string svg = host::LutPlotSvg(old, host::ParseLutFile(file, *now),
                                                     "LUT " + file + " before and after");
            host::WriteFileSafely(Text(path), std::vector<uint8_t>(svg.begin(), svg.end()));
            return 0;
        }
        const host::COffsetMap map = host::ParseOffsetFile(file, *now);
        int largest = 1;
        for (int16_t sample : map.samples) largest = std::max(largest, std::abs(int{sample}));
        host::WriteBitmap(Text(path), host::OffsetMapPicture(map, largest));
        if (scale != nullptr) *scale = largest;
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostHistory(const char* path, char* versions, int versionsSize,
                                      int* needed, char* message, int size) {
    Put("", versions, versionsSize);
    if (needed != nullptr) *needed = 1;
    return Guarded(message, size, [&] {
        std::string lines;
        for (const host::CVersion& version : host::KeptVersions(Text(path)))
            lines += VersionLine(version) + "\n";
        if (needed != nullptr) *needed = static_cast<int>(lines.size() + 1);
        if (lines.size() + 1 > static_cast<size_t>(std::max(versionsSize, 0)))
            throw host::CHostError("the list of versions needs " +
                                   std::to_string(lines.size() + 1) + " bytes");
        Put(lines, versions, versionsSize);
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostRestore(const char* path, int number, char* restored,
                                      int restoredSize, char* message, int size) {
    Put("", restored, restoredSize);
    return Guarded(message, size, [&] {
        const host::CRestored done = host::RestoreVersion(Text(path), number);
        Put(VersionLine(done.version) + "\t" + done.description, restored, restoredSize);
        return 0;
    });
}

KAVREL_HOST_API int KavrelHostEndCalibration(KavrelHostCalibration* calibration) {
    if (calibration == nullptr) return 0;
    int replaced = 0;
    try {
        replaced = calibration->before.NewContents(calibration->path).has_value() ? 1 : 0;
        calibration->file.Finish(replaced != 0);
    } catch (...) {
        // The lock goes with the object below; a copy kept in vain stays in the history.
    }
    delete calibration;
    return replaced;
}

// Photos.

KAVREL_HOST_API int KavrelHostPreparePhoto(const char* path, const KavrelHostPhotoOptions* options,
                                           uint8_t* pixels, int64_t pixelsSize, int* passedThrough,
                                           char* report, int reportSize, char* message, int size) {
    Put("", report, reportSize);
    return Guarded(message, size, [&] {
        constexpr int64_t kFrameBytes = int64_t{host::kImageWidth} * host::kImageHeight * 3;
        if (path == nullptr || options == nullptr || pixels == nullptr || passedThrough == nullptr)
            throw host::CHostError("no file, options or pixels given");
        if (pixelsSize < kFrameBytes)
            throw host::CHostError("the pixels hold " + std::to_string(pixelsSize) +
                                   " bytes; the frame needs " + std::to_string(kFrameBytes));
        host::RequireFile(path, "image");
        const host::CPhotoOptions photoOptions = host::MakePhotoOptions(
            options->fill != 0, Text(options->crop), Text(options->area), Text(options->rotate),
            options->border, Text(options->workingProfile));
        const host::CPreparedPhoto photo = host::PreparePhoto(path, photoOptions);
        if (photo.passedThrough) host::CheckImage(path);
        const std::vector<uint8_t> bytes = host::BitmapBytes(photo.frame);
        // The bitmap file's rows without its headers: rows of 2560 * 3 bytes need no padding.
        std::memcpy(pixels, bytes.data() + (bytes.size() - kFrameBytes), kFrameBytes);
        *passedThrough = photo.passedThrough ? 1 : 0;
        std::string lines;
        for (const std::string& line : photo.report) lines += line + "\n";
        Put(lines, report, reportSize);
        return 0;
    });
}

}  // extern "C"
