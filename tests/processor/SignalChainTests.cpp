#include "ProcessorTestSupport.h"

#include <gtest/gtest.h>

using namespace korvel::test;

namespace
{
// The 0 dB shelves pass the signal only up to float rounding; the chain's figures are
// compared within this much.
constexpr float chainTolerance = 2.0e-5f;

// A stereo processor at 44.1 kHz whose gain ramps have finished, so a block passes the
// gains and the flat shelves unchanged and only the per-sample stage shapes it.
class SteadyChain : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prepareLikeHost (processor);
        settleGainRamps (processor);
    }

    // One block whose samples are the given values on both channels.
    juce::AudioBuffer<float> processValues (const std::vector<float>& values)
    {
        juce::AudioBuffer<float> buffer (2, static_cast<int> (values.size()));

        for (auto channel = 0; channel < 2; ++channel)
            for (size_t i = 0; i < values.size(); ++i)
                buffer.setSample (channel, static_cast<int> (i), values[i]);

        process (processor, buffer);
        return buffer;
    }

    KorvelAudioProcessor processor;
};

void expectBuffersNear (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected,
                        float tolerance)
{
    ASSERT_EQ (actual.getNumChannels(), expected.getNumChannels());
    ASSERT_EQ (actual.getNumSamples(), expected.getNumSamples());

    for (auto channel = 0; channel < actual.getNumChannels(); ++channel)
        for (auto i = 0; i < actual.getNumSamples(); ++i)
            ASSERT_NEAR (actual.getSample (channel, i), expected.getSample (channel, i), tolerance)
                << "channel " << channel << ", sample " << i;
}

std::vector<float> spread (float from, float to, int count)
{
    std::vector<float> values;

    for (auto i = 0; i < count; ++i)
        values.push_back (from + (to - from) * static_cast<float> (i) / static_cast<float> (count - 1));

    return values;
}
} // namespace

TEST_F (SteadyChain, TapeMeetsItsWorkedValues)
{
    setAlgorithm (processor, DistortionAlgorithm::Tape);
    const auto out = processValues ({ 1.0f, 10.0f, 2.0f, 2.006f, -1.0f, 0.0f });

    EXPECT_NEAR (out.getSample (0, 0), 0.76f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 1), 0.380f, 5.0e-4f);
    EXPECT_NEAR (out.getSample (0, 2), 0.9254f, 1.0e-4f);
    EXPECT_NEAR (out.getSample (0, 3), 0.9254f, 1.0e-4f);
    EXPECT_NEAR (out.getSample (0, 4), -0.76f, 1.0e-6f);
    EXPECT_EQ (out.getSample (0, 5), 0.0f);
    EXPECT_LT (out.getSample (0, 1), out.getSample (0, 2) / 2.0f);
}

TEST_F (SteadyChain, SoftClipMeetsItsWorkedValues)
{
    setAlgorithm (processor, DistortionAlgorithm::SoftClip);
    const auto out = processValues ({ 1.0f, 0.5f, 0.9999f, -1.0f, 3.0f, -0.5f });

    EXPECT_NEAR (out.getSample (0, 0), 0.66f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 1), 0.458333f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 2), 0.6667f, 1.0e-4f);
    EXPECT_NEAR (out.getSample (0, 3), -0.66f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 4), 0.66f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 5), -0.458333f, 1.0e-6f);
}

TEST_F (SteadyChain, TubeIsTheUnscaledArctangent)
{
    setAlgorithm (processor, DistortionAlgorithm::Tube);
    const auto out = processValues ({ 1.0f, -1.0f, 100.0f });

    EXPECT_NEAR (out.getSample (1, 0), juce::MathConstants<float>::pi / 4.0f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (1, 1), -juce::MathConstants<float>::pi / 4.0f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (1, 2), std::atan (100.0f), 1.0e-5f);
    EXPECT_GT (out.getSample (1, 2), 1.5f);
}

TEST_F (SteadyChain, VariableRunsFromEvenToOddWithTheShape)
{
    setAlgorithm (processor, DistortionAlgorithm::Variable);

    setPlainValue (processor, "shape", 0.0f);
    auto out = processValues ({ -1.0f, 1.0f });
    EXPECT_NEAR (out.getSample (0, 0), 0.25f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 1), 0.25f, 1.0e-6f);

    setPlainValue (processor, "shape", 100.0f);
    out = processValues ({ -1.0f, 1.0f });
    EXPECT_NEAR (out.getSample (0, 0), -0.5f, 1.0e-6f);
    EXPECT_NEAR (out.getSample (0, 1), 0.5f, 1.0e-6f);

    setPlainValue (processor, "shape", 30.0f);
    out = processValues ({ -1.0f });
    EXPECT_NEAR (out.getSample (0, 0), 0.3f * -0.5f + 0.7f * 0.25f, 1.0e-6f);
}

TEST_F (SteadyChain, EveryShaperFollowsItsCurveAcrossItsRange)
{
    const auto values = spread (-12.0f, 12.0f, 512);

    for (auto index = 0; index < 4; ++index)
    {
        const auto algorithm = static_cast<DistortionAlgorithm> (index);
        SCOPED_TRACE (index);
        setAlgorithm (processor, algorithm);
        setPlainValue (processor, "shape", 40.0f);

        const auto out = processValues (values);

        for (size_t i = 0; i < values.size(); ++i)
            ASSERT_NEAR (out.getSample (1, static_cast<int> (i)),
                         reference::shape (algorithm, values[i], 0.4), chainTolerance)
                << "x = " << values[i];
    }
}

TEST_F (SteadyChain, MixBlendsTheDrySampleWithTheShapedOne)
{
    setAlgorithm (processor, DistortionAlgorithm::Tube);
    const auto input = makeNoise (2, 512, 2.0f, 7);

    for (const auto mix : { 0, 37, 100 })
    {
        SCOPED_TRACE (mix);
        setPlainValue (processor, "mix", static_cast<float> (mix));

        auto out = copyOf (input);
        process (processor, out);

        auto expected = copyOf (input);
        const auto m = static_cast<double> (mix) / 100.0;

        for (auto channel = 0; channel < 2; ++channel)
            for (auto i = 0; i < 512; ++i)
            {
                const double x = input.getSample (channel, i);
                expected.setSample (channel, i, static_cast<float> (m * std::atan (x) + (1.0 - m) * x));
            }

        expectBuffersNear (out, expected, chainTolerance);
    }
}

TEST_F (SteadyChain, BypassPassesTheDrySignalAtAnyMix)
{
    setAlgorithm (processor, DistortionAlgorithm::Bypass);
    setPlainValue (processor, "bias", 100.0f);
    const auto input = makeNoise (2, 512, 1.5f, 8);

    for (const auto mix : { 0, 55, 100 })
    {
        setPlainValue (processor, "mix", static_cast<float> (mix));
        auto out = copyOf (input);
        process (processor, out);
        expectBuffersNear (out, input, chainTolerance);
    }

    EXPECT_GT (processor.meterLevel.load(), 0.0f);
}

TEST_F (SteadyChain, BiasFollowsThePeakOfTheScaledInputPerChannel)
{
    setAlgorithm (processor, DistortionAlgorithm::Tube);
    setPlainValue (processor, "bias", 60.0f);

    std::vector<reference::PeakFollower> followers (2, reference::PeakFollower (defaultSampleRate, 20.0f, 20.0f));

    auto runBlock = [&] (juce::int64 seed, float biasAmount)
    {
        auto input = makeNoise (2, 512, 1.0f, seed);
        input.applyGain (1, 0, 512, 0.25f);
        auto out = copyOf (input);
        process (processor, out);

        auto expected = copyOf (input);

        for (auto channel = 0; channel < 2; ++channel)
            for (auto i = 0; i < 512; ++i)
            {
                const auto x = input.getSample (channel, i);
                const auto v = followers[(size_t) channel].process (biasAmount * x);
                expected.setSample (channel, i, static_cast<float> (std::atan (static_cast<double> (x) + v)));
            }

        expectBuffersNear (out, expected, chainTolerance);
    };

    for (auto block = 0; block < 3; ++block)
        runBlock (20 + block, 0.6f);

    EXPECT_GT (followers[0].getEnvelope(), 0.3f);

    // Back at 0 the envelope only decays, so the shaper input returns to the dry sample.
    setPlainValue (processor, "bias", 0.0f);

    for (auto block = 0; block < 3; ++block)
        runBlock (30 + block, 0.0f);

    EXPECT_LT (followers[0].getEnvelope(), 1.0e-4f);
}

TEST_F (SteadyChain, BypassHoldsTheBiasEnvelopeUntilShapingResumes)
{
    setPlainValue (processor, "bias", 100.0f);
    setPlainValue (processor, "mix", 40.0f);
    reference::PeakFollower follower (defaultSampleRate, 20.0f, 20.0f);

    auto runShaped = [&] (juce::int64 seed)
    {
        setAlgorithm (processor, DistortionAlgorithm::Tube);
        const auto input = makeNoise (2, 256, 0.8f, seed);
        auto out = copyOf (input);
        process (processor, out);

        for (auto i = 0; i < 256; ++i)
        {
            const double x = input.getSample (0, i);
            const auto v = follower.process (static_cast<float> (x));
            const auto expected = 0.4 * std::atan (x + v) + 0.6 * x;
            ASSERT_NEAR (out.getSample (0, i), expected, chainTolerance) << "sample " << i;
        }
    };

    runShaped (40);

    setAlgorithm (processor, DistortionAlgorithm::Bypass);
    auto loud = makeNoise (2, 256, 4.0f, 41);
    process (processor, loud);

    runShaped (42);
}

TEST_F (SteadyChain, MeterHoldsTheLastChannelsLevelAtTheLastSample)
{
    setAlgorithm (processor, DistortionAlgorithm::Bypass);
    std::vector<reference::PeakFollower> levels (2, reference::PeakFollower (defaultSampleRate, 500.0f, 3000.0f));

    auto input = makeNoise (2, 512, 1.0f, 50);
    input.applyGain (1, 0, 512, 0.2f);

    for (auto block = 0; block < 4; ++block)
    {
        auto out = copyOf (input);
        process (processor, out);

        for (auto channel = 0; channel < 2; ++channel)
            for (auto i = 0; i < 512; ++i)
                levels[(size_t) channel].process (input.getSample (channel, i));
    }

    EXPECT_NEAR (processor.meterLevel.load(), levels[1].getEnvelope(), 1.0e-6f);
    EXPECT_GT (levels[0].getEnvelope(), 3.0f * levels[1].getEnvelope());

    // Silence on the last channel releases the meter even while the first stays loud.
    input.clear (1, 0, 512);
    process (processor, input);

    for (auto i = 0; i < 512; ++i)
        levels[1].process (0.0f);

    EXPECT_NEAR (processor.meterLevel.load(), levels[1].getEnvelope(), 1.0e-6f);
}

TEST (SignalChain, GainsFadeInAfterTheFirstPreparationOnly)
{
    KorvelAudioProcessor processor;
    setAlgorithm (processor, DistortionAlgorithm::Bypass);
    prepareLikeHost (processor);

    const auto rampLength = reference::rampLength (defaultSampleRate);
    ASSERT_EQ (rampLength, 2205);

    reference::LinearRamp inputRamp (0.0f, 1.0f, rampLength), outputRamp (0.0f, 1.0f, rampLength);
    std::vector<float> output;

    for (auto block = 0; block < 5; ++block)
    {
        juce::AudioBuffer<float> buffer (2, defaultBlockSize);

        for (auto channel = 0; channel < 2; ++channel)
            juce::FloatVectorOperations::fill (buffer.getWritePointer (channel), 0.5f, defaultBlockSize);

        process (processor, buffer);
        output.insert (output.end(), buffer.getReadPointer (1), buffer.getReadPointer (1) + defaultBlockSize);
    }

    for (size_t i = 0; i < output.size(); ++i)
    {
        const auto expected = 0.5f * inputRamp.next() * outputRamp.next();
        ASSERT_NEAR (output[i], expected, 1.0e-6f) << "sample " << i;
    }

    EXPECT_LT (output[0], 1.0e-6f);
    EXPECT_LT (output[2203], 0.4996f);
    EXPECT_NEAR (output[2204], 0.5f, 1.0e-6f);

    // A second preparation keeps the gains at their targets: no new fade.
    prepareLikeHost (processor);
    juce::AudioBuffer<float> buffer (2, defaultBlockSize);

    for (auto channel = 0; channel < 2; ++channel)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (channel), 0.5f, defaultBlockSize);

    process (processor, buffer);
    EXPECT_NEAR (buffer.getSample (0, 0), 0.5f, 1.0e-6f);
    EXPECT_NEAR (buffer.getSample (1, 511), 0.5f, 1.0e-6f);
}

TEST (SignalChain, GainChangesRampOverFiftyMillisecondsAtTheHostRate)
{
    constexpr auto sampleRate = 48000.0;
    KorvelAudioProcessor processor;
    setAlgorithm (processor, DistortionAlgorithm::Bypass);
    prepareLikeHost (processor, sampleRate);
    settleGainRamps (processor, 2, sampleRate);

    const auto rampLength = reference::rampLength (sampleRate);
    ASSERT_EQ (rampLength, 2400);

    setPlainValue (processor, "input", -6.0f);
    setPlainValue (processor, "output", 12.0f);
    reference::LinearRamp inputRamp (1.0f, std::pow (10.0f, -6.0f * 0.05f), rampLength);
    reference::LinearRamp outputRamp (1.0f, std::pow (10.0f, 12.0f * 0.05f), rampLength);

    for (auto block = 0; block < 6; ++block)
    {
        auto stereo = makeNoise (2, defaultBlockSize, 0.5f, 60 + block);
        auto out = copyOf (stereo);
        process (processor, out);

        for (auto i = 0; i < defaultBlockSize; ++i)
        {
            const auto expected = stereo.getSample (0, i) * inputRamp.next() * outputRamp.next();
            ASSERT_NEAR (out.getSample (0, i), expected, 1.0e-5f) << "block " << block << ", sample " << i;
        }
    }
}

namespace
{
// Stereo noise through a settled processor whose stage passes the signal, so the output is
// the tilt equaliser's alone.
class TiltEqualiser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setAlgorithm (processor, DistortionAlgorithm::Bypass);
        prepareLikeHost (processor);
        settleGainRamps (processor);
    }

    KorvelAudioProcessor processor;
    reference::ShelfBiquad lowShelves[2] { { reference::ShelfBiquad::Kind::low, defaultSampleRate, 500.0 },
                                           { reference::ShelfBiquad::Kind::low, defaultSampleRate, 500.0 } };
    reference::ShelfBiquad highShelves[2] { { reference::ShelfBiquad::Kind::high, defaultSampleRate, 5000.0 },
                                            { reference::ShelfBiquad::Kind::high, defaultSampleRate, 5000.0 } };

    // Runs one block and checks it against the reference shelves, whose gains for sample s
    // the function gives.
    template <typename GainForSample>
    void expectBlock (juce::int64 seed, GainForSample tiltAt)
    {
        const auto input = makeNoise (2, defaultBlockSize, 0.5f, seed);
        auto out = copyOf (input);
        process (processor, out);

        for (auto channel = 0; channel < 2; ++channel)
            for (auto s = 0; s < defaultBlockSize; ++s)
            {
                const auto tilt = tiltAt (s);
                lowShelves[channel].setGainDb (-tilt);
                highShelves[channel].setGainDb (tilt);
                const auto expected = highShelves[channel].process (lowShelves[channel].process (input.getSample (channel, s)));
                ASSERT_NEAR (out.getSample (channel, s), expected, 1.0e-5) << "channel " << channel << ", sample " << s;
            }
    }
};
} // namespace

TEST_F (TiltEqualiser, FlatWhileEqStaysAtZero)
{
    expectBlock (70, [] (int) { return 0.0; });
    expectBlock (71, [] (int) { return 0.0; });
}

TEST_F (TiltEqualiser, GlidesToANewSettingAcrossOneBlockThenHoldsIt)
{
    expectBlock (72, [] (int) { return 0.0; });

    setPlainValue (processor, "eq", 3.0f);
    expectBlock (73, [] (int s) { return 3.0 * (s + 1) / 512.0; });
    expectBlock (74, [] (int) { return 3.0; });

    setPlainValue (processor, "eq", -1.5f);
    expectBlock (75, [] (int s) { return 3.0 - 4.5 * (s + 1) / 512.0; });
    expectBlock (76, [] (int) { return -1.5; });
}

TEST_F (TiltEqualiser, BlockAfterTheGlideRunsAtExactlyTheTargetShelves)
{
    // The glide runs over silence, so the filters enter the next block empty and that block
    // must match shelves built directly for -3 dB and +3 dB.
    setPlainValue (processor, "eq", 3.0f);
    runSilence (processor, 2, defaultBlockSize);

    const auto input = makeNoise (2, defaultBlockSize, 0.5f, 77);
    auto out = copyOf (input);
    process (processor, out);

    using Coefficients = juce::dsp::IIR::Coefficients<float>;
    juce::dsp::IIR::Filter<float> low (Coefficients::makeLowShelf (defaultSampleRate, 500.0f, 0.3f,
                                                                   juce::Decibels::decibelsToGain (-3.0f)));
    juce::dsp::IIR::Filter<float> high (Coefficients::makeHighShelf (defaultSampleRate, 5000.0f, 0.3f,
                                                                     juce::Decibels::decibelsToGain (3.0f)));

    for (auto s = 0; s < defaultBlockSize; ++s)
        ASSERT_NEAR (out.getSample (0, s), high.processSample (low.processSample (input.getSample (0, s))), 1.0e-6f)
            << "sample " << s;
}

TEST (SignalChain, MonoLayoutShapesItsOneChannel)
{
    KorvelAudioProcessor processor;
    ASSERT_TRUE (useLayout (processor, juce::AudioChannelSet::mono()));
    setAlgorithm (processor, DistortionAlgorithm::Tube);
    prepareLikeHost (processor);

    ASSERT_NE (processor.getOversampler(), nullptr);
    EXPECT_EQ (processor.getOversampler()->numChannels, 2u);

    settleGainRamps (processor, 1);

    const auto input = makeNoise (1, defaultBlockSize, 1.0f, 80);
    auto out = copyOf (input);
    process (processor, out);

    reference::PeakFollower level (defaultSampleRate, 500.0f, 3000.0f);

    for (auto i = 0; i < defaultBlockSize; ++i)
    {
        ASSERT_NEAR (out.getSample (0, i), std::atan (input.getSample (0, i)), chainTolerance);
        level.process (input.getSample (0, i));
    }

    EXPECT_NEAR (processor.meterLevel.load(), level.getEnvelope(), 1.0e-6f);
}

namespace
{
// The level follower is prepared for the host rate and stepped once per working sample, so
// from silence a steady input of 0.5 leaves it at 0.5 (1 - c^n) after n working samples.
struct SteadyRun
{
    float level;
    size_t factor;
};

SteadyRun runSteadyBlock (int overValue, int blockSize, const juce::AudioChannelSet& layout)
{
    KorvelAudioProcessor processor;
    EXPECT_TRUE (useLayout (processor, layout));
    setAlgorithm (processor, DistortionAlgorithm::Bypass);
    prepareWithOversampling (processor, overValue, defaultSampleRate, blockSize);

    const auto factor = processor.getOversampler()->getOversamplingFactor();
    EXPECT_EQ (factor, size_t { 1 } << processor.getOversamplingOrder());

    if (overValue != 0)
    {
        EXPECT_EQ (factor, size_t { 1 } << overValue);
    }

    const auto numChannels = layout.size();
    settleGainRamps (processor, numChannels, defaultSampleRate, blockSize);

    juce::AudioBuffer<float> steady (numChannels, blockSize);

    for (auto channel = 0; channel < numChannels; ++channel)
        juce::FloatVectorOperations::fill (steady.getWritePointer (channel), 0.5f, blockSize);

    process (processor, steady);
    return { processor.meterLevel.load(), factor };
}

float expectedLevel (double workingSamples)
{
    const auto c = static_cast<double> (reference::PeakFollower::coefficient (defaultSampleRate, 500.0f));
    return static_cast<float> (0.5 * (1.0 - std::pow (c, workingSamples)));
}
} // namespace

TEST (SignalChain, WithoutOversamplingTheStageRunsOncePerSample)
{
    EXPECT_NEAR (runSteadyBlock (0, 512, juce::AudioChannelSet::stereo()).level, expectedLevel (512), 1.0e-6f);
}

TEST (SignalChain, OversamplingRunsTheStageOnEveryUpsampledSample)
{
    for (const auto& layout : { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono() })
        for (auto over = 1; over <= 4; ++over)
            for (const auto blockSize : { 512, 100 })
            {
                SCOPED_TRACE (juce::String (layout.getDescription()) + ", over " + juce::String (over)
                              + ", block " + juce::String (blockSize));
                const auto run = runSteadyBlock (over, blockSize, layout);
                const auto workingSamples = static_cast<double> (blockSize) * static_cast<double> (run.factor);

                // The upsampling filters delay the step by a few samples, a few percent of the
                // shortest runs; a wrong sample count would be off by half or more.
                EXPECT_NEAR (run.level, expectedLevel (workingSamples), 0.05f * expectedLevel (workingSamples));
            }
}

TEST (SignalChain, OversampledBlocksComeBackShapedAtTheHostRate)
{
    // A slow sine keeps its harmonics far below the band edge, so after the round trip
    // through the oversampler only a short delay separates the output from the shaped input.
    for (auto over = 1; over <= 4; ++over)
    {
        SCOPED_TRACE ("over " + juce::String (over));
        KorvelAudioProcessor processor;
        setAlgorithm (processor, DistortionAlgorithm::Tube);
        prepareWithOversampling (processor, over);

        juce::AudioBuffer<float> buffer (2, defaultBlockSize);
        auto phase = 0.0;
        auto peak = 0.0f;

        for (auto block = 0; block < 8; ++block)
        {
            for (auto i = 0; i < defaultBlockSize; ++i, phase += 200.0 / defaultSampleRate)
                for (auto channel = 0; channel < 2; ++channel)
                    buffer.setSample (channel, i, 0.5f * static_cast<float> (std::sin (juce::MathConstants<double>::twoPi * phase)));

            process (processor, buffer);
        }

        for (auto channel = 0; channel < 2; ++channel)
            peak = juce::jmax (peak, buffer.getMagnitude (channel, 0, defaultBlockSize));

        EXPECT_NEAR (peak, std::atan (0.5f), 0.005f);
    }
}
