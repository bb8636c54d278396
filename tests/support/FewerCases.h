// Whether the slowest tests take a few of their cases: set for the builds whose tests run many
// times slower than natively, the 32-bit x86 build under a processor emulator (whose floating
// point is slow) and the sanitizer build. The tests that simulate dozens of scanned prints take
// there a few of their cases, chosen so that each kind of case still runs: every code path runs
// all the same, and the full figures are checked in the native run.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

namespace testing_support {

constexpr bool kFewerCases = KAVREL_FEWER_CASES != 0;

// All the cases in the full run; with fewer cases those at the given positions.
template <class T>
std::vector<T> CasesToRun(const std::vector<T>& all, std::initializer_list<size_t> whenFewer) {
    if (!kFewerCases) return all;
    std::vector<T> chosen;
    for (size_t at : whenFewer) chosen.push_back(all.at(at));
    return chosen;
}

}  // namespace testing_support
