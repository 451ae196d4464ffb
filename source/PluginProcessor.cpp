#include "PluginProcessor.h"

#include "PluginEditor.h"

#include <cmath>
#include <string_view>

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

using NormalisedCoefficients = std::array<float, 5>;

// The same division by a0 that the framework's Coefficients assignment makes, so the values
// are identical, without the assignment's container bookkeeping at every sample.
NormalisedCoefficients normalise (const std::array<float, 6>& design) noexcept
{
    const auto a0 = design[3];
    const auto a0Inverse = a0 != 0.0f ? 1.0f / a0 : 0.0f;

    return { design[0] * a0Inverse, design[1] * a0Inverse, design[2] * a0Inverse,
             design[4] * a0Inverse, design[5] * a0Inverse };
}

// Each coefficient set costs a power of ten, a sine and cosine, square roots and divisions.
// Computed just before its own sample, that latency would stall the filters at every sample;
// computed a run ahead, the sets overlap one another. Each one still reaches the shared
// object right before its sample passes through the filters.
constexpr size_t coefficientRunLength = 32;

// Glides the shelf gain from `fromDb` to `toDb` across the block, one coefficient set per
// sample, so that the last sample uses the target itself.
void rampShelf (Filters::ShelfSet& shelf, ShelfDesign design, double sampleRate, float frequency,
                float fromDb, float toDb, juce::dsp::AudioBlock<float> block) noexcept
{
    const auto numSamples = block.getNumSamples();
    const auto step = (toDb - fromDb) / static_cast<float> (numSamples);
    auto* sharedCoefficients = shelf.state->getRawCoefficients();
    std::array<NormalisedCoefficients, coefficientRunLength> run;

    for (size_t runStart = 0; runStart < numSamples; runStart += coefficientRunLength)
    {
        const auto runLength = juce::jmin (coefficientRunLength, numSamples - runStart);

        for (size_t i = 0; i < runLength; ++i)
        {
            const auto gainDb = fromDb + static_cast<float> (runStart + i + 1) * step;
            run[i] = normalise (design (sampleRate, frequency, shelfQ, juce::Decibels::decibelsToGain (gainDb)));
        }

        for (size_t i = 0; i < runLength; ++i)
        {
            std::copy (run[i].begin(), run[i].end(), sharedCoefficients);

            auto sample = block.getSubBlock (runStart + i, 1);
            shelf.process (juce::dsp::ProcessContextReplacing<float> (sample));
        }
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

KorvelAudioProcessor::~KorvelAudioProcessor()
{
    // Without a message manager there is no message thread to race with, and the framework's
    // lock would retry for ever.
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
        teardownLock = std::make_unique<juce::MessageManagerLock>();
}

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
    const juce::SpinLock::ScopedLockType chainGuard (chainLock);

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

    const juce::SpinLock::ScopedTryLockType chainGuard (chainLock);

    if (! chainGuard.isLocked())
    {
        buffer.clear();
        return;
    }

    const auto numInputChannels = getTotalNumInputChannels();
    const auto numOutputChannels = getTotalNumOutputChannels();
    const auto numSamples = buffer.getNumSamples();

    for (auto channel = numInputChannels; channel < numOutputChannels; ++channel)
        buffer.clear (channel, 0, numSamples);

    if (preparedBlockSize == 0)
        return;

    // Some hosts send blocks longer than they prepared for; the oversampler and the ramps
    // are sized for the prepared maximum, so such a block runs as consecutive chunks. An
    // empty block makes no chunk: with no sample to ramp on, the stored shelf gains stay
    // true to the coefficients in use.
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

    // The follower calls may touch any member as far as the compiler knows, so handles kept
    // in members would be fetched again at every sample. The values behind them are still
    // loaded at every sample: another thread's change takes effect from the next one.
    const auto& choice = *choiceParameter;
    const auto& shapeAmount = *shapeParameter;
    const auto& mix = *mixParameter;
    const auto& bias = *biasParameter;

    for (int channel = 0; channel < numInputChannels; ++channel)
    {
        auto* samples = workingBlock.getChannelPointer (static_cast<size_t> (channel));

        for (size_t i = 0; i < numSamples; ++i)
        {
            const auto x = samples[i];
            meterLevel.store (levelFollower.processSample (channel, x));

            const auto algorithm = algorithmFromIndex (static_cast<int> (choice.load()));
            const auto k = shapeAmount.load() / 100.0f;
            const auto m = mix.load() / 100.0f;
            const auto b = bias.load();

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
    return new KorvelAudioProcessorEditor (*this, apvts);
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
    // VST3 and LV2 hosts list the one program by name, and a nameless entry fails their
    // validators; elsewhere the program has no name of its own.
    if (wrapperType == wrapperType_VST3 || wrapperType == wrapperType_LV2)
        return "Untitled";

    return {};
}

void KorvelAudioProcessor::changeProgramName (int, const juce::String&)
{
}

namespace
{
const juce::Identifier parameterType { "PARAM" };
const juce::Identifier idProperty { "id" };
const juce::Identifier valueProperty { "value" };

int utf8SequenceLength (unsigned char lead) noexcept
{
    if (lead < 0x80)
        return 1;

    if ((lead & 0xe0) == 0xc0)
        return 2;

    if ((lead & 0xf0) == 0xe0)
        return 3;

    return (lead & 0xf8) == 0xf0 ? 4 : 0;
}

// Well-formed as RFC 3629 has it: every sequence complete, no overlong form, no surrogate
// and nothing beyond U+10FFFF.
bool isWellFormedUtf8 (std::string_view text) noexcept
{
    constexpr juce::uint32 smallestOfLength[] { 0, 0, 0x80, 0x800, 0x10000 };

    while (! text.empty())
    {
        const auto lead = static_cast<unsigned char> (text[0]);
        const auto length = utf8SequenceLength (lead);

        if (length == 0 || static_cast<size_t> (length) > text.size())
            return false;

        auto codePoint = static_cast<juce::uint32> (lead & (0xff >> (length + 1)));

        for (size_t k = 1; k < static_cast<size_t> (length); ++k)
        {
            const auto next = static_cast<unsigned char> (text[k]);

            if ((next & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3fu);
        }

        if (length > 1 && (codePoint < smallestOfLength[length] || codePoint > 0x10ffff
                           || (codePoint >= 0xd800 && codePoint <= 0xdfff)))
            return false;

        text.remove_prefix (static_cast<size_t> (length));
    }

    return true;
}

// The framework's XML parser steps past the end of its text on a truncated UTF-8 sequence,
// treats two spellings of one character as one name in its shared string pool (so a later
// save can write another block's malformed bytes), and never returns from a processing
// instruction followed by text inside an element. A block this processor wrote is
// well-formed UTF-8 and holds an instruction only as its leading declaration, so any other
// text is refused before the parser sees it, as a text that does not parse would be.
bool isSafeToParse (std::string_view text)
{
    if (! isWellFormedUtf8 (text))
        return false;

    const auto start = text.find_first_not_of (" \t\r\n");

    if (start != std::string_view::npos && text.compare (start, 2, "<?") == 0)
    {
        const auto declarationEnd = text.find ("?>", start + 2);

        if (declarationEnd == std::string_view::npos)
            return false;

        text.remove_prefix (declarationEnd + 2);
    }

    return text.find ("<?") == std::string_view::npos;
}

std::unique_ptr<juce::XmlElement> readStateXml (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return {};

    const auto storedLength = static_cast<int> (juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4)));
    const auto textLength = juce::jmin (storedLength, sizeInBytes - 8);

    if (textLength > 0 && ! isSafeToParse ({ static_cast<const char*> (data) + 8, static_cast<size_t> (textLength) }))
        return {};

    return juce::AudioProcessor::getXmlFromBinary (data, sizeInBytes);
}

// "nan" reads as a number, yet no parameter can hold it; like any other text that is no
// number it stands for 0.
void replaceUnreadableValues (juce::ValueTree& newState, const juce::AudioProcessorValueTreeState& parameters)
{
    for (auto child : newState)
        if (parameters.getParameter (child[idProperty].toString()) != nullptr
            && std::isnan (static_cast<double> (child[valueProperty])))
            child.setProperty (valueProperty, 0.0, nullptr);
}
} // namespace

void KorvelAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const juce::ScopedLock lock (stateLock);
    copyXmlToBinary (*apvts.copyState().createXml(), destData);
}

void KorvelAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = readStateXml (data, sizeInBytes);
    const juce::ScopedLock lock (stateLock);

    // Compared as hasTagName compares, without its debug assertion on a difference in case.
    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (apvts.state.getType().toString()))
        return;

    auto newState = juce::ValueTree::fromXml (*xml);
    replaceUnreadableValues (newState, apvts);
    appendMissingParameters (newState);
    apvts.replaceState (newState);
}

// The framework would append a child for a parameter that the block does not name and
// reset that parameter to its default; a child carrying the current value keeps it instead.
// The children go in the order the framework appends them: sorted by ID.
void KorvelAudioProcessor::appendMissingParameters (juce::ValueTree& newState) const
{
    juce::StringArray missingIDs;

    for (auto* parameter : getParameters())
        if (auto* withID = dynamic_cast<juce::AudioProcessorParameterWithID*> (parameter))
            if (! newState.getChildWithProperty (idProperty, withID->paramID).isValid())
                missingIDs.add (withID->paramID);

    missingIDs.sort (false);

    for (const auto& id : missingIDs)
        newState.appendChild (juce::ValueTree (parameterType, {
                                  { idProperty, id },
                                  { valueProperty, static_cast<double> (apvts.getRawParameterValue (id)->load()) } }),
                              nullptr);
}

bool KorvelAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

void KorvelAudioProcessor::parameterChanged (const juce::String& parameterID, float)
{
    if (linkParameter->load() == 1.0f)
    {
        if (parameterID == "input")
            requestGainMirror (GainSource::input);
        else if (parameterID == "output")
            requestGainMirror (GainSource::output);
    }

    const auto over = overParameter->load();

    if (over != 0.0f && parameterID == "over")
    {
        oversamplingOrder = static_cast<int> (over);
        prepareToPlay (getSampleRate(), getBlockSize());
    }
}

// The mirror is written on the message thread: the plug-in wrappers drop a change raised on
// the thread that is inside the host's own change of the other gain, so only there does
// the host's value follow. Writing there also keeps the state tree's writers on one thread
// and never nests one gain's listener lock inside the other's.
void KorvelAudioProcessor::requestGainMirror (GainSource source)
{
    pendingMirrorSource = source;
    gainMirror.trigger();
}

// Requests collapse into the gain that changed last, mirrored at its current value. The
// 0.01 dB grid is not symmetric in float arithmetic, so mirroring a mirror can land one
// rounding step away from the gain it came from; a target already on the mirrored step is
// left alone, which ends the exchange instead of nudging the gain the user is moving.
void KorvelAudioProcessor::applyGainMirror()
{
    const auto source = pendingMirrorSource.exchange (GainSource::none);

    if (source == GainSource::none)
        return;

    const auto fromInput = source == GainSource::input;
    const auto* targetID = fromInput ? "output" : "input";
    const auto mirroredDb = -(fromInput ? inputParameter : outputParameter)->load();
    const auto targetDb = (fromInput ? outputParameter : inputParameter)->load();
    const auto range = apvts.getParameterRange (targetID);

    if (range.snapToLegalValue (mirroredDb) == range.snapToLegalValue (targetDb))
        return;

    const juce::ScopedLock lock (stateLock);

    // The framework copies parameter changes into the tree only when it flushes, so the tree
    // may still hold the very value about to be written, and a write that changes nothing in
    // the tree never reaches the parameter; copying the state flushes the tree first.
    apvts.copyState();

    auto target = apvts.getParameterAsValue (targetID);
    target = static_cast<double> (mirroredDb);
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new KorvelAudioProcessor();
}
