#include "ProcessorTestSupport.h"

#include <gtest/gtest.h>

using namespace korvel::test;

TEST (Processor, ConstructsWithNineParameters)
{
    KorvelAudioProcessor processor;
    EXPECT_EQ (processor.getParameters().size(), 9);
}

TEST (Processor, StartsUnpreparedWithOneOversamplingStageInMind)
{
    KorvelAudioProcessor processor;

    EXPECT_EQ (processor.getOversamplingOrder(), 1);
    EXPECT_EQ (processor.apvts.getRawParameterValue ("over")->load(), 0.0f);
    EXPECT_EQ (processor.getOversampler(), nullptr);
    EXPECT_EQ (processor.meterLevel.load(), 0.0f);
    EXPECT_EQ (processor.apvts.state.getType().toString(), "DistortionPlugin");
}

TEST (Processor, IsDestroyedCleanlyWithoutEverBeingPrepared)
{
    auto processor = std::make_unique<KorvelAudioProcessor>();
    processor.reset();
    SUCCEED();
}

TEST (Processor, FixedHostAnswers)
{
    KorvelAudioProcessor processor;

    EXPECT_EQ (processor.getName(), "Korvel");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_FALSE (processor.supportsDoublePrecisionProcessing());

    prepareLikeHost (processor);
    EXPECT_EQ (processor.getLatencySamples(), 0);
    EXPECT_EQ (processor.getName(), "Korvel");
}

TEST (Processor, DeclaresOneStereoInputAndOneStereoOutputBus)
{
    KorvelAudioProcessor processor;

    ASSERT_EQ (processor.getBusCount (true), 1);
    ASSERT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (processor.getMainBusNumOutputChannels(), 2);
    EXPECT_TRUE (processor.getBus (true, 0)->isEnabled());
    EXPECT_TRUE (processor.getBus (false, 0)->isEnabled());
}

TEST (Processor, OneProgramWithAnEmptyNameThatNothingChanges)
{
    KorvelAudioProcessor processor;
    const auto mixBefore = processor.apvts.getRawParameterValue ("mix")->load();

    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    processor.setCurrentProgram (3);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.apvts.getRawParameterValue ("mix")->load(), mixBefore);

    EXPECT_EQ (processor.getProgramName (0), "");
    EXPECT_EQ (processor.getProgramName (7), "");

    processor.changeProgramName (0, "Crunch");
    EXPECT_EQ (processor.getProgramName (0), "");
}

namespace
{
juce::AudioProcessor::BusesLayout makeLayout (std::initializer_list<juce::AudioChannelSet> inputs,
                                              std::initializer_list<juce::AudioChannelSet> outputs)
{
    juce::AudioProcessor::BusesLayout layout;

    for (const auto& set : inputs)
        layout.inputBuses.add (set);

    for (const auto& set : outputs)
        layout.outputBuses.add (set);

    return layout;
}
} // namespace

TEST (ProcessorLayouts, OnlyMonoToMonoAndStereoToStereoAreAccepted)
{
    using Set = juce::AudioChannelSet;
    const KorvelAudioProcessor processor;

    EXPECT_TRUE (processor.isBusesLayoutSupported (makeLayout ({ Set::mono() }, { Set::mono() })));
    EXPECT_TRUE (processor.isBusesLayoutSupported (makeLayout ({ Set::stereo() }, { Set::stereo() })));

    EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ Set::mono() }, { Set::stereo() })));
    EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ Set::stereo() }, { Set::mono() })));

    for (const auto& output : { Set::mono(), Set::stereo() })
    {
        EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ Set::disabled() }, { output })));
        EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({}, { output })));
        EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ output }, { Set::disabled() })));
        EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ output }, {})));
    }

    EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ Set::disabled() }, { Set::disabled() })));

    // Sets compare by channel type: other sets of one or two channels are not mono or stereo.
    const auto twoDiscrete = Set::discreteChannels (2);
    EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ twoDiscrete }, { twoDiscrete })));
    EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ twoDiscrete }, { Set::stereo() })));
    EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ Set::discreteChannels (1) }, { Set::mono() })));

    for (const auto& wide : { Set::createLCR(), Set::quadraphonic(), Set::create5point1(),
                              Set::create7point1(), Set::discreteChannels (3) })
        EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout ({ wide }, { wide })))
            << wide.getDescription();
}

TEST (ProcessorLayouts, HostCanMoveBothBusesToMonoAndBack)
{
    KorvelAudioProcessor processor;

    ASSERT_TRUE (useLayout (processor, juce::AudioChannelSet::mono()));
    EXPECT_EQ (processor.getTotalNumInputChannels(), 1);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 1);

    ASSERT_TRUE (useLayout (processor, juce::AudioChannelSet::stereo()));
    EXPECT_EQ (processor.getTotalNumInputChannels(), 2);

    EXPECT_FALSE (useLayout (processor, juce::AudioChannelSet::quadraphonic()));
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 2);
}
