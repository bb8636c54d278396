// Drawing a frame on the output display.
#include "image/Frame.h"
#include "platform/DisplayContext.h"

void CFrame::Output(CDC&) const {}
