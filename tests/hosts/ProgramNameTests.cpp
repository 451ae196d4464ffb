#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
// The framework's factory tells the next processor which adapter wraps it, exactly as the
// adapters do when a host opens the plug-in.
std::unique_ptr<KorvelAudioProcessor> createWrappedIn (juce::AudioProcessor::WrapperType wrapperType)
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (wrapperType);
    auto processor = std::make_unique<KorvelAudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    return processor;
}
} // namespace

TEST (ProgramName, IsEmptyWhenCalledDirectly)
{
    KorvelAudioProcessor processor;

    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getProgramName (0), juce::String());
    EXPECT_EQ (processor.getProgramName (7), juce::String());

    processor.changeProgramName (0, "Renamed");
    EXPECT_EQ (processor.getProgramName (0), juce::String());
}

TEST (ProgramName, IsUntitledUnderTheVst3AndLv2Adapters)
{
    for (const auto wrapperType : { juce::AudioProcessor::wrapperType_VST3, juce::AudioProcessor::wrapperType_LV2 })
    {
        const auto processor = createWrappedIn (wrapperType);

        EXPECT_EQ (processor->getProgramName (0), "Untitled");
        processor->changeProgramName (0, "Renamed");
        EXPECT_EQ (processor->getProgramName (0), "Untitled");
    }
}

// The Audio Unit adapter names an empty program itself; the Standalone lists none.
TEST (ProgramName, StaysEmptyUnderTheOtherAdapters)
{
    for (const auto wrapperType : { juce::AudioProcessor::wrapperType_AudioUnit, juce::AudioProcessor::wrapperType_Standalone })
        EXPECT_EQ (createWrappedIn (wrapperType)->getProgramName (0), juce::String());
}
