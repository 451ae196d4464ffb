// What a host shows of Korvel's parameters through each format.

#include "HostFixtures.h"

using namespace korvel::hosts;

namespace
{
juce::StringArray getParameterNames (juce::AudioPluginInstance& instance)
{
    juce::StringArray names;

    for (auto* parameter : instance.getParameters())
        names.add (parameter->getName (1024));

    return names;
}

juce::StringArray getExpectedNames()
{
    juce::StringArray names;

    for (const auto& expected : getExpectedParameters())
        names.add (expected.name);

    return names;
}
} // namespace

TEST_P (HostTest, ScanFindsOneStereoEffectNamedKorvel)
{
    ASSERT_EQ (host.getDescriptions().size(), 1) << "searched " << host.getSearchPath().toString();

    const auto& description = *host.getDescriptions().getFirst();
    EXPECT_EQ (description.name, "Korvel");
    EXPECT_EQ (description.pluginFormatName, toString (GetParam()));
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
}

TEST_P (HostTest, ShowsTheNineParametersAtTheirDefaults)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    // Each format brings a bypass switch of its own: the VST3 adapter declares one, and the
    // LV2 host turns the plug-in's "enabled" port into one.
    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr);
    EXPECT_EQ (bypass->getName (1024), "Bypass");

    auto names = getParameterNames (*instance);
    names.removeString ("Bypass");

    // VST3 hosts list the parameters in the plug-in's own order.
    if (isVst3())
    {
        EXPECT_EQ (names, getExpectedNames()) << names.joinIntoString (", ");
    }

    names.sort (false);
    auto expectedNames = getExpectedNames();
    expectedNames.sort (false);
    EXPECT_EQ (names, expectedNames) << names.joinIntoString (", ");

    for (const auto& expected : getExpectedParameters())
    {
        SCOPED_TRACE (expected.id);
        const auto* parameter = getParameter (*instance, expected.id);
        ASSERT_NE (parameter, nullptr);
        EXPECT_EQ (parameter->getDefaultValue(), expected.toNormalised (expected.defaultValue));
        EXPECT_EQ (parameter->getValue(), expected.toNormalised (expected.defaultValue));
    }
}

// Hosts offer "Gain Link" as a switch and "Algorithm Type" as a list of five; every other
// parameter moves continuously and the plug-in snaps it to its own step.
TEST_P (HostTest, OffersTheSwitchAndTheAlgorithmListAsSteps)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    for (const auto& expected : getExpectedParameters())
    {
        SCOPED_TRACE (expected.id);
        const auto* parameter = getParameter (*instance, expected.id);
        ASSERT_NE (parameter, nullptr);

        const auto steps = expected.kind == ParameterKind::toggle ? 2
                         : expected.kind == ParameterKind::choice ? 5
                                                                  : juce::AudioProcessor::getDefaultNumParameterSteps();
        EXPECT_EQ (parameter->getNumSteps(), steps);
        EXPECT_EQ (parameter->isDiscrete(), steps != juce::AudioProcessor::getDefaultNumParameterSteps());
    }
}

TEST_P (HostTest, ShowsTheAlgorithmAndLinkStepsByName)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    auto* choice = getParameter (*instance, "choice");
    auto* link = getParameter (*instance, "link");
    ASSERT_NE (choice, nullptr);
    ASSERT_NE (link, nullptr);

    const auto algorithms = getAlgorithmNames();

    for (int index = 0; index < algorithms.size(); ++index)
    {
        const auto normalised = static_cast<float> (index) / 4.0f;
        EXPECT_EQ (choice->getText (normalised, 1024), algorithms[index]);
        EXPECT_EQ (choice->getValueForText (algorithms[index]), normalised);
    }

    EXPECT_EQ (link->getText (0.0f, 1024), "Off");
    EXPECT_EQ (link->getText (1.0f, 1024), "On");
    EXPECT_EQ (link->getValueForText ("On"), 1.0f);
    EXPECT_EQ (link->getValueForText ("Off"), 0.0f);
}

TEST_P (HostTest, ReadsNumbersTypedIntoTheHostInThePluginsUnits)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    const struct
    {
        const char* id;
        const char* text;
        float plainValue;
    } typed[] { { "mix", "50", 50.0f }, { "input", "6.5", 6.5f }, { "output", "-24", -24.0f },
                { "shape", "100", 100.0f }, { "bias", "37", 37.0f }, { "over", "3", 3.0f },
                { "eq", "1.5", 1.5f } };

    for (const auto& entry : typed)
    {
        SCOPED_TRACE (entry.text);
        const auto& expected = getExpectedParameter (entry.id);
        EXPECT_FLOAT_EQ (getParameter (*instance, entry.id)->getValueForText (entry.text),
                         expected.toNormalised (entry.plainValue));
    }
}

// Runs every HostTest, those of HostSessionTests.cpp too, once per format.
INSTANTIATE_TEST_SUITE_P (Formats, HostTest, ::testing::Values (Format::vst3, Format::lv2),
                          [] (const ::testing::TestParamInfo<Format>& formatInfo) { return toString (formatInfo.param).toStdString(); });

//==============================================================================
TEST_F (Vst3Host, ShowsAndReadsThePluginsValueTexts)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    for (const auto& expected : getExpectedParameters())
    {
        auto* parameter = getParameter (*instance, expected.id);
        ASSERT_NE (parameter, nullptr);
        EXPECT_EQ (parameter->getText (parameter->getDefaultValue(), 1024), expected.defaultText) << expected.id;
    }

    const struct
    {
        const char* id;
        float normalised;
        const char* text;
    } shown[] { { "mix", 0.5f, "50" }, { "input", 0.0f, "-24.00" }, { "input", 1.0f, "24.00" },
                { "output", 0.625f, "6.00" }, { "shape", 1.0f, "100" }, { "bias", 0.37f, "37" },
                { "over", 1.0f, "4" }, { "link", 1.0f, "On" }, { "eq", 0.25f, "-1.50" } };

    for (const auto& entry : shown)
        EXPECT_EQ (getParameter (*instance, entry.id)->getText (entry.normalised, 1024), entry.text) << entry.id;

    auto* link = getParameter (*instance, "link");

    for (const auto* on : { "on", "Yes", "TRUE", "1" })
        EXPECT_EQ (link->getValueForText (on), 1.0f) << on;

    for (const auto* off : { "off", "No", "false", "0" })
        EXPECT_EQ (link->getValueForText (off), 0.0f) << off;
}

TEST_F (Vst3Host, NumbersEachParameterByTheHashOfItsId)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    const auto hostNumber = [&] (const char* id)
    {
        const auto* parameter = dynamic_cast<juce::HostedAudioProcessorParameter*> (getParameter (*instance, id));
        return parameter != nullptr ? parameter->getParameterID() : juce::String();
    };

    EXPECT_EQ (hostNumber ("output"), "1141971201");
    EXPECT_EQ (hostNumber ("choice"), "786259361");

    for (const auto& expected : getExpectedParameters())
        EXPECT_EQ (hostNumber (expected.id),
                   juce::String (static_cast<juce::uint32> (juce::String (expected.id).hashCode()) & 0x7fffffffu))
            << expected.id;
}
