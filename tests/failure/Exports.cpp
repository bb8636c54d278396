#include "failure/Exports.h"

#include <cstdint>

#include "kavrel.h"

namespace failure_tests {

using testing_support::Workspace;

const std::vector<Export>& Exports() {
    // A host's image buffer: 2560 x 2048 pixels of 3 bytes.
    static std::vector<uint8_t> pixels(2560 * 2048 * 3, 0x5A);
    static const std::vector<Export> exports = {
        {"ShowDialog", [](const Workspace&) { ShowDialog(); }, true},
        {"SetDeviceName", [](const Workspace&) { SetDeviceName("\\\\.\\DISPLAY9\\Monitor0"); },
         true},
        {"SetLutFile", [](const Workspace& f) { SetLutFile(f.Lut().c_str()); }, true},
        {"SetOffsetFile", [](const Workspace& f) { SetOffsetFile(f.Offsets().c_str()); }, true},
        {"SetImageFile", [](const Workspace& f) { SetImageFile(f.Image().c_str()); }, true},
        {"SetScanFile", [](const Workspace& f) { SetScanFile(f.Scan().c_str()); }, true},
        {"SetColor", [](const Workspace&) { SetColor(1); }, false},
        {"SetPosition", [](const Workspace&) { SetPosition(2); }, false},
        {"OpenOutputDevice", [](const Workspace&) { OpenOutputDevice(); }, true, true},
        {"CloseOutputDevice", [](const Workspace&) { CloseOutputDevice(); }, false},
        // A frame keeps its buffer while its size stays the same: each call computes the frame
        // from a picture of the other size (the host's buffer or the workspace's image), so that
        // its buffer must be replaced.
        {"CalcFrame",
         [](const Workspace&) {
             static bool hostBuffer = false;
             hostBuffer = !hostBuffer;
             if (hostBuffer) SetBitmapPointer(pixels.data());
             CalcFrame(4);
         },
         true},
        {"OutputFrame", [](const Workspace&) { OutputFrame(0); }, true, true},
        {"SetDelayLine", [](const Workspace&) { SetDelayLine(1); }, false},
        {"SetDelayShift", [](const Workspace&) { SetDelayShift(1); }, false},
        {"CalcOffset", [](const Workspace&) { CalcOffset(1); }, true},
        {"SetBitmapPointer", [](const Workspace&) { SetBitmapPointer(pixels.data()); }, false},
        {"OutputBlankFrame", [](const Workspace&) { OutputBlankFrame(1234); }, true, true},
        {"SetDensiValue", [](const Workspace&) { SetDensiValue(3, 77); }, false},
        {"CalcLut", [](const Workspace&) { CalcLut(); }, true},
        {"SetCorrectionFactor", [](const Workspace&) { SetCorrectionFactor(120); }, false},
        {"SetThreshold", [](const Workspace&) { SetThreshold(80); }, false},
        {"DisableErrorWindow", [](const Workspace&) { DisableErrorWindow(0); }, false},
    };
    return exports;
}

void PrepareThroughExports(const Workspace& files, bool display) {
    DisableErrorWindow(0);
    CloseOutputDevice();
    SetDeviceName(display ? files.DisplayName().c_str() : "");
    SetColor(0);
    SetPosition(0);
    SetDelayLine(0);
    SetDelayShift(0);
    SetCorrectionFactor(100);
    SetThreshold(90);
    SetLutFile(files.Lut().c_str());
    SetOffsetFile(files.Offsets().c_str());
    SetImageFile(files.Image().c_str());
    SetScanFile(files.Scan().c_str());
    for (int i = 0; i < 48; ++i) SetDensiValue(i, 20 + 5 * i);
    CalcFrame(0);
    if (display) OpenOutputDevice();
}

void UseEverything() {
    CloseOutputDevice();
    // The frames that the exports compute, then a frame computed with the table, the offset map
    // and the image in force, and the dialog's text.
    OutputFrame(0);
    OutputFrame(4);
    SetColor(2);
    SetPosition(1);
    CalcFrame(6);
    OutputFrame(6);
    ShowDialog();
}

}  // namespace failure_tests
