#pragma once

#include "PluginProcessor.h"

namespace korvel::test
{
inline juce::RangedAudioParameter& parameter (KorvelAudioProcessor& processor, const juce::String& id)
{
    return *processor.apvts.getParameter (id);
}

// Goes through the parameter object, as an automation lane or an editor control would.
inline void setPlainValue (KorvelAudioProcessor& processor, const juce::String& id, float plainValue)
{
    auto& p = parameter (processor, id);
    p.setValueNotifyingHost (p.convertTo0to1 (plainValue));
}

inline float plainValue (KorvelAudioProcessor& processor, const juce::String& id)
{
    return processor.apvts.getRawParameterValue (id)->load();
}
} // namespace korvel::test
