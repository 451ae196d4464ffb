#include "KorvelHost.h"

#include <gtest/gtest.h>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wzero-as-null-pointer-constant", "-Wsign-conversion", "-Wpedantic")
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

#include <map>
#include <string>

using namespace korvel::hosts;

namespace
{
constexpr auto pluginUri = "urn:korvel:korvel";
constexpr auto doapLicense = "http://usefulinc.com/ns/doap#license";
constexpr auto doapProject = "http://usefulinc.com/ns/doap#Project";
constexpr auto rdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr auto rdfsLabel = "http://www.w3.org/2000/01/rdf-schema#label";
constexpr auto rdfsRange = "http://www.w3.org/2000/01/rdf-schema#range";
constexpr auto rdfValue = "http://www.w3.org/1999/02/22-rdf-syntax-ns#value";

using Node = std::unique_ptr<LilvNode, decltype (&lilv_node_free)>;
using Nodes = std::unique_ptr<LilvNodes, decltype (&lilv_nodes_free)>;

// Reads the bundle's metadata with lilv, the library most LV2 hosts read it with, from the
// same folders the hosting tests scan.
class Lv2Metadata : public ::testing::Test
{
protected:
    Lv2Metadata()
    {
        juce::LV2PluginFormat format;
        const auto searchPath = getSearchPath (format, Format::lv2);
        juce::StringArray folders;

        for (int i = 0; i < searchPath.getNumPaths(); ++i)
            folders.add (searchPath[i].getFullPathName());

        const Node path (lilv_new_string (world.get(), folders.joinIntoString (":").toRawUTF8()), &lilv_node_free);
        lilv_world_set_option (world.get(), LILV_OPTION_LV2_PATH, path.get());
        lilv_world_load_all (world.get());

        const auto uri = this->uri (pluginUri);
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world.get()), uri.get());

        // A plug-in's own data file is read only once something asks for it.
        if (plugin != nullptr)
            lilv_world_load_resource (world.get(), lilv_plugin_get_uri (plugin));
    }

    Node uri (const juce::String& text) const
    {
        return { lilv_new_uri (world.get(), text.toRawUTF8()), &lilv_node_free };
    }

    Node get (const LilvNode* subject, const char* predicate) const
    {
        return { lilv_world_get (world.get(), subject, uri (predicate).get(), nullptr), &lilv_node_free };
    }

    Nodes findAll (const LilvNode* subject, const char* predicate) const
    {
        return { lilv_world_find_nodes (world.get(), subject, uri (predicate).get(), nullptr), &lilv_nodes_free };
    }

    bool has (const LilvNode* subject, const char* predicate, const char* object) const
    {
        return lilv_world_ask (world.get(), subject, uri (predicate).get(), uri (object).get());
    }

    // Label and value of every scale point, ordered by value.
    std::multimap<float, juce::String> getScalePoints (const LilvNode* property) const
    {
        std::multimap<float, juce::String> points;
        const auto found = findAll (property, LV2_CORE__scalePoint);

        LILV_FOREACH (nodes, i, found.get())
        {
            const auto* point = lilv_nodes_get (found.get(), i);
            const auto label = get (point, rdfsLabel);
            const auto value = get (point, rdfValue);

            EXPECT_TRUE (value != nullptr && lilv_node_is_float (value.get())) << "scale point of " << lilv_node_as_string (property);

            if (label != nullptr && value != nullptr)
                points.emplace (lilv_node_as_float (value.get()), lilv_node_as_string (label.get()));
        }

        return points;
    }

    std::unique_ptr<LilvWorld, decltype (&lilv_world_free)> world { lilv_world_new(), &lilv_world_free };
    const LilvPlugin* plugin = nullptr;
};

// Every parameter's range is atom:Float: an integer literal is not a float to strict readers.
float asFloat (const Node& node)
{
    EXPECT_TRUE (node != nullptr && lilv_node_is_float (node.get()));
    return node != nullptr ? lilv_node_as_float (node.get()) : std::numeric_limits<float>::quiet_NaN();
}
} // namespace

TEST_F (Lv2Metadata, DescribesEveryParameterWithItsLabelRangeAndDefault)
{
    ASSERT_NE (plugin, nullptr);
    const auto* pluginNode = lilv_plugin_get_uri (plugin);

    for (const auto& expected : getExpectedParameters())
    {
        SCOPED_TRACE (expected.id);
        const auto property = uri (juce::String (pluginUri) + ":" + expected.id);

        EXPECT_TRUE (lilv_world_ask (world.get(), pluginNode, uri (LV2_PATCH__writable).get(), property.get()));
        EXPECT_TRUE (lilv_world_ask (world.get(), pluginNode, uri (LV2_PATCH__readable).get(), property.get()));
        EXPECT_TRUE (has (property.get(), rdfsRange, LV2_ATOM__Float));

        const auto label = get (property.get(), rdfsLabel);
        ASSERT_NE (label, nullptr);
        EXPECT_STREQ (lilv_node_as_string (label.get()), expected.name);

        EXPECT_EQ (asFloat (get (property.get(), LV2_CORE__minimum)), expected.minimum);
        EXPECT_EQ (asFloat (get (property.get(), LV2_CORE__maximum)), expected.maximum);
        EXPECT_EQ (asFloat (get (property.get(), LV2_CORE__default)), expected.defaultValue);
    }
}

TEST_F (Lv2Metadata, LabelsTheAlgorithmAndLinkStepsAtThePlainValuesTheyStandFor)
{
    ASSERT_NE (plugin, nullptr);

    const auto choice = uri (juce::String (pluginUri) + ":choice");
    const auto link = uri (juce::String (pluginUri) + ":link");

    const std::multimap<float, juce::String> algorithms { { 0.0f, "Tape" }, { 1.0f, "Soft Clip" }, { 2.0f, "Tube" },
                                                          { 3.0f, "Variable" }, { 4.0f, "Bypass" } };
    const std::multimap<float, juce::String> switchStates { { 0.0f, "Off" }, { 1.0f, "On" } };

    EXPECT_EQ (getScalePoints (choice.get()), algorithms);
    EXPECT_EQ (getScalePoints (link.get()), switchStates);

    EXPECT_TRUE (has (choice.get(), LV2_CORE__portProperty, LV2_CORE__enumeration));
    EXPECT_TRUE (has (link.get(), LV2_CORE__portProperty, LV2_CORE__toggled));

    for (const auto& expected : getExpectedParameters())
    {
        if (expected.kind == ParameterKind::choice || expected.kind == ParameterKind::toggle)
            continue;

        EXPECT_TRUE (getScalePoints (uri (juce::String (pluginUri) + ":" + expected.id).get()).empty()) << expected.id;
    }
}

TEST_F (Lv2Metadata, OffersOneProgramNamedUntitled)
{
    ASSERT_NE (plugin, nullptr);

    const Nodes presets (lilv_plugin_get_related (plugin, uri (LV2_PRESETS__Preset).get()), &lilv_nodes_free);
    ASSERT_EQ (lilv_nodes_size (presets.get()), 1u);

    const auto* preset = lilv_nodes_get (presets.get(), lilv_nodes_begin (presets.get()));
    lilv_world_load_resource (world.get(), preset);

    const auto label = get (preset, rdfsLabel);
    ASSERT_NE (label, nullptr);
    EXPECT_STREQ (lilv_node_as_string (label.get()), "Untitled");

    // A host reads the preset as a state holding one property, the program, for the plug-in.
    std::map<std::string, LV2_URID> urids;
    LV2_URID_Map map { &urids, [] (LV2_URID_Map_Handle handle, const char* text)
                       {
                           auto& known = *static_cast<std::map<std::string, LV2_URID>*> (handle);
                           return known.emplace (text, static_cast<LV2_URID> (known.size() + 1)).first->second;
                       } };
    const std::unique_ptr<LilvState, decltype (&lilv_state_free)> state (lilv_state_new_from_world (world.get(), &map, preset),
                                                                         &lilv_state_free);
    ASSERT_NE (state, nullptr);
    EXPECT_EQ (lilv_state_get_num_properties (state.get()), 1u);
}

TEST_F (Lv2Metadata, IsADistortionUnderTheGplWithNoAuthorDataInsideTheBundle)
{
    ASSERT_NE (plugin, nullptr);
    const auto* pluginNode = lilv_plugin_get_uri (plugin);

    EXPECT_TRUE (has (pluginNode, rdfType, LV2_CORE__DistortionPlugin));
    EXPECT_TRUE (has (pluginNode, rdfType, doapProject));

    const juce::String bundle = lilv_node_as_uri (lilv_plugin_get_bundle_uri (plugin));
    const Node authorFields[] { { lilv_plugin_get_author_name (plugin), &lilv_node_free },
                                { lilv_plugin_get_author_email (plugin), &lilv_node_free },
                                { lilv_plugin_get_author_homepage (plugin), &lilv_node_free } };

    for (const auto& field : authorFields)
    {
        const juce::String text = field != nullptr ? lilv_node_as_string (field.get()) : "";
        EXPECT_FALSE (text.startsWith (bundle)) << text;
    }

    const auto license = get (pluginNode, doapLicense);
    ASSERT_NE (license, nullptr);
    EXPECT_STREQ (lilv_node_as_string (license.get()), "http://spdx.org/licenses/GPL-3.0-only");
}

// The editor resizes, so the UI must not claim the feature that says it cannot.
TEST_F (Lv2Metadata, DescribesAResizableUi)
{
    ASSERT_NE (plugin, nullptr);

    const auto ui = uri (juce::String (pluginUri) + ":UI");
    lilv_world_load_resource (world.get(), ui.get());

    EXPECT_TRUE (has (ui.get(), LV2_CORE__optionalFeature, LV2_UI__resize));
    EXPECT_FALSE (has (ui.get(), LV2_CORE__optionalFeature, LV2_OPTIONS__interface));

    for (const auto* predicate : { LV2_CORE__requiredFeature, LV2_CORE__optionalFeature, LV2_CORE__extensionData })
        EXPECT_FALSE (has (ui.get(), predicate, LV2_UI__noUserResize)) << predicate;
}

TEST_F (Lv2Metadata, DeclaresAStereoPairAndNoMidi)
{
    ASSERT_NE (plugin, nullptr);

    const auto audio = uri (LV2_CORE__AudioPort);
    const auto input = uri (LV2_CORE__InputPort);
    const auto output = uri (LV2_CORE__OutputPort);
    const auto midi = uri (LV2_MIDI__MidiEvent);

    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio.get(), input.get(), nullptr), 2u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio.get(), output.get(), nullptr), 2u);

    for (uint32_t index = 0; index < lilv_plugin_get_num_ports (plugin); ++index)
        EXPECT_FALSE (lilv_port_supports_event (plugin, lilv_plugin_get_port_by_index (plugin, index), midi.get()))
            << "port " << index;
}
