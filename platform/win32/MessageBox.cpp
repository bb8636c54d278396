#include "platform/MessageBox.h"

#include <windows.h>

#include "platform/Module.h"
#include "platform/PlatformInternal.h"

namespace platform {

void ShowMessageBox(const std::string& text, MessageStyle style) {
    if (DeliverToSink(text, style)) return;
    const UINT type = style == MessageStyle::Failure ? MB_OK | MB_ICONEXCLAMATION : MB_OK;
    ::MessageBoxA(::GetActiveWindow(), text.c_str(), ModuleBaseName().c_str(), type);
}

}  // namespace platform
