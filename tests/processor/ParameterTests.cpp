#include "ProcessorTestSupport.h"

#include <gtest/gtest.h>

using namespace korvel::test;

namespace
{
juce::RangedAudioParameter& parameterAt (KorvelAudioProcessor& processor, int index)
{
    auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (processor.getParameters()[index]);
    EXPECT_NE (ranged, nullptr);
    return *ranged;
}

struct RangeFigures
{
    float start, end, interval;
};

// Saved projects and automation lanes key every value by ID and index; hosts see the names,
// ranges, defaults and step counts.
struct ParameterFigures
{
    const char* id;
    const char* name;
    RangeFigures range;
    float plainDefault;
    float normalisedDefault;
    int numSteps;
    bool discrete;
    bool boolean;
    const char* defaultText;
};

const ParameterFigures expectedFigures[] {
    { "mix",    "Dry/Wet",            { 0.0f, 100.0f, 1.0f },    100.0f, 1.0f, 101,        false, false, "100" },
    { "input",  "Input",              { -24.0f, 24.0f, 0.01f },  0.0f,   0.5f, 0x7fffffff, false, false, "0.00" },
    { "output", "Output",             { -24.0f, 24.0f, 0.01f },  0.0f,   0.5f, 0x7fffffff, false, false, "0.00" },
    { "shape",  "Variable Shape",     { 0.0f, 100.0f, 1.0f },    0.0f,   0.0f, 101,        false, false, "0" },
    { "bias",   "Bias",               { 0.0f, 100.0f, 1.0f },    0.0f,   0.0f, 101,        false, false, "0" },
    { "over",   "Oversampling",       { 0.0f, 4.0f, 1.0f },      0.0f,   0.0f, 5,          false, false, "0" },
    { "link",   "Gain Link",          { 0.0f, 1.0f, 1.0f },      0.0f,   0.0f, 2,          true,  true,  "Off" },
    { "eq",     "Frequency Response", { -3.0f, 3.0f, 0.01f },    0.0f,   0.5f, 0x7fffffff, false, false, "0.00" },
    { "choice", "Algorithm Type",     { 0.0f, 4.0f, 1.0f },      0.0f,   0.0f, 5,          true,  false, "Tape" },
};
} // namespace

TEST (ProcessorParameters, NineParametersInIndexOrderWithTheirHostFigures)
{
    KorvelAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), 9);

    for (auto index = 0; index < 9; ++index)
    {
        const auto& expected = expectedFigures[index];
        SCOPED_TRACE (expected.id);
        auto& p = parameterAt (processor, index);

        EXPECT_EQ (p.getParameterID(), expected.id);
        EXPECT_EQ (p.getParameterIndex(), index);
        EXPECT_EQ (p.getName (100), expected.name);
        EXPECT_EQ (p.getLabel(), "");
        EXPECT_EQ (p.getCategory(), juce::AudioProcessorParameter::genericParameter);
        EXPECT_TRUE (p.isAutomatable());
        EXPECT_FALSE (p.isMetaParameter());
        EXPECT_FALSE (p.isOrientationInverted());
        EXPECT_EQ (p.getNumSteps(), expected.numSteps);
        EXPECT_EQ (p.isDiscrete(), expected.discrete);
        EXPECT_EQ (p.isBoolean(), expected.boolean);

        const auto& range = p.getNormalisableRange();
        EXPECT_EQ (range.start, expected.range.start);
        EXPECT_EQ (range.end, expected.range.end);
        EXPECT_EQ (range.interval, expected.range.interval);
        EXPECT_EQ (range.skew, 1.0f);
        EXPECT_FALSE (range.symmetricSkew);

        EXPECT_FLOAT_EQ (p.getDefaultValue(), expected.normalisedDefault);
        EXPECT_FLOAT_EQ (p.getValue(), expected.normalisedDefault);
        EXPECT_EQ (p.getCurrentValueAsText(), expected.defaultText);
        EXPECT_EQ (processor.apvts.getRawParameterValue (expected.id)->load(), expected.plainDefault);
    }
}

TEST (ProcessorParameters, EachParameterHasTheClassThatFixesItsHostBehaviour)
{
    KorvelAudioProcessor processor;

    for (const auto* id : { "mix", "shape", "bias", "over" })
        EXPECT_NE (dynamic_cast<juce::AudioParameterInt*> (&parameter (processor, id)), nullptr) << id;

    for (const auto* id : { "input", "output", "eq" })
        EXPECT_NE (dynamic_cast<juce::AudioParameterFloat*> (&parameter (processor, id)), nullptr) << id;

    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (&parameter (processor, "link")), nullptr);

    auto* choice = dynamic_cast<juce::AudioParameterChoice*> (&parameter (processor, "choice"));
    ASSERT_NE (choice, nullptr);
    EXPECT_EQ (choice->choices, (juce::StringArray { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" }));
    EXPECT_EQ (choice->getIndex(), 0);
}

TEST (ProcessorParameters, AlgorithmIndicesMatchTheChoiceOrder)
{
    KorvelAudioProcessor processor;
    auto& choice = parameter (processor, "choice");

    const std::pair<DistortionAlgorithm, const char*> algorithms[] {
        { DistortionAlgorithm::Tape, "Tape" },
        { DistortionAlgorithm::SoftClip, "Soft Clip" },
        { DistortionAlgorithm::Tube, "Tube" },
        { DistortionAlgorithm::Variable, "Variable" },
        { DistortionAlgorithm::Bypass, "Bypass" },
    };

    for (const auto& [algorithm, text] : algorithms)
    {
        setAlgorithm (processor, algorithm);
        EXPECT_EQ (choice.getCurrentValueAsText(), text);
        EXPECT_EQ (processor.apvts.getRawParameterValue ("choice")->load(), static_cast<float> (algorithm));
    }
}

TEST (ProcessorParameters, HostNumbersAreTheIdHashWithTheTopBitCleared)
{
    // Hosts store these numbers in every project and automation lane. The VST3 wrapper
    // (like the other adapters) derives them from the ID's 32-bit hash, top bit cleared.
    const std::pair<const char*, juce::uint32> expectedNumbers[] {
        { "mix", 108124u },       { "input", 100358090u }, { "output", 1141971201u },
        { "shape", 109399969u },  { "bias", 3023545u },    { "over", 3423444u },
        { "link", 3321850u },     { "eq", 3244u },         { "choice", 786259361u },
    };

    KorvelAudioProcessor processor;

    for (auto index = 0; index < 9; ++index)
    {
        const auto& [id, number] = expectedNumbers[index];
        const auto& p = parameterAt (processor, index);
        ASSERT_EQ (p.getParameterID(), id);

        const auto hash = static_cast<juce::uint32> (p.getParameterID().hashCode());
        EXPECT_EQ (hash & 0x7fffffffu, number) << id;
    }

    // The two whose plain hash has the top bit set, so the clearing matters.
    EXPECT_EQ (static_cast<juce::uint32> (juce::String ("output").hashCode()), 3289454849u);
    EXPECT_EQ (static_cast<juce::uint32> (juce::String ("choice").hashCode()), 2933743009u);
}

TEST (ProcessorParameters, TextsShownForValues)
{
    KorvelAudioProcessor processor;

    EXPECT_EQ (parameter (processor, "mix").getText (0.42f, 100), "42");
    EXPECT_EQ (parameter (processor, "input").getText (1.0f, 100), "24.00");
    EXPECT_EQ (parameter (processor, "input").getText (0.0f, 100), "-24.00");
    EXPECT_EQ (parameter (processor, "output").getText (0.75f, 100), "12.00");
    EXPECT_EQ (parameter (processor, "eq").getText (0.0f, 100), "-3.00");
    EXPECT_EQ (parameter (processor, "eq").getText (1.0f, 100), "3.00");
    EXPECT_EQ (parameter (processor, "over").getText (0.5f, 100), "2");
    EXPECT_EQ (parameter (processor, "link").getText (1.0f, 100), "On");
    EXPECT_EQ (parameter (processor, "link").getText (0.0f, 100), "Off");
    EXPECT_EQ (parameter (processor, "choice").getText (0.25f, 100), "Soft Clip");
    EXPECT_EQ (parameter (processor, "choice").getText (1.0f, 100), "Bypass");

    setPlainValue (processor, "input", -6.5f);
    EXPECT_EQ (parameter (processor, "input").getCurrentValueAsText(), "-6.50");
}

TEST (ProcessorParameters, TextsReadBack)
{
    KorvelAudioProcessor processor;

    EXPECT_FLOAT_EQ (parameter (processor, "mix").getValueForText ("42"), 0.42f);
    EXPECT_FLOAT_EQ (parameter (processor, "mix").getValueForText ("250"), 1.0f);
    EXPECT_FLOAT_EQ (parameter (processor, "input").getValueForText ("12.5"), 36.5f / 48.0f);
    EXPECT_FLOAT_EQ (parameter (processor, "input").getValueForText ("-30"), 0.0f);
    EXPECT_FLOAT_EQ (parameter (processor, "input").getValueForText ("rubbish"), 0.5f);
    EXPECT_FLOAT_EQ (parameter (processor, "eq").getValueForText ("-1.5"), 0.25f);
    EXPECT_FLOAT_EQ (parameter (processor, "over").getValueForText ("3"), 0.75f);

    auto& link = parameter (processor, "link");

    for (const auto* on : { "on", "YES", "True", "2" })
        EXPECT_EQ (link.getValueForText (on), 1.0f) << on;

    for (const auto* off : { "off", "No", "FALSE", "0", "maybe" })
        EXPECT_EQ (link.getValueForText (off), 0.0f) << off;

    auto& choice = parameter (processor, "choice");
    EXPECT_EQ (choice.getValueForText ("Tape"), 0.0f);
    EXPECT_EQ (choice.getValueForText ("Soft Clip"), 0.25f);
    EXPECT_EQ (choice.getValueForText ("Tube"), 0.5f);
    EXPECT_EQ (choice.getValueForText ("Variable"), 0.75f);
    EXPECT_EQ (choice.getValueForText ("Bypass"), 1.0f);
    EXPECT_EQ (choice.getValueForText ("Fuzz"), 0.0f);
}

TEST (ProcessorParameters, IntegerParametersSnapToWholeNumbers)
{
    KorvelAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (defaultSampleRate, defaultBlockSize);

    parameter (processor, "over").setValueNotifyingHost (0.6f);
    EXPECT_EQ (processor.apvts.getRawParameterValue ("over")->load(), 2.0f);

    parameter (processor, "mix").setValueNotifyingHost (0.337f);
    EXPECT_EQ (processor.apvts.getRawParameterValue ("mix")->load(), 34.0f);

    parameter (processor, "input").setValueNotifyingHost (0.60001f);
    EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue ("input")->load(), 4.8f);
}
