#include "BlockTimer.h"
#include "PlainLoopChain.h"
#include "PluginProcessor.h"
#include "processor/AllocationCounter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Times the processor block by block over every algorithm, oversampling order and two block
// sizes, beside a plain-loop version of the same work, and counts the heap allocations made
// inside processBlock. Run it pinned to one CPU (scripts/bench does): only ratios taken in the
// same run mean anything, because the CPUs here change speed over time.

namespace
{
// Heap allocations and releases made inside processBlock over the whole run.
std::uint64_t processBlockHeapCalls = 0;

constexpr double sampleRate = 48000.0;
constexpr int numChannels = 2;
constexpr int blockSizes[] = { 64, 512 };
constexpr const char* algorithmNames[] = { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" };
constexpr const char* orderNames[] = { "Off", "2x", "4x", "8x", "16x" };

struct Settings
{
    double measuredSeconds = 15.0;
    double warmUpSeconds = 0.25;
    std::string filter;
};

// Deterministic stereo noise, handed out block by block from a long loop.
class NoiseSource
{
public:
    NoiseSource() : noise (numChannels, length)
    {
        juce::Random random (0x5eed);

        for (int channel = 0; channel < numChannels; ++channel)
            for (int i = 0; i < length; ++i)
                noise.setSample (channel, i, 0.7f * (2.0f * random.nextFloat() - 1.0f));
    }

    void fill (juce::AudioBuffer<float>& buffer)
    {
        const auto numSamples = buffer.getNumSamples();

        if (position + numSamples > length)
            position = 0;

        for (int channel = 0; channel < numChannels; ++channel)
            buffer.copyFrom (channel, 0, noise, channel, position, numSamples);

        position += numSamples;
    }

private:
    static constexpr int length = 1 << 16;
    juce::AudioBuffer<float> noise;
    int position = 0;
};

void setParameter (KorvelAudioProcessor& processor, const char* id, float plainValue)
{
    auto* parameter = processor.apvts.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

std::unique_ptr<KorvelAudioProcessor> makeProcessor (int algorithm, int order, int blockSize)
{
    auto processor = std::make_unique<KorvelAudioProcessor>();
    setParameter (*processor, "choice", static_cast<float> (algorithm));
    setParameter (*processor, "over", static_cast<float> (order));
    setParameter (*processor, "bias", 30.0f);
    setParameter (*processor, "shape", 50.0f);
    setParameter (*processor, "eq", 1.5f);
    processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);
    return processor;
}

int blocksFor (double seconds, int blockSize)
{
    return juce::jmax (1, static_cast<int> (seconds * sampleRate / blockSize));
}

struct Measurement
{
    BlockTimer::Summary steady, movingEq, silence, floor;
};

// Runs the blocks of one case; `beforeBlock` prepares the buffer and the parameters outside
// the timed region, as a host would between callbacks.
template <typename BeforeBlock>
BlockTimer::Summary timeProcessor (KorvelAudioProcessor& processor, juce::AudioBuffer<float>& buffer,
                                   int numBlocks, BeforeBlock&& beforeBlock)
{
    BlockTimer timer (static_cast<size_t> (numBlocks));
    juce::MidiBuffer midi;

    for (int block = 0; block < numBlocks; ++block)
    {
        beforeBlock (block);
        timer.time ([&]
        {
            const korvel::test::ScopedAllocationCounter counting;
            processor.processBlock (buffer, midi);
            processBlockHeapCalls += static_cast<std::uint64_t> (counting.getAllocations() + counting.getReleases());
        });
    }

    return timer.summarise (buffer.getNumSamples(), sampleRate);
}

BlockTimer::Summary timePlainLoop (int algorithm, int order, int blockSize, const Settings& settings, NoiseSource& noise)
{
    PlainLoopChain chain (algorithm, order, sampleRate, blockSize);
    juce::AudioBuffer<float> buffer (numChannels, blockSize);

    for (int block = 0; block < blocksFor (settings.warmUpSeconds, blockSize); ++block)
    {
        noise.fill (buffer);
        chain.process (buffer);
    }

    const auto numBlocks = blocksFor (settings.measuredSeconds, blockSize);
    BlockTimer timer (static_cast<size_t> (numBlocks));

    for (int block = 0; block < numBlocks; ++block)
    {
        noise.fill (buffer);
        timer.time ([&] { chain.process (buffer); });
    }

    return timer.summarise (blockSize, sampleRate);
}

Measurement measure (int algorithm, int order, int blockSize, const Settings& settings, NoiseSource& noise)
{
    Measurement result;
    result.floor = timePlainLoop (algorithm, order, blockSize, settings, noise);

    auto processor = makeProcessor (algorithm, order, blockSize);
    juce::AudioBuffer<float> buffer (numChannels, blockSize);
    const auto fillWithNoise = [&] (int) { noise.fill (buffer); };

    // Past the fade-in from silence that the first preparation starts.
    timeProcessor (*processor, buffer, blocksFor (settings.warmUpSeconds, blockSize), fillWithNoise);

    const auto numBlocks = blocksFor (settings.measuredSeconds, blockSize);
    result.steady = timeProcessor (*processor, buffer, numBlocks, fillWithNoise);

    // A new tilt every block keeps both shelves recomputing their coefficients at every sample.
    result.movingEq = timeProcessor (*processor, buffer, numBlocks, [&] (int block)
    {
        noise.fill (buffer);
        setParameter (*processor, "eq", block % 2 == 0 ? -2.5f : 2.0f);
    });

    // After the signal stops, the filter and follower states decay towards denormal values.
    // The first silent block brings the tilt back to rest and is left out.
    const auto fillWithSilence = [&] (int) { buffer.clear(); };
    setParameter (*processor, "eq", 1.5f);
    timeProcessor (*processor, buffer, 1, fillWithSilence);
    result.silence = timeProcessor (*processor, buffer, numBlocks, fillWithSilence);
    return result;
}

void printHeader()
{
    std::printf ("%-10s %-4s %5s  %-10s %9s %7s %10s %10s %9s %8s %9s\n",
                 "algorithm", "over", "block", "case", "ns/frame", "RTF", "median us", "p99.9 us",
                 "p99.9 %dl", "x floor", "x steady");
}

void printRow (int algorithm, int order, int blockSize, const char* caseName,
               const BlockTimer::Summary& summary, double versusFloor, double versusSteady)
{
    char floorText[16] = "", steadyText[16] = "";

    if (versusFloor > 0.0)
        std::snprintf (floorText, sizeof (floorText), "%.2f", versusFloor);

    if (versusSteady > 0.0)
        std::snprintf (steadyText, sizeof (steadyText), "%.2f", versusSteady);

    std::printf ("%-10s %-4s %5d  %-10s %9.1f %7.0f %10.2f %10.2f %8.2f%% %8s %9s\n",
                 algorithmNames[algorithm], orderNames[order], blockSize, caseName,
                 summary.nanosecondsPerFrame, summary.realTimeFactor, summary.medianMicroseconds,
                 summary.worstMicroseconds, 100.0 * summary.worstShareOfDeadline, floorText, steadyText);
    std::fflush (stdout);
}

void printMeasurement (int algorithm, int order, int blockSize, const Measurement& m)
{
    const auto steadyNs = m.steady.nanosecondsPerFrame;
    printRow (algorithm, order, blockSize, "floor", m.floor, 0.0, 0.0);
    printRow (algorithm, order, blockSize, "steady", m.steady, steadyNs / m.floor.nanosecondsPerFrame, 0.0);
    printRow (algorithm, order, blockSize, "moving eq", m.movingEq, 0.0, m.movingEq.nanosecondsPerFrame / steadyNs);
    printRow (algorithm, order, blockSize, "silence", m.silence, 0.0, m.silence.nanosecondsPerFrame / steadyNs);
}

// Per order, the slowest algorithm's figures: what a user choosing that order can rely on.
struct OrderSummary
{
    bool measured = false;
    double slowestSteadyNs = 0.0, worstVersusFloor = 0.0, worstMovingVersusSteady = 0.0, worstShare64 = 0.0;
};

void printSummary (const OrderSummary (&orders)[5], std::uint64_t allocations)
{
    std::printf ("\nSummary, slowest algorithm per order (block 512 unless noted):\n");
    std::printf ("%-4s %9s %7s %8s %15s %22s\n", "over", "ns/frame", "RTF", "x floor", "moving/steady",
                 "p99.9 %dl, block 64");

    for (int order = 0; order < 5; ++order)
    {
        const auto& o = orders[order];

        if (! o.measured)
            continue;

        // With --only, an order may have no row at 512; its first columns then stay at 0.
        const auto realTimeFactor = o.slowestSteadyNs > 0.0 ? 1.0e9 / (sampleRate * o.slowestSteadyNs) : 0.0;
        std::printf ("%-4s %9.1f %7.0f %8.2f %15.2f %21.2f%%\n", orderNames[order], o.slowestSteadyNs,
                     realTimeFactor, o.worstVersusFloor, o.worstMovingVersusSteady, 100.0 * o.worstShare64);
    }

    std::printf ("\nHeap allocations and releases inside processBlock: %llu\n", static_cast<unsigned long long> (allocations));
}

bool parseArguments (int argc, char** argv, Settings& settings)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp (argv[i], "--smoke") == 0)
        {
            settings.measuredSeconds = 0.05;
            settings.warmUpSeconds = 0.06;
        }
        else if (std::strcmp (argv[i], "--seconds") == 0 && i + 1 < argc)
        {
            settings.measuredSeconds = std::atof (argv[++i]);
        }
        else if (std::strcmp (argv[i], "--only") == 0 && i + 1 < argc)
        {
            settings.filter = argv[++i];
        }
        else
        {
            std::fprintf (stderr,
                          "usage: %s [--smoke] [--seconds S] [--only ALGORITHM/ORDER/BLOCK]\n"
                          "  --smoke    a few blocks per case, to check that it runs and allocates nothing\n"
                          "  --seconds  seconds of audio per case (default 15)\n"
                          "  --only     run the rows whose \"Tape/4/64\"-style name contains this text\n",
                          argv[0]);
            return false;
        }
    }

    return true;
}
} // namespace

int main (int argc, char** argv)
{
    Settings settings;

    if (! parseArguments (argc, argv, settings))
        return 2;

    const juce::ScopedJuceInitialiser_GUI juce;
    NoiseSource noise;
    OrderSummary orders[5];

    std::printf ("Korvel, 48 kHz stereo, %.2f s of audio per case\n\n", settings.measuredSeconds);
    printHeader();

    for (int order = 0; order < 5; ++order)
    {
        for (int algorithm = 0; algorithm < 5; ++algorithm)
        {
            for (const auto blockSize : blockSizes)
            {
                const auto name = juce::String (algorithmNames[algorithm]).removeCharacters (" ")
                                  + "/" + juce::String (order) + "/" + juce::String (blockSize);

                if (! name.contains (juce::String (settings.filter)))
                    continue;

                const auto m = measure (algorithm, order, blockSize, settings, noise);
                printMeasurement (algorithm, order, blockSize, m);

                auto& o = orders[order];
                o.measured = true;
                o.worstMovingVersusSteady = juce::jmax (o.worstMovingVersusSteady,
                                                        m.movingEq.nanosecondsPerFrame / m.steady.nanosecondsPerFrame);

                if (blockSize == 64)
                    o.worstShare64 = juce::jmax (o.worstShare64, m.steady.worstShareOfDeadline,
                                                 m.movingEq.worstShareOfDeadline, m.silence.worstShareOfDeadline);
                else
                {
                    o.slowestSteadyNs = juce::jmax (o.slowestSteadyNs, m.steady.nanosecondsPerFrame);
                    o.worstVersusFloor = juce::jmax (o.worstVersusFloor,
                                                     m.steady.nanosecondsPerFrame / m.floor.nanosecondsPerFrame);
                }
            }
        }
    }

    const auto allocations = processBlockHeapCalls;
    printSummary (orders, allocations);
    return allocations == 0 ? 0 : 1;
}
