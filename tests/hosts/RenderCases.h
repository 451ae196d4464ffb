#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <functional>
#include <vector>

// The settings and the signal that both the reference renderer (the processor compiled
// into a plain program) and the conformance test (the same processor behind a plug-in
// format) run, so that their outputs can be compared sample by sample.
namespace korvel::hosts
{
constexpr double renderSampleRate = 48000.0;
constexpr int renderBlockSize = 512;

// Silence runs first: the settings reach the processor, the gains finish their fade-in
// and any re-preparation the settings start is over before the compared stretch begins, so
// a host that delivers the settings a block later still renders the same samples.
constexpr int warmUpBlocks = 24;
constexpr int comparedBlocks = 24;
constexpr int comparedSamples = comparedBlocks * renderBlockSize;

struct ParameterSetting
{
    const char* id;
    float plainValue;
};

struct RenderCase
{
    juce::String name;
    int numChannels;
    std::vector<ParameterSetting> settings;
};

inline std::vector<RenderCase> getRenderCases()
{
    const char* const algorithms[] { "tape", "softclip", "tube", "variable", "bypass" };
    std::vector<RenderCase> cases;

    for (int algorithm = 0; algorithm < 5; ++algorithm)
    {
        for (const auto over : { 0, 2 })
        {
            cases.push_back ({ juce::String (algorithms[algorithm]) + "-over" + juce::String (over),
                               2,
                               { { "input", 6.0f }, { "output", -3.0f }, { "mix", 80.0f },
                                 { "shape", 40.0f }, { "bias", 30.0f }, { "eq", 1.5f },
                                 { "over", static_cast<float> (over) },
                                 { "choice", static_cast<float> (algorithm) } } });
        }
    }

    cases.push_back ({ "tube-over1-mono", 1,
                       { { "input", 12.0f }, { "bias", 50.0f }, { "over", 1.0f }, { "choice", 2.0f } } });
    return cases;
}

// Each channel carries its own pair of tones, so a swapped or duplicated channel shows.
inline float inputSample (int channel, int sampleIndex)
{
    const auto time = sampleIndex / renderSampleRate;
    const auto tone = [time] (double frequency) { return std::sin (juce::MathConstants<double>::twoPi * frequency * time); };

    if (channel == 0)
        return static_cast<float> (0.5 * tone (220.0) + 0.2 * tone (3170.0));

    return static_cast<float> (0.4 * tone (587.0) + 0.25 * tone (7040.0));
}

using BlockProcessor = std::function<void (juce::AudioBuffer<float>&)>;

// Runs the warm-up silence and then the signal, block by block, and returns what the
// processor made of the signal.
inline juce::AudioBuffer<float> renderCompared (int numChannels, const BlockProcessor& process)
{
    juce::AudioBuffer<float> block (numChannels, renderBlockSize);

    for (int i = 0; i < warmUpBlocks; ++i)
    {
        block.clear();
        process (block);
    }

    juce::AudioBuffer<float> output (numChannels, comparedSamples);

    for (int start = 0; start < comparedSamples; start += renderBlockSize)
    {
        for (int channel = 0; channel < numChannels; ++channel)
            for (int i = 0; i < renderBlockSize; ++i)
                block.setSample (channel, i, inputSample (channel, start + i));

        process (block);

        for (int channel = 0; channel < numChannels; ++channel)
            output.copyFrom (channel, start, block, channel, 0, renderBlockSize);
    }

    return output;
}

inline juce::File referenceFile (const juce::File& directory, const RenderCase& renderCase)
{
    return directory.getChildFile (renderCase.name + ".f32");
}
} // namespace korvel::hosts
