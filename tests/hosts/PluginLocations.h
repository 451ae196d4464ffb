#pragma once

#include <juce_core/juce_core.h>

#include <ostream>

// Where the host tests find the Korvel bundles: the build's own, unless the environment
// variable KORVEL_PLUGIN_SEARCH=installed asks for the ones scripts/setup installs in
// ~/.vst3 and ~/.lv2.
namespace korvel::hosts
{
enum class Format
{
    vst3,
    lv2
};

inline juce::String toString (Format format)
{
    return format == Format::vst3 ? "VST3" : "LV2";
}

// Names the format in test output.
inline void PrintTo (Format format, std::ostream* stream)
{
    *stream << toString (format);
}

inline bool searchesInstalledPlugins()
{
    return juce::SystemStats::getEnvironmentVariable ("KORVEL_PLUGIN_SEARCH", {}) == "installed";
}

inline juce::File getBuiltBundle (Format format)
{
    // The build names the folder of each plug-in binary: .../Korvel.vst3/Contents/x86_64-linux
    // and .../Korvel.lv2.
    if (format == Format::vst3)
        return juce::File (KORVEL_VST3_BINARY_DIR).getParentDirectory().getParentDirectory();

    return juce::File (KORVEL_LV2_BINARY_DIR);
}

inline juce::File getInstalledBundle (Format format)
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    return format == Format::vst3 ? home.getChildFile (".vst3/Korvel.vst3") : home.getChildFile (".lv2/Korvel.lv2");
}

inline juce::File getBundleUnderTest (Format format)
{
    return searchesInstalledPlugins() ? getInstalledBundle (format) : getBuiltBundle (format);
}
} // namespace korvel::hosts
