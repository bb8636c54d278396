#include "platform/DisplayContext.h"

// Until a display backend exists, no device context can be created.
class CDisplayBackend {
public:
    virtual ~CDisplayBackend() = default;
};

CDC::CDC() = default;
CDC::~CDC() { DeleteDC(); }
bool CDC::CreateDC(const CDisplayMode&) { return false; }
void CDC::DeleteDC() { m_pBackend.reset(); }
bool CDC::HasDC() const { return m_pBackend != nullptr; }
void CDC::FillSolidRect(int32_t, int32_t, int32_t, int32_t, uint32_t) {}
int32_t CDC::SetStretchBltMode(int32_t) { return 0; }
int32_t CDC::StretchDIBits(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                           const void*, const CDibHeader&, uint32_t, uint32_t) {
    return 0;
}
