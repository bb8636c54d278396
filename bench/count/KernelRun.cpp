// One nominal frame through one step, for counting the step's instructions: an emulator that
// counts only the instructions inside the step's functions (scripts/count-instructions.sh) gets
// the count per frame, whatever the program does around it.
//
//   kavrel-kernel-run frame        CalcFrame's work: extraction, LUT and offsets of one frame
//   kavrel-kernel-run pack WIDEST  packing one frame with byte shuffles up to WIDEST (0, 1, 2)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/FrameEngine.h"
#include "output/FramePacking.h"

namespace {

// The engine as BM_CalcFrame sets it up: a 2560 x 2048 image, the inverse table, offsets.
void SetUp(CFrameEngine& engine, std::vector<uint8_t>& pixels) {
    pixels.resize(2560 * 2048 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + (i >> 13));
    engine.SetBitmapPointer(pixels.data());
    engine.m_Lut.MakeInverse(4095);
    engine.m_Offset.Fill(0);
    for (int32_t i = 0; i < engine.m_Offset.m_nCount; ++i)
        engine.m_Offset.m_pData[i] = static_cast<uint16_t>(i % 41 - 20);
    engine.SetColor(1);
    engine.SetPosition(2);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string step = argc > 1 ? argv[1] : "";
    if (step != "frame" && !(step == "pack" && argc > 2)) {
        std::fprintf(stderr, "usage: kavrel-kernel-run frame | pack 0|1|2\n");
        return 2;
    }
    std::vector<uint8_t> pixels;
    CFrameEngine engine;
    SetUp(engine, pixels);
    CFrame& frame = engine.m_Frames[0];
    if (step == "frame") {
        // A frame of the right size already: the buffer is kept, as from the second frame of a run on.
        frame.Fill(0);
        engine.CalcFrame(0);
    } else {
        engine.CalcFrame(0);
        std::vector<uint8_t> packed(kavrel::PackedFrameBytes(frame));
        kavrel::LimitByteShuffles(std::atoi(argv[2]));
        kavrel::PackFrame(frame, packed.data());
        std::fwrite(packed.data(), 1, 16, stdout);  // the packing is used
    }
    return 0;
}
