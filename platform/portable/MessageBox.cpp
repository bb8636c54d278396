#include "platform/MessageBox.h"

#include <cstdio>

#include "platform/Module.h"
#include "platform/PlatformInternal.h"

namespace platform {

void ShowMessageBox(const std::string& text, MessageStyle style) {
    if (DeliverToSink(text, style)) return;
    std::fprintf(stderr, "[%s] %s\n", ModuleBaseName().c_str(), text.c_str());
}

}  // namespace platform
