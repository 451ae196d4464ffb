#pragma once

#include "ParameterAccess.h"
#include "PluginProcessor.h"

#include <array>
#include <cmath>
#include <vector>

// Drives a processor the way a host's plug-in adapter does, and models the signal chain
// from its defining formulas so the tests never lean on the processor's own helpers.
namespace korvel::test
{
constexpr double defaultSampleRate = 44100.0;
constexpr int defaultBlockSize = 512;

inline void setAlgorithm (KorvelAudioProcessor& processor, DistortionAlgorithm algorithm)
{
    setPlainValue (processor, "choice", static_cast<float> (algorithm));
}

// The adapter records rate and block size before preparing, and a re-preparation started
// from inside the processor reads them back.
inline void prepareLikeHost (KorvelAudioProcessor& processor,
                             double sampleRate = defaultSampleRate,
                             int blockSize = defaultBlockSize)
{
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
}

// The rate goes on record first, so the re-preparation that a change of "over" starts is
// built for it rather than for the rate 0 of a processor that no host has prepared yet.
inline void prepareWithOversampling (KorvelAudioProcessor& processor, int overValue,
                                     double sampleRate = defaultSampleRate,
                                     int blockSize = defaultBlockSize)
{
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    setPlainValue (processor, "over", static_cast<float> (overValue));
    prepareLikeHost (processor, sampleRate, blockSize);
}

inline bool useLayout (KorvelAudioProcessor& processor, const juce::AudioChannelSet& set)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    return processor.setBusesLayout (layout);
}

inline void process (KorvelAudioProcessor& processor, juce::AudioBuffer<float>& buffer)
{
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
}

// The first blocks after the first preparation fade in; tests of the steady chain run
// silence through until both gain ramps have finished (and the followers stay at 0).
inline void runSilence (KorvelAudioProcessor& processor, int numChannels, int numSamples,
                        int blockSize = defaultBlockSize)
{
    juce::AudioBuffer<float> silence (numChannels, blockSize);

    for (auto done = 0; done < numSamples; done += blockSize)
    {
        silence.setSize (numChannels, juce::jmin (blockSize, numSamples - done), false, false, true);
        silence.clear();
        process (processor, silence);
    }
}

inline void settleGainRamps (KorvelAudioProcessor& processor, int numChannels = 2,
                             double sampleRate = defaultSampleRate, int blockSize = defaultBlockSize)
{
    runSilence (processor, numChannels, static_cast<int> (sampleRate * 0.05) + blockSize, blockSize);
}

inline juce::AudioBuffer<float> makeNoise (int numChannels, int numSamples, float amplitude, juce::int64 seed)
{
    juce::Random random (seed);
    juce::AudioBuffer<float> buffer (numChannels, numSamples);

    for (auto channel = 0; channel < numChannels; ++channel)
        for (auto i = 0; i < numSamples; ++i)
            buffer.setSample (channel, i, amplitude * (2.0f * random.nextFloat() - 1.0f));

    return buffer;
}

inline juce::AudioBuffer<float> copyOf (const juce::AudioBuffer<float>& source)
{
    juce::AudioBuffer<float> copy;
    copy.makeCopyOf (source);
    return copy;
}

namespace reference
{
inline double tape (double u)
{
    // The continued fraction of tanh cut after its third term, as one rational function.
    return (4.0 * u * u * u + 15.0 * u) / (u * u * u * u + 9.0 * u * u + 15.0);
}

inline double softClip (double u)
{
    if (u <= -1.0) return -0.66;
    if (u >= 1.0)  return 0.66;
    return u - u * u * u / 3.0;
}

inline double tube (double u)
{
    return std::atan (u);
}

inline double variable (double u, double k)
{
    const auto s = u / (1.0 + std::abs (u));
    return k * s + (1.0 - k) * s * s;
}

inline double shape (DistortionAlgorithm algorithm, double u, double k)
{
    switch (algorithm)
    {
        case DistortionAlgorithm::Tape:     return tape (u);
        case DistortionAlgorithm::SoftClip: return softClip (u);
        case DistortionAlgorithm::Tube:     return tube (u);
        case DistortionAlgorithm::Variable: return variable (u, k);
        case DistortionAlgorithm::Bypass:   break;
    }

    return u;
}

// A peak envelope follower with the framework's coefficient rule: the coefficient for a
// time T in ms is exp(-2 pi 1000 / (rate T)), with the exponent formed in double.
class PeakFollower
{
public:
    PeakFollower (double sampleRate, float attackMs, float releaseMs)
        : attack (coefficient (sampleRate, attackMs)), release (coefficient (sampleRate, releaseMs))
    {
    }

    float process (float input) noexcept
    {
        const auto level = std::abs (input);
        const auto cte = level > envelope ? attack : release;
        envelope = level + cte * (envelope - level);
        return envelope;
    }

    float getEnvelope() const noexcept { return envelope; }

    static float coefficient (double sampleRate, float timeMs) noexcept
    {
        const auto exponent = -2.0 * juce::MathConstants<double>::pi * 1000.0 / sampleRate;
        return static_cast<float> (std::exp (exponent / static_cast<double> (timeMs)));
    }

private:
    float attack, release;
    float envelope = 0.0f;
};

// The framework's linear gain smoother as it runs in float: a fixed step per sample and
// the exact target on the last step of the ramp.
class LinearRamp
{
public:
    LinearRamp (float start, float target, int numSteps)
        : current (start), end (target), remaining (numSteps),
          step ((target - start) / static_cast<float> (numSteps))
    {
    }

    float next() noexcept
    {
        if (remaining > 0 && --remaining > 0)
            current += step;
        else
            current = end;

        return current;
    }

private:
    float current, end;
    int remaining;
    float step;
};

inline int rampLength (double sampleRate)
{
    return static_cast<int> (std::floor (0.05 * sampleRate));
}

// Shelving biquads from the audio-EQ cookbook, in double.
class ShelfBiquad
{
public:
    enum class Kind { low, high };

    ShelfBiquad (Kind shelfKind, double shelfSampleRate, double shelfFrequency)
        : kind (shelfKind), sampleRate (shelfSampleRate), frequency (shelfFrequency)
    {
        setGainDb (0.0);
    }

    void setGainDb (double gainDb)
    {
        const auto a = std::pow (10.0, gainDb / 40.0);
        const auto w0 = 2.0 * juce::MathConstants<double>::pi * frequency / sampleRate;
        const auto cosW0 = std::cos (w0);
        const auto alpha = std::sin (w0) / (2.0 * 0.3);
        const auto twoRootAAlpha = 2.0 * std::sqrt (a) * alpha;
        const auto sign = kind == Kind::low ? 1.0 : -1.0;

        const auto b0 = a * ((a + 1.0) - sign * (a - 1.0) * cosW0 + twoRootAAlpha);
        const auto b1 = sign * 2.0 * a * ((a - 1.0) - sign * (a + 1.0) * cosW0);
        const auto b2 = a * ((a + 1.0) - sign * (a - 1.0) * cosW0 - twoRootAAlpha);
        const auto a0 = (a + 1.0) + sign * (a - 1.0) * cosW0 + twoRootAAlpha;
        const auto a1 = -sign * 2.0 * ((a - 1.0) + sign * (a + 1.0) * cosW0);
        const auto a2 = (a + 1.0) + sign * (a - 1.0) * cosW0 - twoRootAAlpha;

        coefficients = { b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0 };
    }

    double process (double input) noexcept
    {
        const auto output = coefficients[0] * input + state1;
        state1 = coefficients[1] * input - coefficients[3] * output + state2;
        state2 = coefficients[2] * input - coefficients[4] * output;
        return output;
    }

private:
    Kind kind;
    double sampleRate, frequency;
    std::array<double, 5> coefficients {};
    double state1 = 0.0, state2 = 0.0;
};
} // namespace reference
} // namespace korvel::test
