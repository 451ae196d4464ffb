#include "PluginProcessor.h"

#include <cmath>

namespace
{
constexpr float lowShelfFrequency = 500.0f;
constexpr float highShelfFrequency = 5000.0f;
constexpr float shelfQ = 0.3f;

float shapeTape (float u) noexcept
{
    const auto w = u * u;
    return u / (1.0f + w / (3.0f + w / (5.0f + w)));
}

float shapeSoftClip (float u) noexcept
{
    if (u <= -1.0f)
        return -0.66f;

    if (u >= 1.0f)
        return 0.66f;

    return u - u * u * u / 3.0f;
}

float shapeTube (float u) noexcept
{
    return std::atan (u);
}

float shapeVariable (float u, float k) noexcept
{
    const auto s = u / (1.0f + std::abs (u));
    return s * (k + (1.0f - k) * s);
}

float shape (DistortionAlgorithm algorithm, float u, float k) noexcept
{
    switch (algorithm)
    {
        case DistortionAlgorithm::Tape:     return shapeTape (u);
        case DistortionAlgorithm::SoftClip: return shapeSoftClip (u);
        case DistortionAlgorithm::Tube:     return shapeTube (u);
        case DistortionAlgorithm::Variable: return shapeVariable (u, k);
        case DistortionAlgorithm::Bypass:   break;
    }

    return u;
}

DistortionAlgorithm algorithmFromIndex (int index) noexcept
{
    // "choice" only takes the indices 0 to 4; anything else falls back to the pass-through.
    return juce::isPositiveAndBelow (index, 5) ? static_cast<DistortionAlgorithm> (index)
                                               : DistortionAlgorithm::Bypass;
}

using ShelfDesign = std::array<float, 6> (*) (double, float, float, float);

// Shelf coefficients are written into the set's one shared coefficient object: every
// channel's filter reads that object, so replacing it would leave them on the old values.
// The array form computes exactly what Coefficients::makeLowShelf/makeHighShelf compute,
// without allocating.
void setShelfGain (Filters::ShelfSet& shelf, ShelfDesign design, double sampleRate,
                   float frequency, float gainFactor) noexcept
{
    *shelf.state = design (sampleRate, frequency, shelfQ, gainFactor);
}

void prepareShelf (Filters::ShelfSet& shelf, const juce::dsp::ProcessSpec& spec,
                   ShelfDesign design, float frequency)
{
    shelf.reset();
    shelf.prepare (spec);
    setShelfGain (shelf, design, spec.sampleRate, frequency, 1.0f);
}

// Glides the shelf gain from `fromDb` to `toDb` across the block, one coefficient set per
// sample, so that the last sample uses the target itself.
void rampShelf (Filters::ShelfSet& shelf, ShelfDesign design, double sampleRate, float frequency,
                float fromDb, float toDb, juce::dsp::AudioBlock<float> block) noexcept
{
    const auto numSamples = block.getNumSamples();
    const auto step = (toDb - fromDb) / static_cast<float> (numSamples);

    for (size_t s = 0; s < numSamples; ++s)
    {
        const auto gainDb = fromDb + static_cast<float> (s + 1) * step;
        setShelfGain (shelf, design, sampleRate, frequency, juce::Decibels::decibelsToGain (gainDb));

        auto sample = block.getSubBlock (s, 1);
        shelf.process (juce::dsp::ProcessContextReplacing<float> (sample));
    }
}

void processShelf (Filters::ShelfSet& shelf, ShelfDesign design, double sampleRate, float frequency,
                   float& currentDb, float targetDb, juce::dsp::AudioBlock<float> block) noexcept
{
    if (currentDb == targetDb)
        shelf.process (juce::dsp::ProcessContextReplacing<float> (block));
    else
        rampShelf (shelf, design, sampleRate, frequency, currentDb, targetDb, block);
}
} // namespace

KorvelAudioProcessor::KorvelAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      apvts (*this, nullptr, "DistortionPlugin", createParameterLayout())
{
    mixParameter = apvts.getRawParameterValue ("mix");
    inputParameter = apvts.getRawParameterValue ("input");
    outputParameter = apvts.getRawParameterValue ("output");
    shapeParameter = apvts.getRawParameterValue ("shape");
    biasParameter = apvts.getRawParameterValue ("bias");
    overParameter = apvts.getRawParameterValue ("over");
    linkParameter = apvts.getRawParameterValue ("link");
    eqParameter = apvts.getRawParameterValue ("eq");
    choiceParameter = apvts.getRawParameterValue ("choice");

    apvts.addParameterListener ("input", this);
    apvts.addParameterListener ("output", this);
    apvts.addParameterListener ("over", this);
}

KorvelAudioProcessor::~KorvelAudioProcessor() = default;

juce::AudioProcessorValueTreeState::ParameterLayout KorvelAudioProcessor::createParameterLayout()
{
    return {
        std::make_unique<juce::AudioParameterInt> ("mix", "Dry/Wet", 0, 100, 100),
        std::make_unique<juce::AudioParameterFloat> ("input", "Input", -24.0f, 24.0f, 0.0f),
        std::make_unique<juce::AudioParameterFloat> ("output", "Output", -24.0f, 24.0f, 0.0f),
        std::make_unique<juce::AudioParameterInt> ("shape", "Variable Shape", 0, 100, 0),
        std::make_unique<juce::AudioParameterInt> ("bias", "Bias", 0, 100, 0),
        std::make_unique<juce::AudioParameterInt> ("over", "Oversampling", 0, 4, 0),
        std::make_unique<juce::AudioParameterBool> ("link", "Gain Link", false),
        std::make_unique<juce::AudioParameterFloat> ("eq", "Frequency Response", -3.0f, 3.0f, 0.0f),
        std::make_unique<juce::AudioParameterChoice> ("choice", "Algorithm Type",
                                                      juce::StringArray { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" },
                                                      0)
    };
}

const juce::String KorvelAudioProcessor::getName() const
{
    return "Korvel";
}

void KorvelAudioProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    const juce::dsp::ProcessSpec spec { sampleRate,
                                        static_cast<juce::uint32> (samplesPerBlock),
                                        static_cast<juce::uint32> (getTotalNumOutputChannels()) };

    oversampler = std::make_unique<juce::dsp::Oversampling<float>> (
        2, static_cast<size_t> (oversamplingOrder),
        juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
    oversampler->initProcessing (static_cast<size_t> (samplesPerBlock));
    oversampler->reset();

    biasFollower.reset();
    biasFollower.prepare (spec);
    biasFollower.setAttackTime (20.0f);
    biasFollower.setReleaseTime (20.0f);

    prepareShelf (filters.lowShelf, spec, &juce::dsp::IIR::ArrayCoefficients<float>::makeLowShelf, lowShelfFrequency);
    prepareShelf (filters.highShelf, spec, &juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf, highShelfFrequency);
    filters.sampleRate = sampleRate;
    filters.lowShelfGainDb = 0.0f;
    filters.highShelfGainDb = 0.0f;

    for (auto* gain : { &inputGain, &outputGain })
    {
        gain->reset();
        gain->prepare (spec);
        gain->setRampDurationSeconds (0.05);
    }

    levelFollower.prepare (spec);
    levelFollower.reset();
    levelFollower.setAttackTime (500.0f);
    levelFollower.setReleaseTime (3000.0f);

    preparedBlockSize = juce::jmax (0, samplesPerBlock);
}

void KorvelAudioProcessor::releaseResources()
{
}

void KorvelAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const auto numInputChannels = getTotalNumInputChannels();
    const auto numOutputChannels = getTotalNumOutputChannels();
    const auto numSamples = buffer.getNumSamples();

    for (auto channel = numInputChannels; channel < numOutputChannels; ++channel)
        buffer.clear (channel, 0, numSamples);

    if (preparedBlockSize == 0)
        return;

    // Some hosts send blocks longer than they prepared for; the oversampler and the ramps
    // are sized for the prepared maximum, so such a block runs as consecutive chunks.
    juce::dsp::AudioBlock<float> block (buffer);
    const auto chunkSize = static_cast<size_t> (preparedBlockSize);

    for (size_t start = 0; start < block.getNumSamples(); start += chunkSize)
        processChunk (block.getSubBlock (start, juce::jmin (chunkSize, block.getNumSamples() - start)),
                      numInputChannels);
}

void KorvelAudioProcessor::processChunk (juce::dsp::AudioBlock<float> block, int numInputChannels)
{
    inputGain.setGainDecibels (inputParameter->load());
    inputGain.process (juce::dsp::ProcessContextReplacing<float> (block));

    processTiltEqualiser (block);

    const auto oversampling = overParameter->load() != 0.0f;
    auto workingBlock = oversampling ? oversampler->processSamplesUp (block) : block;

    processWorkingSamples (workingBlock, numInputChannels);

    if (oversampling)
        oversampler->processSamplesDown (block);

    outputGain.setGainDecibels (outputParameter->load());
    outputGain.process (juce::dsp::ProcessContextReplacing<float> (block));
}

void KorvelAudioProcessor::processTiltEqualiser (juce::dsp::AudioBlock<float> block)
{
    // An empty chunk has no sample to ramp on; keeping the stored gains keeps them true to
    // the coefficients in use.
    if (block.getNumSamples() == 0)
        return;

    const auto tilt = eqParameter->load();

    processShelf (filters.lowShelf, &juce::dsp::IIR::ArrayCoefficients<float>::makeLowShelf, filters.sampleRate,
                  lowShelfFrequency, filters.lowShelfGainDb, -tilt, block);
    processShelf (filters.highShelf, &juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf, filters.sampleRate,
                  highShelfFrequency, filters.highShelfGainDb, tilt, block);

    filters.lowShelfGainDb = -tilt;
    filters.highShelfGainDb = tilt;
}

void KorvelAudioProcessor::processWorkingSamples (juce::dsp::AudioBlock<float> workingBlock, int numInputChannels)
{
    const auto numSamples = workingBlock.getNumSamples();

    for (int channel = 0; channel < numInputChannels; ++channel)
    {
        auto* samples = workingBlock.getChannelPointer (static_cast<size_t> (channel));

        for (size_t i = 0; i < numSamples; ++i)
        {
            const auto x = samples[i];
            meterLevel.store (levelFollower.processSample (channel, x));

            const auto algorithm = algorithmFromIndex (static_cast<int> (choiceParameter->load()));
            const auto k = shapeParameter->load() / 100.0f;
            const auto m = mixParameter->load() / 100.0f;
            const auto b = biasParameter->load();

            auto y = x;

            if (algorithm != DistortionAlgorithm::Bypass)
            {
                const auto v = biasFollower.processSample (channel, (b / 100.0f) * x);
                y = shape (algorithm, x + v, k);
            }

            samples[i] = y * m + (1.0f - m) * x;
        }
    }
}

double KorvelAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool KorvelAudioProcessor::acceptsMidi() const
{
    return false;
}

bool KorvelAudioProcessor::producesMidi() const
{
    return false;
}

bool KorvelAudioProcessor::isMidiEffect() const
{
    return false;
}

juce::AudioProcessorEditor* KorvelAudioProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor (*this);
}

bool KorvelAudioProcessor::hasEditor() const
{
    return true;
}

int KorvelAudioProcessor::getNumPrograms()
{
    return 1;
}

int KorvelAudioProcessor::getCurrentProgram()
{
    return 0;
}

void KorvelAudioProcessor::setCurrentProgram (int)
{
}

const juce::String KorvelAudioProcessor::getProgramName (int)
{
    return {};
}

void KorvelAudioProcessor::changeProgramName (int, const juce::String&)
{
}

void KorvelAudioProcessor::getStateInformation (juce::MemoryBlock&)
{
}

void KorvelAudioProcessor::setStateInformation (const void*, int)
{
}

bool KorvelAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

void KorvelAudioProcessor::parameterChanged (const juce::String&, float)
{
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new KorvelAudioProcessor();
}
