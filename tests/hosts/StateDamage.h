#pragma once

#include "PluginLocations.h"

#include <juce_core/juce_core.h>

namespace korvel::hosts
{
// Ways a project file gets damaged. Each keeps the plug-in's block at its length, so the
// format's own framing around it still reads and only the plug-in can notice.
enum class Damage
{
    magic,
    zeroLength,
    rootTag,
    notXml
};

// Damages the plug-in's block inside a state saved by the framework's host for the given
// format; false when the state holds no block of the plug-in.
bool damageSavedState (Format, juce::MemoryBlock& state, Damage);
} // namespace korvel::hosts
