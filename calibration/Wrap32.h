// Signed 32-bit arithmetic that wraps on overflow as the processor's registers do, without the
// undefined behaviour of overflowing int32_t. The offset calculation forms its products in 32 bits
// (product first, one truncating division); with extreme settings or huge scans they overflow,
// and these functions give the wrapped result every time.
#pragma once

#include <cstdint>
#include <limits>

namespace kavrel::wrap32 {

constexpr int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

constexpr int32_t Mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Quotient truncated toward zero. The two quotients that have no 32-bit value are given one
// instead of trapping: division by 0 gives 0, and the lowest value divided by -1 wraps to itself.
constexpr int32_t Div(int32_t n, int32_t d) {
    if (d == 0) return 0;
    if (d == -1) return Sub(0, n);
    return n / d;
}

}  // namespace kavrel::wrap32
