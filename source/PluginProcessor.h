#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include <atomic>

enum class DistortionAlgorithm
{
    Tape,
    SoftClip,
    Tube,
    Variable,
    Bypass
};

struct Filters
{
    using ShelfSet = juce::dsp::ProcessorDuplicator<juce::dsp::IIR::Filter<float>,
                                                    juce::dsp::IIR::Coefficients<float>>;

    float lowShelfGainDb = 0.0f;
    float highShelfGainDb = 0.0f;
    double sampleRate = 0.0;
    ShelfSet lowShelf;
    ShelfSet highShelf;
};

class KorvelAudioProcessor : public juce::AudioProcessor,
                             private juce::AudioProcessorValueTreeState::Listener
{
public:
    KorvelAudioProcessor();
    ~KorvelAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;

    using juce::AudioProcessor::processBlock;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    // What the chain was last built with, for inspection from outside the audio thread.
    int getOversamplingOrder() const noexcept { return oversamplingOrder; }
    const juce::dsp::Oversampling<float>* getOversampler() const noexcept { return oversampler.get(); }

    // The level follower's latest output as linear amplitude, for the editor.
    std::atomic<float> meterLevel { 0.0f };

private:
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    void processChunk (juce::dsp::AudioBlock<float> block, int numInputChannels);
    void processTiltEqualiser (juce::dsp::AudioBlock<float> block);
    void processWorkingSamples (juce::dsp::AudioBlock<float> workingBlock, int numInputChannels);

    std::atomic<float>* mixParameter = nullptr;
    std::atomic<float>* inputParameter = nullptr;
    std::atomic<float>* outputParameter = nullptr;
    std::atomic<float>* shapeParameter = nullptr;
    std::atomic<float>* biasParameter = nullptr;
    std::atomic<float>* choiceParameter = nullptr;
    std::atomic<float>* overParameter = nullptr;
    std::atomic<float>* linkParameter = nullptr;
    std::atomic<float>* eqParameter = nullptr;

    std::unique_ptr<juce::dsp::Oversampling<float>> oversampler;
    std::atomic<int> oversamplingOrder { 1 };

    juce::dsp::Gain<float> inputGain;
    juce::dsp::Gain<float> outputGain;
    juce::dsp::BallisticsFilter<float> biasFollower;
    Filters filters;
    juce::dsp::BallisticsFilter<float> levelFollower;

    // The block size the chain was last prepared for: longer host blocks are cut to it.
    int preparedBlockSize = 0;

    // Held from the destructor's start until apvts and the gain mirror are gone: an LV2 host
    // destroys the plug-in on its own thread while the plug-in's message thread may be inside
    // the parameter flush timer or the mirror. Where a message manager exists but its loop
    // never answers, the destructor waits: the framework's timer runs that flush with no lock
    // of its own, so a silent loop cannot be told from one still inside the flush.
    std::unique_ptr<juce::MessageManagerLock> teardownLock;

public:
    juce::AudioProcessorValueTreeState apvts;

private:
    enum class GainSource
    {
        none,
        input,
        output
    };

    // Runs a function on the message thread; triggers that arrive before it runs collapse
    // into one call, and a pending call is dropped when its owner goes.
    class MessageThreadCall final : private juce::AsyncUpdater
    {
    public:
        explicit MessageThreadCall (std::function<void()> functionToCall)
            : function (std::move (functionToCall)) {}

        ~MessageThreadCall() override { cancelPendingUpdate(); }

        void trigger() { triggerAsyncUpdate(); }

    private:
        void handleAsyncUpdate() override { function(); }

        std::function<void()> function;
    };

    void requestGainMirror (GainSource source);
    void applyGainMirror();
    void appendMissingParameters (juce::ValueTree& newState) const;

    // A block only tries this and plays silence while a new oversampling order is being
    // built, so the audio thread never waits and never sees a half-built chain.
    juce::SpinLock chainLock;

    // Keeps the gain mirror's writes to the state tree apart from state save and restore,
    // which may run on any host thread.
    juce::CriticalSection stateLock;

    std::atomic<GainSource> pendingMirrorSource { GainSource::none };
    MessageThreadCall gainMirror { [this] { applyGainMirror(); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KorvelAudioProcessor)
};
