#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

// Pins the processor's output bit for bit. Speed work on the signal chain must leave every
// sample as it was: if one of these hashes changes, the sound has changed.
//
// The hashes hold for this toolchain and its maths library (GCC 12 and glibc on x86-64). A
// different compiler or libm may round a shelf coefficient or an arctangent differently; if
// so, re-pin them from a build of the last known-good code, never from the code under change.

namespace
{
class Fnv1a
{
public:
    void add (std::uint32_t word) noexcept
    {
        for (int byte = 0; byte < 4; ++byte)
        {
            hash ^= (word >> (8 * byte)) & 0xffu;
            hash *= 0x100000001b3ull;
        }
    }

    void add (float value) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));
        add (bits);
    }

    std::uint64_t get() const noexcept { return hash; }

private:
    std::uint64_t hash = 0xcbf29ce484222325ull;
};

// One host block and the parameter values set just before it. Every value moves somewhere
// in the script, so the gain ramps, the shelf ramps (including one-sample and short ones),
// the bias follower and the mix all shape the output; the silent tail lets the filter and
// follower states decay into the range that flush-to-zero and the filters' snapping touch.
struct Step
{
    int numSamples;
    float amplitude;
    float eq;
    float bias;
    float mix;
    float shape;
    float inputDb;
    float outputDb;
};

constexpr Step script[] = {
    { 512, 0.5f,   0.0f,   0.0f, 100.0f,   0.0f,   0.0f,  0.0f },
    { 512, 0.5f,   0.0f,   0.0f, 100.0f,   0.0f,   0.0f,  0.0f },
    { 512, 1.0f,   3.0f,  40.0f, 100.0f,  30.0f,   6.0f, -3.0f },
    {  64, 1.0f,   3.0f,  40.0f,  70.0f,  30.0f,   6.0f, -3.0f },
    {   1, 1.0f,  -2.5f,  80.0f,  70.0f,  60.0f,   6.0f, -3.0f },
    { 300, 2.0f,  -2.5f,  80.0f,  35.0f,  60.0f,  12.0f, -6.0f },
    { 512, 2.0f,  1.25f, 100.0f,  50.0f, 100.0f,  12.0f, -6.0f },
    {  17, 0.25f, 1.25f,   0.0f, 100.0f,   0.0f, -12.0f, 12.0f },
    { 512, 0.25f, -3.0f,   0.0f,   0.0f,   0.0f, -12.0f, 12.0f },
    { 256, 1.0f,   0.5f,  25.0f, 100.0f,  50.0f,   0.0f,  0.0f },
    { 512, 3.0f,   0.5f,  60.0f, 100.0f,  50.0f,  24.0f, -24.0f },
    { 512, 0.0f,  -1.0f,  60.0f, 100.0f,  50.0f,   0.0f,  0.0f },
};

constexpr int silentTailBlocks = 24;
constexpr int maximumBlockSize = 512;
constexpr double sampleRate = 48000.0;

void setParameter (KorvelAudioProcessor& processor, const juce::String& id, float plainValue)
{
    auto* parameter = processor.apvts.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

void applyStep (KorvelAudioProcessor& processor, const Step& step)
{
    setParameter (processor, "eq", step.eq);
    setParameter (processor, "bias", step.bias);
    setParameter (processor, "mix", step.mix);
    setParameter (processor, "shape", step.shape);
    setParameter (processor, "input", step.inputDb);
    setParameter (processor, "output", step.outputDb);
}

void prepare (KorvelAudioProcessor& processor, DistortionAlgorithm algorithm, int order, int numChannels)
{
    const auto channelSet = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (channelSet);
    layout.outputBuses.add (channelSet);
    ASSERT_TRUE (processor.setBusesLayout (layout));

    setParameter (processor, "choice", static_cast<float> (algorithm));
    setParameter (processor, "over", static_cast<float> (order));

    // As a host does it: the rate and block size first, then the preparation.
    processor.setRateAndBufferSizeDetails (sampleRate, maximumBlockSize);
    processor.prepareToPlay (sampleRate, maximumBlockSize);
}

void processAndHash (KorvelAudioProcessor& processor, juce::AudioBuffer<float>& buffer,
                     juce::Random& random, float amplitude, Fnv1a& hash)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (channel, i, amplitude * (2.0f * random.nextFloat() - 1.0f));

    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            hash.add (buffer.getSample (channel, i));

    hash.add (processor.meterLevel.load());
}

std::uint64_t renderChecksum (DistortionAlgorithm algorithm, int order, int numChannels)
{
    KorvelAudioProcessor processor;
    applyStep (processor, script[0]);
    prepare (processor, algorithm, order, numChannels);

    juce::AudioBuffer<float> buffer (numChannels, maximumBlockSize);
    juce::Random random (0x4b6f7276);
    Fnv1a hash;

    for (const auto& step : script)
    {
        applyStep (processor, step);
        buffer.setSize (numChannels, step.numSamples, false, false, true);
        processAndHash (processor, buffer, random, step.amplitude, hash);
    }

    buffer.setSize (numChannels, maximumBlockSize, false, false, true);

    for (int block = 0; block < silentTailBlocks; ++block)
    {
        // The tilt keeps moving in the silence, so the shelf ramps meet decaying states too.
        setParameter (processor, "eq", block % 3 == 0 ? 2.0f : -0.75f);
        processAndHash (processor, buffer, random, 0.0f, hash);
    }

    EXPECT_EQ (processor.getOversamplingOrder(), order == 0 ? 1 : order);
    return hash.get();
}

struct Pinned
{
    DistortionAlgorithm algorithm;
    int order;
    int numChannels;
    std::uint64_t checksum;
};

std::string describe (const Pinned& pinned)
{
    const auto names = juce::StringArray { "Tape", "SoftClip", "Tube", "Variable", "Bypass" };
    return (names[static_cast<int> (pinned.algorithm)] + " over " + juce::String (pinned.order)
            + (pinned.numChannels == 1 ? " mono" : " stereo")).toStdString();
}

using A = DistortionAlgorithm;

constexpr Pinned pinnedChecksums[] = {
    { A::Tape, 0, 1, 0xb4b371bc974d0938ull },
    { A::Tape, 0, 2, 0xf427d0bfadaae615ull },
    { A::Tape, 1, 1, 0x579a328f67277c79ull },
    { A::Tape, 1, 2, 0x835af6c332745ef0ull },
    { A::Tape, 2, 1, 0xc8c06363f7cd5e22ull },
    { A::Tape, 2, 2, 0x20292ba0b5dc89faull },
    { A::Tape, 3, 1, 0xf5a4085e72569c83ull },
    { A::Tape, 3, 2, 0x191539ea3f486b87ull },
    { A::Tape, 4, 1, 0x32e99d9ae16e6d9cull },
    { A::Tape, 4, 2, 0x74024e2a71742875ull },
    { A::SoftClip, 0, 1, 0x05ad4301a5c69c15ull },
    { A::SoftClip, 0, 2, 0xa84fbd91edebce8aull },
    { A::SoftClip, 1, 1, 0xd130033778053036ull },
    { A::SoftClip, 1, 2, 0x35628e69919323ceull },
    { A::SoftClip, 2, 1, 0xd58bda4a1a79e7bdull },
    { A::SoftClip, 2, 2, 0xbe2af37603c798caull },
    { A::SoftClip, 3, 1, 0x2987c5d5d5c0946eull },
    { A::SoftClip, 3, 2, 0x59d86ec61fb0f711ull },
    { A::SoftClip, 4, 1, 0x530660843bfdfe7eull },
    { A::SoftClip, 4, 2, 0xd2692676484fe37full },
    { A::Tube, 0, 1, 0xcf91ff9debe8e67bull },
    { A::Tube, 0, 2, 0x492d0b7cca413ba0ull },
    { A::Tube, 1, 1, 0xeef8f09a0fffb268ull },
    { A::Tube, 1, 2, 0x137e406573764e4eull },
    { A::Tube, 2, 1, 0x3a3f5e92fb382e12ull },
    { A::Tube, 2, 2, 0x9c02f57d5576ca98ull },
    { A::Tube, 3, 1, 0xc01fd6ee00d635a8ull },
    { A::Tube, 3, 2, 0x45042b9afa4ca445ull },
    { A::Tube, 4, 1, 0x9da04d50a2267123ull },
    { A::Tube, 4, 2, 0x02250564df8fff29ull },
    { A::Variable, 0, 1, 0x197ad48ec3388247ull },
    { A::Variable, 0, 2, 0xca02cdd5b10ba7ddull },
    { A::Variable, 1, 1, 0x9bfddb0066616984ull },
    { A::Variable, 1, 2, 0x74364b590f197fcaull },
    { A::Variable, 2, 1, 0x0125978befe8c8acull },
    { A::Variable, 2, 2, 0xf2c04bdce7ce0174ull },
    { A::Variable, 3, 1, 0x682930f6e0ace41full },
    { A::Variable, 3, 2, 0xaac427174fefef40ull },
    { A::Variable, 4, 1, 0xaa6bba9bdb3ac60cull },
    { A::Variable, 4, 2, 0xa0068c26a3f5594aull },
    { A::Bypass, 0, 1, 0xd6db83cc0dc66dc7ull },
    { A::Bypass, 0, 2, 0xeaaf52311616baf0ull },
    { A::Bypass, 1, 1, 0x5a7e326d23e10b38ull },
    { A::Bypass, 1, 2, 0x89b6c28328422554ull },
    { A::Bypass, 2, 1, 0xd2c0bd266a9269c4ull },
    { A::Bypass, 2, 2, 0x906f25312702bf6cull },
    { A::Bypass, 3, 1, 0xdc4152ff4f5acebeull },
    { A::Bypass, 3, 2, 0x0953d8bd11b99eaaull },
    { A::Bypass, 4, 1, 0xfd9c79fc8089926eull },
    { A::Bypass, 4, 2, 0x29dfccd6559c7e24ull },
};
} // namespace

TEST (Checksum, EveryAlgorithmOrderAndLayoutRendersThePinnedOutput)
{
    for (const auto& pinned : pinnedChecksums)
    {
        const auto checksum = renderChecksum (pinned.algorithm, pinned.order, pinned.numChannels);
        EXPECT_EQ (checksum, pinned.checksum)
            << describe (pinned) << ": rendered 0x" << std::hex << checksum;
    }
}

TEST (Checksum, RenderingIsRepeatable)
{
    // A hash that moved between two identical renders would point at uninitialised state,
    // not at a change of the signal chain.
    EXPECT_EQ (renderChecksum (A::Variable, 3, 2), renderChecksum (A::Variable, 3, 2));
}
