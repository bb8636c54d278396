// Whether the tests run under a processor emulator (the 32-bit x86 build on a machine that runs no
// 32-bit programs), where floating point runs many times slower than on the processor. The tests
// that simulate dozens of scanned prints take a few of their cases there, chosen so that each kind
// of case still runs; natively they take them all.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

namespace testing_support {

constexpr bool kUnderEmulation = KAVREL_EMULATED_TESTS != 0;

// All the cases natively; under emulation those at the given positions.
template <class T>
std::vector<T> CasesToRun(const std::vector<T>& all, std::initializer_list<size_t> underEmulation) {
    if (!kUnderEmulation) return all;
    std::vector<T> chosen;
    for (size_t at : underEmulation) chosen.push_back(all.at(at));
    return chosen;
}

}  // namespace testing_support
