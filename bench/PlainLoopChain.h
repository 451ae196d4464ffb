#pragma once

#include <juce_dsp/juce_dsp.h>

#include <atomic>
#include <memory>

// The least work the signal chain can be done with, written as plain loops: constant gains,
// two shelf biquads, the oversampler, and per working sample the level follower with its
// atomic store, four parameter loads, the bias follower, the shaper and the mix. Timing it
// beside the processor shows how much of the processor's time is its own overhead.
class PlainLoopChain
{
public:
    PlainLoopChain (int algorithmIndex, int order, double sampleRate, int maximumBlockSize);

    void process (juce::AudioBuffer<float>& buffer) noexcept;

private:
    struct Biquad
    {
        float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
        float state1[2] {}, state2[2] {};

        void setCoefficients (const std::array<float, 6>& design) noexcept;
        void process (float* samples, size_t numSamples, int channel) noexcept;
    };

    struct Follower
    {
        float attack = 0.0f, release = 0.0f;
        float envelope[2] {};

        Follower (double rate, float attackMs, float releaseMs) noexcept;
    };

    void processWorkingSamples (juce::dsp::AudioBlock<float> block) noexcept;

    std::unique_ptr<juce::dsp::Oversampling<float>> oversampler;
    Biquad lowShelf, highShelf;
    Follower levelFollower, biasFollower;
    float inputGain = 1.0f, outputGain = 1.0f;

    std::atomic<float> choice, shape { 50.0f }, mix { 100.0f }, bias { 30.0f };
    std::atomic<float> meterLevel { 0.0f };
};
