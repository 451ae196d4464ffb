#include "PlainLoopChain.h"

#include <cmath>

PlainLoopChain::Follower::Follower (double rate, float attackMs, float releaseMs) noexcept
{
    const auto coefficient = [rate] (float ms)
    {
        return static_cast<float> (std::exp (-juce::MathConstants<double>::twoPi * 1000.0 / (rate * ms)));
    };

    attack = coefficient (attackMs);
    release = coefficient (releaseMs);
}

void PlainLoopChain::Biquad::setCoefficients (const std::array<float, 6>& design) noexcept
{
    const auto a0Inverse = 1.0f / design[3];
    b0 = design[0] * a0Inverse;
    b1 = design[1] * a0Inverse;
    b2 = design[2] * a0Inverse;
    a1 = design[4] * a0Inverse;
    a2 = design[5] * a0Inverse;
}

void PlainLoopChain::Biquad::process (float* samples, size_t numSamples, int channel) noexcept
{
    auto s1 = state1[channel];
    auto s2 = state2[channel];

    for (size_t i = 0; i < numSamples; ++i)
    {
        const auto input = samples[i];
        const auto output = input * b0 + s1;
        samples[i] = output;
        s1 = input * b1 - output * a1 + s2;
        s2 = input * b2 - output * a2;
    }

    state1[channel] = s1;
    state2[channel] = s2;
}

PlainLoopChain::PlainLoopChain (int algorithmIndex, int order, double sampleRate, int maximumBlockSize)
    : levelFollower (sampleRate, 500.0f, 3000.0f),
      biasFollower (sampleRate, 20.0f, 20.0f),
      choice (static_cast<float> (algorithmIndex))
{
    if (order > 0)
    {
        oversampler = std::make_unique<juce::dsp::Oversampling<float>> (
            2, static_cast<size_t> (order), juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
        oversampler->initProcessing (static_cast<size_t> (maximumBlockSize));
    }

    lowShelf.setCoefficients (juce::dsp::IIR::ArrayCoefficients<float>::makeLowShelf (sampleRate, 500.0f, 0.3f, 0.8f));
    highShelf.setCoefficients (juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf (sampleRate, 5000.0f, 0.3f, 1.2f));
}

void PlainLoopChain::process (juce::AudioBuffer<float>& buffer) noexcept
{
    const juce::ScopedNoDenormals noDenormals;
    juce::dsp::AudioBlock<float> block (buffer);
    const auto numSamples = block.getNumSamples();

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
    {
        auto* samples = block.getChannelPointer (channel);

        for (size_t i = 0; i < numSamples; ++i)
            samples[i] *= inputGain;

        lowShelf.process (samples, numSamples, static_cast<int> (channel));
        highShelf.process (samples, numSamples, static_cast<int> (channel));
    }

    if (oversampler != nullptr)
    {
        processWorkingSamples (oversampler->processSamplesUp (block));
        oversampler->processSamplesDown (block);
    }
    else
    {
        processWorkingSamples (block);
    }

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
    {
        auto* samples = block.getChannelPointer (channel);

        for (size_t i = 0; i < numSamples; ++i)
            samples[i] *= outputGain;
    }
}

void PlainLoopChain::processWorkingSamples (juce::dsp::AudioBlock<float> block) noexcept
{
    const auto numSamples = block.getNumSamples();

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
    {
        auto* samples = block.getChannelPointer (channel);
        auto level = levelFollower.envelope[channel];
        auto biasEnvelope = biasFollower.envelope[channel];

        for (size_t i = 0; i < numSamples; ++i)
        {
            const auto x = samples[i];
            const auto magnitude = std::abs (x);
            level = magnitude + (magnitude > level ? levelFollower.attack : levelFollower.release) * (level - magnitude);
            meterLevel.store (level);

            const auto algorithm = static_cast<int> (choice.load());
            const auto k = shape.load() / 100.0f;
            const auto m = mix.load() / 100.0f;
            const auto b = bias.load();

            auto y = x;

            if (algorithm != 4)
            {
                const auto biasInput = std::abs ((b / 100.0f) * x);
                biasEnvelope = biasInput + (biasInput > biasEnvelope ? biasFollower.attack : biasFollower.release)
                                               * (biasEnvelope - biasInput);
                const auto u = x + biasEnvelope;

                switch (algorithm)
                {
                    case 0:
                    {
                        const auto w = u * u;
                        y = u / (1.0f + w / (3.0f + w / (5.0f + w)));
                        break;
                    }
                    case 1:
                        y = u <= -1.0f ? -0.66f : (u >= 1.0f ? 0.66f : u - u * u * u / 3.0f);
                        break;
                    case 2:
                        y = std::atan (u);
                        break;
                    default:
                    {
                        const auto s = u / (1.0f + std::abs (u));
                        y = s * (k + (1.0f - k) * s);
                        break;
                    }
                }
            }

            samples[i] = y * m + (1.0f - m) * x;
        }

        levelFollower.envelope[channel] = level;
        biasFollower.envelope[channel] = biasEnvelope;
    }
}
