#pragma once

#include "ExpectedParameters.h"
#include "PluginLocations.h"
#include "RenderCases.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <functional>

// A small host built on the framework's own VST3 and LV2 hosting: it scans for the Korvel
// bundles, opens instances and drives them the way a host's audio and message threads do.
namespace korvel::hosts
{
// The folder holding the build's bundle, or, when the installed plug-ins are under test,
// every folder the format's hosts search by default (~/.vst3 and ~/.lv2 among them).
juce::FileSearchPath getSearchPath (juce::AudioPluginFormat&, Format);

class KorvelHost
{
public:
    explicit KorvelHost (Format);

    const juce::FileSearchPath& getSearchPath() const noexcept { return searchPath; }
    const juce::OwnedArray<juce::PluginDescription>& getDescriptions() const noexcept { return descriptions; }

    std::unique_ptr<juce::AudioPluginInstance> createInstance();

    // Opens an instance with the given channels in and out and prepares it at the render
    // rate and block size, as a host does before it starts the audio.
    std::unique_ptr<juce::AudioPluginInstance> createPreparedInstance (const juce::AudioChannelSet& channels = juce::AudioChannelSet::stereo());

private:
    Format format;
    std::unique_ptr<juce::AudioPluginFormat> pluginFormat;
    juce::FileSearchPath searchPath;
    juce::OwnedArray<juce::PluginDescription> descriptions;
};

// The parameter that carries the given ID's expected name; when the host shows none, the
// calling test fails and the result is null.
juce::AudioProcessorParameter* getParameter (juce::AudioPluginInstance&, const juce::String& id);

void setPlainValue (juce::AudioPluginInstance&, const juce::String& id, float plainValue);
float getPlainValue (juce::AudioPluginInstance&, const juce::String& id);

void pumpMessages (int milliseconds);
void processBlock (juce::AudioPluginInstance&, juce::AudioBuffer<float>&);
void processSilence (juce::AudioPluginInstance&, int numBlocks);

// Alternates silent blocks with message dispatch, as a running host does, until the
// condition holds; gives up (returning false) only after a generous watchdog.
bool runUntil (juce::AudioPluginInstance&, const std::function<bool()>& condition);

juce::AudioProcessor::BusesLayout makeLayout (const juce::AudioChannelSet& input, const juce::AudioChannelSet& output);
void applySettings (juce::AudioPluginInstance&, const std::vector<ParameterSetting>&);
bool holdsSettings (juce::AudioPluginInstance&, const std::vector<ParameterSetting>&);

// The host's normalised value of each of the nine parameters, in declaration order.
std::vector<float> getHostValues (juce::AudioPluginInstance&);

bool isFinite (const juce::AudioBuffer<float>&);

// A host's audio thread: blocks of the given sizes in turn, filled with noise, for as long
// as it runs.
class AudioThread final : private juce::Thread
{
public:
    AudioThread (juce::AudioPluginInstance&, std::vector<int> blockSizes);
    ~AudioThread() override;

    void stop();

    int getBlocksProcessed() const noexcept { return blocksProcessed; }
    bool stayedFinite() const noexcept { return finite; }

private:
    void run() override;

    juce::AudioPluginInstance& instance;
    const std::vector<int> blockSizes;
    std::atomic<int> blocksProcessed { 0 };
    std::atomic<bool> finite { true };
};
} // namespace korvel::hosts
