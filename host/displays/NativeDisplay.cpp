#include "displays/NativeDisplay.h"

#include "base/FileNamePattern.h"
#include "common/Errors.h"
#include "displays/Display.h"
#include "displays/DisplayCheck.h"

namespace host {

bool IsFileDisplay(const std::string& device) {
    return kavrel::FileDisplayPattern(device).has_value();
}

std::string NativeDisplayProblem(const std::string& device) {
    if (IsFileDisplay(device)) return "a file display, not a screen";
    CScreenMode mode;
    std::string reason;
    if (!FindDisplay(device, mode, reason)) return reason;
    return ModeProblem(mode);
}

void RequireNativeDisplay(const std::string& device) {
    const std::string problem = NativeDisplayProblem(device);
    if (!problem.empty()) throw CHostError("--device " + device + ": " + problem);
}

}  // namespace host
