#include "KorvelHost.h"

#include <gtest/gtest.h>

namespace korvel::hosts
{
namespace
{
constexpr auto lv2Uri = "urn:korvel:korvel";
constexpr double watchdogMilliseconds = 20000.0;

std::unique_ptr<juce::AudioPluginFormat> createFormat (Format format)
{
    if (format == Format::vst3)
        return std::make_unique<juce::VST3PluginFormat>();

    return std::make_unique<juce::LV2PluginFormat>();
}

bool isKorvel (Format format, const juce::String& identifier)
{
    if (format == Format::vst3)
        return juce::File (identifier).getFileName() == "Korvel.vst3";

    return identifier == lv2Uri;
}

juce::AudioProcessorParameter* findParameterNamed (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* parameter : instance.getParameters())
        if (parameter->getName (1024) == name)
            return parameter;

    return nullptr;
}
} // namespace

juce::FileSearchPath getSearchPath (juce::AudioPluginFormat& pluginFormat, Format format)
{
    if (searchesInstalledPlugins())
        return pluginFormat.getDefaultLocationsToSearch();

    return juce::FileSearchPath (getBuiltBundle (format).getParentDirectory().getFullPathName());
}

KorvelHost::KorvelHost (Format formatToUse)
    : format (formatToUse),
      pluginFormat (createFormat (formatToUse)),
      searchPath (korvel::hosts::getSearchPath (*pluginFormat, formatToUse))
{
    // LV2 hosts load ~/.lv2 before anything else and keep the first copy of a plug-in.
    if (format == Format::lv2 && ! searchesInstalledPlugins() && getInstalledBundle (format).exists())
        ADD_FAILURE() << getInstalledBundle (format).getFullPathName() << " would stand in for the bundle under test: "
                      << "run with HOME pointing elsewhere, as ctest does";

    for (const auto& identifier : pluginFormat->searchPathsForPlugins (searchPath, true))
        if (isKorvel (format, identifier))
            pluginFormat->findAllTypesForFile (descriptions, identifier);
}

std::unique_ptr<juce::AudioPluginInstance> KorvelHost::createInstance()
{
    if (descriptions.isEmpty())
    {
        ADD_FAILURE() << "the " << toString (format) << " scan found no Korvel";
        return {};
    }

    juce::String error;
    auto instance = pluginFormat->createInstanceFromDescription (*descriptions.getFirst(), renderSampleRate, renderBlockSize, error);

    if (instance == nullptr)
        ADD_FAILURE() << "cannot open Korvel as " << toString (format) << ": " << error;

    return instance;
}

std::unique_ptr<juce::AudioPluginInstance> KorvelHost::createPreparedInstance (const juce::AudioChannelSet& channels)
{
    auto instance = createInstance();

    if (instance == nullptr)
        return {};

    if (! instance->setBusesLayout (makeLayout (channels, channels)))
    {
        ADD_FAILURE() << toString (format) << " refused " << channels.getDescription() << " in and out";
        return {};
    }

    instance->setRateAndBufferSizeDetails (renderSampleRate, renderBlockSize);
    instance->prepareToPlay (renderSampleRate, renderBlockSize);
    return instance;
}

juce::AudioProcessorParameter* getParameter (juce::AudioPluginInstance& instance, const juce::String& id)
{
    const auto& expected = getExpectedParameter (id);
    auto* parameter = findParameterNamed (instance, expected.name);

    if (parameter == nullptr)
        ADD_FAILURE() << "the host shows no parameter named " << expected.name;

    return parameter;
}

void setPlainValue (juce::AudioPluginInstance& instance, const juce::String& id, float plainValue)
{
    if (auto* parameter = getParameter (instance, id))
        parameter->setValueNotifyingHost (getExpectedParameter (id).toNormalised (plainValue));
}

float getPlainValue (juce::AudioPluginInstance& instance, const juce::String& id)
{
    const auto& expected = getExpectedParameter (id);

    if (auto* parameter = getParameter (instance, id))
        return expected.minimum + parameter->getValue() * (expected.maximum - expected.minimum);

    return std::numeric_limits<float>::quiet_NaN();
}

void pumpMessages (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

void processBlock (juce::AudioPluginInstance& instance, juce::AudioBuffer<float>& buffer)
{
    juce::MidiBuffer midi;
    instance.processBlock (buffer, midi);
}

void processSilence (juce::AudioPluginInstance& instance, int numBlocks)
{
    juce::AudioBuffer<float> buffer (juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels()),
                                     instance.getBlockSize());

    for (int i = 0; i < numBlocks; ++i)
    {
        buffer.clear();
        processBlock (instance, buffer);
    }
}

bool runUntil (juce::AudioPluginInstance& instance, const std::function<bool()>& condition)
{
    const auto giveUpAt = juce::Time::getMillisecondCounterHiRes() + watchdogMilliseconds;

    while (juce::Time::getMillisecondCounterHiRes() < giveUpAt)
    {
        processSilence (instance, 1);
        pumpMessages (5);

        if (condition())
            return true;
    }

    return false;
}
juce::AudioProcessor::BusesLayout makeLayout (const juce::AudioChannelSet& input, const juce::AudioChannelSet& output)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (input);
    layout.outputBuses.add (output);
    return layout;
}

void applySettings (juce::AudioPluginInstance& instance, const std::vector<ParameterSetting>& settings)
{
    for (const auto& setting : settings)
        setPlainValue (instance, setting.id, setting.plainValue);
}

bool holdsSettings (juce::AudioPluginInstance& instance, const std::vector<ParameterSetting>& settings)
{
    for (const auto& setting : settings)
        if (std::abs (getPlainValue (instance, setting.id) - setting.plainValue) > 1.0e-4f)
            return false;

    return true;
}

std::vector<float> getHostValues (juce::AudioPluginInstance& instance)
{
    std::vector<float> values;

    for (const auto& expected : getExpectedParameters())
    {
        const auto* parameter = getParameter (instance, expected.id);
        values.push_back (parameter != nullptr ? parameter->getValue() : std::numeric_limits<float>::quiet_NaN());
    }

    return values;
}

bool isFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (channel, i)))
                return false;

    return true;
}

AudioThread::AudioThread (juce::AudioPluginInstance& instanceToRun, std::vector<int> sizes)
    : juce::Thread ("Host audio"),
      instance (instanceToRun),
      blockSizes (std::move (sizes))
{
    startThread (Priority::highest);
}

AudioThread::~AudioThread()
{
    stop();
}

void AudioThread::stop()
{
    stopThread (10000);
}

void AudioThread::run()
{
    const auto numChannels = juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer (numChannels, *std::max_element (blockSizes.begin(), blockSizes.end()));
    juce::Random random (11);

    for (size_t i = 0; ! threadShouldExit(); ++i)
    {
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), numChannels, blockSizes[i % blockSizes.size()]);

        for (int channel = 0; channel < numChannels; ++channel)
            for (int sample = 0; sample < block.getNumSamples(); ++sample)
                block.setSample (channel, sample, random.nextFloat() - 0.5f);

        processBlock (instance, block);
        finite = finite && isFinite (block);
        ++blocksProcessed;
        wait (1);
    }
}
} // namespace korvel::hosts
