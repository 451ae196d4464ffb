#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

// Per-block wall-clock times and the figures derived from them. The programs run pinned to
// one CPU, but other processes still preempt them now and then; the cost per frame and the
// real-time factor therefore come from the median block, which such interruptions leave
// alone, while the 99.9th percentile shows them as a host would meet them.
class BlockTimer
{
public:
    explicit BlockTimer (std::size_t expectedBlocks) { blockNanoseconds.reserve (expectedBlocks); }

    template <typename Function>
    void time (Function&& process)
    {
        const auto start = std::chrono::steady_clock::now();
        process();
        const auto end = std::chrono::steady_clock::now();
        blockNanoseconds.push_back (std::chrono::duration<double, std::nano> (end - start).count());
    }

    struct Summary
    {
        double nanosecondsPerFrame = 0.0;
        double realTimeFactor = 0.0;
        double medianMicroseconds = 0.0;
        double worstMicroseconds = 0.0;
        double worstShareOfDeadline = 0.0;
    };

    // "Worst" is the 99.9th percentile: the block a host would meet about once every
    // thousand callbacks, which decides whether the audio drops out.
    Summary summarise (int blockSize, double sampleRate) const
    {
        Summary summary;

        if (blockNanoseconds.empty())
            return summary;

        auto sorted = blockNanoseconds;
        std::sort (sorted.begin(), sorted.end());

        const auto median = sorted[sorted.size() / 2];
        const auto deadlineNanoseconds = 1.0e9 * blockSize / sampleRate;

        summary.nanosecondsPerFrame = median / blockSize;
        summary.realTimeFactor = deadlineNanoseconds / median;
        summary.medianMicroseconds = median * 1.0e-3;
        const auto worst = sorted[std::min (sorted.size() - 1, (sorted.size() * 999) / 1000)];
        summary.worstMicroseconds = worst * 1.0e-3;
        summary.worstShareOfDeadline = worst / deadlineNanoseconds;
        return summary;
    }

private:
    std::vector<double> blockNanoseconds;
};
