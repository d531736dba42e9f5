#pragma once
// What every benchmark of bench/run shares: timing a piece of work several times, the
// median and spread, and one table row per measurement in a form bench/run collects:
//   row <TAB> what <TAB> median <TAB> spread <TAB> reference <TAB> its median <TAB> ratio <TAB> budget <TAB> verdict
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct Stats {
    double median = 0, min = 0, max = 0;
    bool measured = false;  // from samples: a count of nothing (zero frames dropped) is a result too
    bool valid() const { return measured || max > 0; }
};

inline Stats Summarise(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back(), true};
}

// Runs `work` once to warm up, then `repeats` times; milliseconds.
template <typename F>
Stats Time(int repeats, F&& work) {
    work();
    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return Summarise(ms);
}

inline std::string Format(double value, const char* unit) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, value >= 100 ? "%.0f %s" : "%.1f %s", value, unit);
    return buffer;
}

// One row. `reference` may be empty (no reference); `budgetMet` says whether the row met its
// budget, described in `budget`.
inline void Row(const std::string& what, const Stats& s, const std::string& reference, const Stats& ref,
                const std::string& budget, bool budgetMet, const char* unit = "ms") {
    const std::string spread = s.valid() ? Format(s.min, unit) + " .. " + Format(s.max, unit) : "-";
    const bool hasRef = !reference.empty() && ref.valid();
    char ratio[32] = "-";
    if (hasRef && ref.median > 0) std::snprintf(ratio, sizeof ratio, "%.2fx", s.median / ref.median);
    std::printf("row\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", what.c_str(), s.valid() ? Format(s.median, unit).c_str() : "-",
                spread.c_str(), reference.empty() ? "-" : reference.c_str(),
                hasRef ? Format(ref.median, unit).c_str() : "-", ratio, budget.empty() ? "-" : budget.c_str(),
                budget.empty() ? "" : (budgetMet ? "met" : "MISSED"));
    std::fflush(stdout);
}

}  // namespace bench
