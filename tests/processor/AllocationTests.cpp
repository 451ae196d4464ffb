#include "AllocationCounter.h"
#include "ProcessorTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace korvel::test;

namespace
{
struct Counts
{
    int allocations = 0;
    int releases = 0;
};

Counts countWhileProcessing (KorvelAudioProcessor& processor, juce::AudioBuffer<float>& buffer)
{
    juce::MidiBuffer midi;
    const ScopedAllocationCounter counter;
    processor.processBlock (buffer, midi);
    return { counter.getAllocations(), counter.getReleases() };
}

// Valgrind puts its own allocator in place of every replacement, the counting one included.
class Allocations : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const juce::String preload (std::getenv ("LD_PRELOAD"));

        if (preload.contains ("vgpreload"))
            GTEST_SKIP() << "allocations cannot be counted under Valgrind";
    }
};
} // namespace

TEST_F (Allocations, CounterSeesTheAllocationsItIsMeantToCatch)
{
    // Called through volatile pointers so that the optimiser cannot drop the pairs.
    static void* (*volatile allocate) (std::size_t) = &::operator new;
    static void (*volatile release) (void*) noexcept = &::operator delete;
    static void* (*volatile allocateC) (std::size_t) noexcept = &std::malloc;
    static void (*volatile releaseC) (void*) noexcept = &std::free;

    Counts fromNew, fromMalloc;
    {
        const ScopedAllocationCounter counter;
        release (allocate (16));
        fromNew = { counter.getAllocations(), counter.getReleases() };

        // The framework's buffers take their memory from malloc directly.
        releaseC (allocateC (16));
        fromMalloc = { counter.getAllocations() - fromNew.allocations, counter.getReleases() - fromNew.releases };
    }

    EXPECT_EQ (fromNew.allocations, 1);
    EXPECT_EQ (fromNew.releases, 1);

    if (ScopedAllocationCounter::countsMalloc())
    {
        EXPECT_EQ (fromMalloc.allocations, 1);
        EXPECT_EQ (fromMalloc.releases, 1);
    }
}

TEST_F (Allocations, ProcessBlockNeverTouchesTheHeap)
{
    constexpr int blockSize = 256;

    for (const auto& layout : { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono() })
        for (auto over = 0; over <= 4; ++over)
            for (auto algorithm = 0; algorithm < 5; ++algorithm)
            {
                SCOPED_TRACE (layout.getDescription() + ", over " + juce::String (over)
                              + ", algorithm " + juce::String (algorithm));

                KorvelAudioProcessor processor;
                ASSERT_TRUE (useLayout (processor, layout));
                setAlgorithm (processor, static_cast<DistortionAlgorithm> (algorithm));
                setPlainValue (processor, "bias", 30.0f);
                setPlainValue (processor, "mix", 70.0f);
                setPlainValue (processor, "eq", 1.5f);
                prepareWithOversampling (processor, over, defaultSampleRate, blockSize);

                const auto numChannels = layout.size();
                auto first = makeNoise (numChannels, blockSize, 1.0f, 200);
                const auto afterPreparing = countWhileProcessing (processor, first);

                setPlainValue (processor, "eq", -2.0f);
                setPlainValue (processor, "input", 6.0f);
                auto gliding = makeNoise (numChannels, blockSize, 1.0f, 201);
                const auto whileGliding = countWhileProcessing (processor, gliding);

                auto steady = makeNoise (numChannels, blockSize, 1.0f, 202);
                const auto whileSteady = countWhileProcessing (processor, steady);

                setPlainValue (processor, "eq", 0.5f);
                auto longBlock = makeNoise (numChannels, blockSize * 7 / 2, 1.0f, 203);
                const auto longerThanPrepared = countWhileProcessing (processor, longBlock);

                for (const auto& counts : { afterPreparing, whileGliding, whileSteady, longerThanPrepared })
                {
                    EXPECT_EQ (counts.allocations, 0);
                    EXPECT_EQ (counts.releases, 0);
                }
            }
}
