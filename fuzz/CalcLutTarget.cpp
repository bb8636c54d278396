// Fuzz target: the LUT calculation through CFrameEngine::CalcLut, with fuzzed densitometer
// readings, Gamma setting and old LUT file.
//
// Input: a byte that says whether there is a settings file, the Gamma setting (16 bits), the 48
// readings (16 bits each), then the old LUT file (none when empty). Afterwards the LUT file is
// either as it was or a complete table of 256 entries for inputs 0..255 that starts at 4095, and
// no temporary file is left.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/FrameEngine.h"
#include "fuzz/FuzzSupport.h"
#include "base/ByteIO.h"
#include "platform/SafeSave.h"
#include "platform/MessageBox.h"

namespace {
constexpr size_t kReadings = 48;
constexpr size_t kPrefix = 3 + 2 * kReadings;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        platform::SetMessageSink([](const std::string&, platform::MessageStyle) {});
        return setenv("KAVREL_INI_DIR", fuzzing::ScratchPath("").c_str(), 1) == 0;
    }();
    FUZZ_CHECK(ready);
    if (size < kPrefix) return 0;

    const std::string settingsPath = fuzzing::ScratchPath("kavrel.INI");
    std::filesystem::remove(settingsPath);
    if (data[0] & 1) {
        const std::string settings =
            "[Imaging]\nGamma=" + std::to_string(kavrel::ReadLE16(data + 1)) + "\n";
        fuzzing::WriteScratchFile("kavrel.INI", reinterpret_cast<const uint8_t*>(settings.data()),
                                  settings.size());
    }

    const std::string lutPath = fuzzing::ScratchPath("table.lut");
    std::filesystem::remove(lutPath);
    std::vector<uint8_t> before(data + kPrefix, data + size);
    if (!before.empty()) fuzzing::WriteScratchFile("table.lut", before);

    CFrameEngine engine;
    engine.SetLutFile(lutPath.c_str());
    for (size_t i = 0; i < kReadings; ++i)
        engine.SetDensiValue(static_cast<int32_t>(i), kavrel::ReadLE16(data + 3 + 2 * i));
    engine.CalcLut();

    FUZZ_CHECK(kavrel::LeftoverTemporaries(lutPath).empty());
    const bool exists = std::filesystem::exists(lutPath);
    const std::vector<uint8_t> after =
        exists ? testing_support::ReadBytes(lutPath) : std::vector<uint8_t>();
    if (exists && after != before) {
        FUZZ_CHECK(after.size() == 16 + 2 * 256);
        FUZZ_CHECK(std::memcmp(after.data(), "LUTFILE", 8) == 0);
        FUZZ_CHECK(kavrel::ReadLE32(after.data() + 8) == 256);
        FUZZ_CHECK(kavrel::ReadLE16(after.data() + 12) == 0);
        FUZZ_CHECK(kavrel::ReadLE16(after.data() + 14) == 255);
        FUZZ_CHECK(kavrel::ReadLE16(after.data() + 16) == 4095);
        // The engine's own table is not touched by the calculation.
        FUZZ_CHECK(engine.m_Lut.HasTable());
    } else {
        FUZZ_CHECK(exists == !before.empty());
    }
    return 0;
}
