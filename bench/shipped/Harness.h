// A small timing harness for the shipped library: every case runs once per round, the rounds
// interleave all cases, and each case is reported as the median over the rounds of its time per
// call and of its time divided by its floor's time in the same round. Interleaving keeps a slow
// stretch of a shared machine from favouring one case over another.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

namespace bench_shipped {

struct CCase {
    std::string name;
    // The case whose time this one is divided by ("" for none): the step's floor.
    std::string floor;
    // A second reference, reported as how many times faster this case is ("" for none).
    std::string compareWith;
    std::function<void()> run;
    // Run before the case's calls in every round and left out of its time (none when empty).
    std::function<void()> prepare = nullptr;
};

class CHarness : private kavrel::CNonCopyable {
public:
    CHarness() = default;
    virtual ~CHarness() = default;

    void Add(CCase c) { m_Cases.push_back(std::move(c)); }

    // Warms every case up, then runs `rounds` interleaved rounds; a call shorter than about 20 ms
    // is repeated within its round so that the clock's resolution does not matter.
    void Run(int rounds) {
        m_Seconds.assign(m_Cases.size(), {});
        m_Calls.assign(m_Cases.size(), 1);
        for (size_t i = 0; i < m_Cases.size(); ++i) {
            m_Cases[i].run();
            const double once = TimeCalls(m_Cases[i], 1);
            m_Calls[i] = std::max(1, static_cast<int>(0.02 / std::max(once, 1e-6)));
        }
        for (int round = 0; round < rounds; ++round)
            for (size_t i = 0; i < m_Cases.size(); ++i)
                m_Seconds[i].push_back(TimeCalls(m_Cases[i], m_Calls[i]));
    }

    void Report(std::FILE* out) const {
        std::fprintf(out, "%-44s %10s %8s %14s %12s\n", "case", "median ms", "floor x",
                     "floor x range", "faster by");
        for (size_t i = 0; i < m_Cases.size(); ++i) {
            const CCase& c = m_Cases[i];
            std::fprintf(out, "%-44s %10.3f", c.name.c_str(), 1e3 * Median(m_Seconds[i]));
            const std::vector<double> toFloor = Ratios(i, c.floor);
            if (toFloor.empty())
                std::fprintf(out, " %8s %14s", "", "");
            else
                std::fprintf(out, " %8.2f %6.2f-%-7.2f", Median(toFloor),
                             *std::min_element(toFloor.begin(), toFloor.end()),
                             *std::max_element(toFloor.begin(), toFloor.end()));
            const std::vector<double> against = Ratios(i, c.compareWith);
            if (!against.empty()) std::fprintf(out, " %11.2fx", 1.0 / Median(against));
            std::fprintf(out, "\n");
        }
    }

private:
    static double TimeCalls(const CCase& c, int calls) {
        if (c.prepare) c.prepare();
        const double start = Now();
        for (int k = 0; k < calls; ++k) c.run();
        return (Now() - start) / calls;
    }

    // Seconds of this thread's processor time where the system counts it finely (Linux), else of
    // the wall clock (Windows, where thread times advance in scheduler ticks): there the machine
    // must be otherwise idle.
    static double Now() {
#ifdef _WIN32
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
#endif
    }

    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n == 0 ? 0.0 : (n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
    }

    // Case i's time divided by the named case's time, round by round.
    std::vector<double> Ratios(size_t i, const std::string& name) const {
        std::vector<double> ratios;
        for (size_t k = 0; k < m_Cases.size() && !name.empty(); ++k) {
            if (m_Cases[k].name != name) continue;
            for (size_t r = 0; r < m_Seconds[i].size(); ++r)
                ratios.push_back(m_Seconds[i][r] / m_Seconds[k][r]);
        }
        return ratios;
    }

    std::vector<CCase> m_Cases;
    std::vector<std::vector<double>> m_Seconds;
    std::vector<int> m_Calls;
};

}  // namespace bench_shipped
