#pragma once

// Timing helpers shared by the benchmark's parts: a clock, and a series of measured times
// reported as median and range.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

namespace orvelle::bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return SecondsSince(start);
}

// The times one side took, one per round.
struct Series {
    std::vector<double> values;

    double Median() const {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        if (n == 0) {
            return 0;
        }
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double Min() const {
        return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    }
    double Max() const {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
};

// Runs every side once per round, each round starting one side further on, so that no side
// always runs first (or right after the same neighbour).
inline std::vector<Series> Alternate(int rounds,
                                     const std::vector<std::function<double()>>& sides) {
    std::vector<Series> result(sides.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const std::size_t side = (k + static_cast<std::size_t>(round)) % sides.size();
            result[side].values.push_back(sides[side]());
        }
    }
    return result;
}

} // namespace orvelle::bench
