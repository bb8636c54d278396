// Windows has no refresh clock for the host yet: drawings are timed by the host's clock.
#include "displays/RefreshClock.h"

namespace host {

std::unique_ptr<CRefreshClock> CRefreshClock::Open(const std::string&, std::string& reason) {
    reason = "the refreshes of a Windows display are not measured";
    return nullptr;
}

}  // namespace host
