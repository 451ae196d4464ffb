#include "ProcessorTestSupport.h"

#include <gtest/gtest.h>

using namespace korvel::test;

namespace
{
constexpr int preparedSize = 256;
constexpr float sentinel = -12345.5f;

// A buffer over the middle of larger storage, so a write past either end of any channel
// shows up in the guard samples around it.
class GuardedBuffer
{
public:
    explicit GuardedBuffer (const juce::AudioBuffer<float>& content)
        : numSamples (content.getNumSamples())
    {
        for (auto channel = 0; channel < content.getNumChannels(); ++channel)
        {
            auto& samples = storage.emplace_back (static_cast<size_t> (numSamples + 2 * guardSize), sentinel);
            std::copy (content.getReadPointer (channel), content.getReadPointer (channel) + numSamples,
                       samples.begin() + guardSize);
            channelPointers.push_back (samples.data() + guardSize);
        }

        buffer.setDataToReferTo (channelPointers.data(), static_cast<int> (channelPointers.size()), numSamples);
    }

    juce::AudioBuffer<float>& get() noexcept { return buffer; }

    bool guardsIntact() const
    {
        for (const auto& samples : storage)
            for (auto i = 0; i < guardSize; ++i)
                if (samples[(size_t) i] != sentinel || samples[samples.size() - 1 - (size_t) i] != sentinel)
                    return false;

        return true;
    }

private:
    static constexpr int guardSize = 64;
    int numSamples;
    std::vector<std::vector<float>> storage;
    std::vector<float*> channelPointers;
    juce::AudioBuffer<float> buffer;
};

void configure (KorvelAudioProcessor& processor, int overValue)
{
    setAlgorithm (processor, DistortionAlgorithm::Tube);
    setPlainValue (processor, "bias", 50.0f);
    setPlainValue (processor, "mix", 80.0f);
    setPlainValue (processor, "input", 3.0f);
    setPlainValue (processor, "output", -2.0f);
    prepareWithOversampling (processor, overValue, defaultSampleRate, preparedSize);
}

juce::AudioBuffer<float> slice (const juce::AudioBuffer<float>& source, int start, int length)
{
    juce::AudioBuffer<float> part (source.getNumChannels(), length);

    for (auto channel = 0; channel < source.getNumChannels(); ++channel)
        part.copyFrom (channel, 0, source, channel, start, length);

    return part;
}

void expectIdentical (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected, int offset)
{
    for (auto channel = 0; channel < actual.getNumChannels(); ++channel)
        for (auto i = 0; i < actual.getNumSamples(); ++i)
            ASSERT_EQ (actual.getSample (channel, i), expected.getSample (channel, offset + i))
                << "channel " << channel << ", sample " << offset + i;
}
} // namespace

TEST (BlockSizes, LongBlockSoundsLikeTheSameAudioInPreparedSizeChunks)
{
    constexpr auto longSize = preparedSize * 7 / 2;

    for (const auto over : { 0, 2 })
    {
        SCOPED_TRACE ("over " + juce::String (over));
        KorvelAudioProcessor whole, chunked;
        configure (whole, over);
        configure (chunked, over);

        for (const auto& [block, eq] : { std::pair { 0, 2.0f }, std::pair { 1, -1.25f }, std::pair { 2, -1.25f } })
        {
            setPlainValue (whole, "eq", eq);
            setPlainValue (chunked, "eq", eq);

            const auto input = makeNoise (2, longSize, 0.9f, 100 + block);

            GuardedBuffer wholeBuffer (input);
            process (whole, wholeBuffer.get());
            EXPECT_TRUE (wholeBuffer.guardsIntact());

            for (auto start = 0; start < longSize; start += preparedSize)
            {
                GuardedBuffer part (slice (input, start, juce::jmin (preparedSize, longSize - start)));
                process (chunked, part.get());
                EXPECT_TRUE (part.guardsIntact());
                expectIdentical (part.get(), wholeBuffer.get(), start);
            }
        }

        EXPECT_EQ (whole.meterLevel.load(), chunked.meterLevel.load());
    }
}

TEST (BlockSizes, ShortAndOddBlocksStayInsideTheirBuffers)
{
    for (const auto over : { 0, 1, 4 })
    {
        KorvelAudioProcessor processor;
        configure (processor, over);

        for (const auto size : { 1, 3, 255, 256, 257, 1000 })
        {
            setPlainValue (processor, "eq", static_cast<float> (size % 7) - 3.0f);
            GuardedBuffer buffer (makeNoise (2, size, 1.0f, size));
            process (processor, buffer.get());
            EXPECT_TRUE (buffer.guardsIntact()) << "over " << over << ", size " << size;
        }
    }
}

TEST (BlockSizes, EmptyBlockLeavesTheEqualiserGlideForTheNextBlock)
{
    KorvelAudioProcessor withEmptyBlock, without;

    for (auto* processor : { &withEmptyBlock, &without })
    {
        configure (*processor, 0);
        setPlainValue (*processor, "eq", 3.0f);
    }

    juce::AudioBuffer<float> empty (2, 0);
    process (withEmptyBlock, empty);

    const auto input = makeNoise (2, preparedSize, 0.7f, 110);
    auto a = copyOf (input);
    auto b = copyOf (input);
    process (withEmptyBlock, a);
    process (without, b);

    expectIdentical (a, b, 0);
}

TEST (BlockSizes, BlockBeforeAnyPreparationLeavesTheAudioAsItIs)
{
    KorvelAudioProcessor processor;
    const auto input = makeNoise (2, 300, 1.0f, 120);
    auto out = copyOf (input);

    process (processor, out);
    expectIdentical (out, input, 0);

    // A preparation for no samples at all, as a change of oversampling before the host's
    // first preparation makes, leaves the processor just as unready.
    processor.prepareToPlay (0.0, 0);
    process (processor, out);
    expectIdentical (out, input, 0);
}
