// CalcLut through the DLL, with the gamma from kavrel.INI in the Windows folder.
#include <float.h>

#include "win32/Host.h"

namespace {

// Puts a kavrel.INI with the given text into the Windows folder for the life of the object and
// then restores whatever was there before.
class WindowsSettingsFile {
public:
    explicit WindowsSettingsFile(const std::string& text) {
        char folder[MAX_PATH] = {};
        GetWindowsDirectoryA(folder, MAX_PATH);
        m_path = std::string(folder) + "\\kavrel.INI";
        m_existed = GetFileAttributesA(m_path.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (m_existed) m_before = ReadFileBytes(m_path);
        WriteFileBytes(m_path, std::vector<uint8_t>(text.begin(), text.end()));
    }
    ~WindowsSettingsFile() {
        if (m_existed) {
            WriteFileBytes(m_path, m_before);
        } else {
            DeleteFileA(m_path.c_str());
        }
    }

private:
    std::string m_path;
    bool m_existed;
    std::vector<uint8_t> m_before;
};

int Entry(const std::vector<uint8_t>& file, int index) {
    return static_cast<int16_t>(file[16 + 2 * index] | file[16 + 2 * index + 1] << 8);
}

void SetGreyScale(const Kavrel& k, int reference, int step) {
    k.SetDensiValue(0, reference);
    for (int r = 1; r <= 46; ++r) k.SetDensiValue(r, reference + step * r);
    k.SetDensiValue(47, 0);
}

}  // namespace

HOST_CHECK(CalcLutTakesTheGammaFromTheSettingsFile) {
    const Kavrel& k = Library();
    HostTempDir dir;
    const std::string lut = dir.Path("calibration.lut");
    {
        WindowsSettingsFile settings("[Imaging]\r\nGamma=220\r\n");
        k.SetLutFile(lut.c_str());  // no file yet: the default table
        SetGreyScale(k, 20, 4);
        k.CalcLut();
    }
    const std::vector<uint8_t> file = ReadFileBytes(lut);
    EXPECT_EQ(file.size(), 528u);
    if (file.size() == 528) {
        const int expected[][2] = {{0, 4095},  {1, 4098},  {2, 4101},  {7, 4109},
                                   {64, 3195}, {72, 2938}, {224, 176}, {255, 0}};
        for (const auto& e : expected) EXPECT_EQ(Entry(file, e[0]), e[1]);
    }

    // A host may run the x87 unit at single precision (as Direct3D sets it up); the table must
    // come out the same. Entry 224 of this grey scale depends on single-precision rounding.
    const std::string lut2 = dir.Path("single-precision.lut");
    {
        WindowsSettingsFile settings("[Imaging]\r\nGamma=180\r\n");
        k.SetLutFile(lut2.c_str());
        SetGreyScale(k, 10, 5);
        unsigned int saved = 0, ignored = 0;
        _controlfp_s(&saved, 0, 0);
        _controlfp_s(&ignored, _PC_24, _MCW_PC);
        k.CalcLut();
        _controlfp_s(&ignored, saved, _MCW_PC);
    }
    const std::vector<uint8_t> file2 = ReadFileBytes(lut2);
    EXPECT_EQ(file2.size(), 528u);
    if (file2.size() == 528) {
        const int expected[][2] = {{1, 4055},  {64, 1846}, {128, 674},
                                   {223, 116}, {224, 111}, {254, 2}};
        for (const auto& e : expected) EXPECT_EQ(Entry(file2, e[0]), e[1]);
    }
    k.SetLutFile(lut.c_str());

    // A gamma of 0, or one outside 0.10 .. 10.00, gives no table: the file stays as it was.
    // "1.80" reads as 1; "-180" wraps to a huge number.
    for (const char* gamma : {"0", "9", "1001", "1.80", "-180"}) {
        WindowsSettingsFile settings(std::string("[Imaging]\r\nGamma=") + gamma + "\r\n");
        SetGreyScale(k, 10, 5);
        k.CalcLut();
        EXPECT_TRUE(ReadFileBytes(lut) == file);
    }
    k.SetLutFile("");
}

HOST_CHECK(CalcLutRefusesAnOldTableTooShortForTheGreyScale) {
    const Kavrel& k = Library();
    HostTempDir dir;
    const std::string lut = dir.Path("short.lut");
    // 100 entries: the old table stops before input 252.
    const uint8_t header[16] = {'L', 'U', 'T', 'F', 'I', 'L', 'E', 0, 100, 0, 0, 0, 0, 0, 255, 0};
    std::vector<uint8_t> bytes(16 + 2 * 100, 0);
    for (int i = 0; i < 16; ++i) bytes[i] = header[i];
    WriteFileBytes(lut, bytes);
    k.SetLutFile(lut.c_str());
    SetGreyScale(k, 150, 0);
    const std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] { k.CalcLut(); });
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.size() == 1) {
        EXPECT_EQ(boxes[0].caption, std::string("kavrel"));
        EXPECT_EQ(boxes[0].text,
                  std::string("No old LUT found!\nCreate an empty LUT with Clear LUT first"));
        EXPECT_TRUE(boxes[0].exclamationIcon);
    }
    EXPECT_TRUE(ReadFileBytes(lut) == bytes);
    // With error windows disabled the refusal is silent.
    k.DisableErrorWindow(1);
    EXPECT_EQ(CaptureMessageBoxes([&] { k.CalcLut(); }).size(), 0u);
    k.DisableErrorWindow(0);
    EXPECT_TRUE(ReadFileBytes(lut) == bytes);
    k.SetLutFile("");
}
