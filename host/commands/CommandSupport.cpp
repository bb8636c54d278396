// Small helpers shared by the commands.
#include <csignal>
#include <cstdio>

#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "commands/Guards.h"

namespace host {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

CInterruptGuard::CInterruptGuard() {
    g_interrupted = 0;
    m_pPrevious = std::signal(SIGINT, OnInterrupt);
}

CInterruptGuard::~CInterruptGuard() { std::signal(SIGINT, m_pPrevious); }

bool CInterruptGuard::Interrupted() { return g_interrupted != 0; }

const char* ColourName(int colour) {
    static const char* const names[] = {"blue", "green", "red"};
    return colour >= 0 && colour < 3 ? names[colour] : "?";
}

const char* PositionName(int position) {
    static const char* const names[] = {"upper left", "upper right", "lower right", "lower left"};
    return position >= 0 && position < 4 ? names[position] : "?";
}

std::vector<COption> LutOptions(const std::string& lutHelp,
                                const std::function<std::string(int colour)>& colourHelp) {
    std::vector<COption> options{{"lut", "FILE", lutHelp}};
    for (int colour = 0; colour < 3; ++colour)
        options.push_back({std::string("lut-") + ColourName(colour), "FILE", colourHelp(colour)});
    return options;
}

std::string Milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds * 1000);
    return text;
}

}  // namespace host
