#include "state/StateTestSupport.h"

#include <map>
#include <mutex>

using namespace korvel::test;

namespace
{
bool gainsAre (KorvelAudioProcessor& processor, float inputDb, float outputDb)
{
    return plainValue (processor, "input") == inputDb && plainValue (processor, "output") == outputDb;
}

// Plays the part of a plug-in wrapper that drops every notification raised on the thread
// that is inside the host's own parameter change, and remembers what the host was told.
class FeedbackSuppressingHost final : private juce::AudioProcessorListener
{
public:
    explicit FeedbackSuppressingHost (KorvelAudioProcessor& processorToWatch)
        : processor (processorToWatch)
    {
        processor.addListener (this);
    }

    ~FeedbackSuppressingHost() override { processor.removeListener (this); }

    void setFromHost (const juce::String& id, float plainValueToSet)
    {
        auto& p = parameter (processor, id);
        insideHostChange = true;
        p.setValueNotifyingHost (p.convertTo0to1 (plainValueToSet));
        insideHostChange = false;
    }

    float hostValue (const juce::String& id)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        auto& p = parameter (processor, id);
        const auto it = values.find (p.getParameterIndex());
        return it == values.end() ? p.getDefaultValue() : it->second;
    }

private:
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue) override
    {
        if (insideHostChange)
            return;

        const std::lock_guard<std::mutex> lock (mutex);
        values[index] = newValue;
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    KorvelAudioProcessor& processor;
    std::mutex mutex;
    std::map<int, float> values;
    static thread_local bool insideHostChange;
};

thread_local bool FeedbackSuppressingHost::insideHostChange = false;
} // namespace

TEST (GainLink, MirrorsEitherGainWithTheOppositeSign)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "link", 1.0f);

    setPlainValue (processor, "input", 6.0f);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, 6.0f, -6.0f); }));
    EXPECT_EQ (parameter (processor, "output").getCurrentValueAsText(), "-6.00");

    setPlainValue (processor, "output", 24.0f);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, -24.0f, 24.0f); }));

    setPlainValue (processor, "link", 0.0f);
    setPlainValue (processor, "output", 3.0f);
    setPlainValue (processor, "link", 1.0f);
    setPlainValue (processor, "input", -0.5f);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, -0.5f, 0.5f); }));
}

TEST (GainLink, ExchangeEndsAfterTheMirrorAtEveryStep)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "link", 1.0f);
    const HostParameterLog log (processor);
    auto expectedChanges = 0;

    for (auto step = -2400; step <= 2400; step += 37)
    {
        const auto* sourceID = step % 2 == 0 ? "input" : "output";
        setPlainValue (processor, sourceID, static_cast<float> (step) / 100.0f);
        expectedChanges += 2;
        const auto sourceDb = plainValue (processor, sourceID);

        ASSERT_TRUE (runMessageLoopUntil ([&] { return log.getNumChanges() >= expectedChanges; })) << step;
        runMessageLoopFor (5);

        EXPECT_EQ (log.getNumChanges(), expectedChanges) << step;
        EXPECT_EQ (gainStep (sourceDb), step + 2400);
        EXPECT_EQ (plainValue (processor, sourceID), sourceDb) << step;
        EXPECT_TRUE (gainsMirrored (processor)) << step;
        EXPECT_EQ (parameter (processor, "input").getCurrentValueAsText(),
                   juce::String (-plainValue (processor, "output"), 2)) << step;
    }
}

// The state tree learns of host changes only when the framework flushes it, so it can still
// hold exactly the value the mirror writes while the parameter has moved on.
TEST (GainLink, MirrorReachesAGainThatLeftTheValueTheTreeHolds)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "link", 1.0f);
    setPlainValue (processor, "input", 6.0f);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, 6.0f, -6.0f); }));

    // Long enough for the framework's flush timer to slow to its longest interval.
    runMessageLoopFor (700);

    setPlainValue (processor, "link", 0.0f);
    setPlainValue (processor, "output", 3.0f);
    setPlainValue (processor, "input", 5.0f);
    setPlainValue (processor, "link", 1.0f);
    setPlainValue (processor, "input", 6.0f);

    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, 6.0f, -6.0f); }));
}

TEST (GainLink, OffLeavesTheOtherGainAlone)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "output", 2.0f);

    setPlainValue (processor, "input", 6.0f);
    runMessageLoopFor (50);

    EXPECT_TRUE (gainsAre (processor, 6.0f, 2.0f));
}

TEST (GainLink, SwitchingOnChangesNothingUntilTheNextGainChange)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "input", 3.0f);

    setPlainValue (processor, "link", 1.0f);
    runMessageLoopFor (50);
    EXPECT_TRUE (gainsAre (processor, 3.0f, 0.0f));

    setPlainValue (processor, "output", 1.0f);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, -1.0f, 1.0f); }));
}

TEST (GainLink, HostHearsTheMirrorOfItsOwnChange)
{
    KorvelAudioProcessor processor;
    FeedbackSuppressingHost host (processor);
    setPlainValue (processor, "link", 1.0f);
    const auto& output = parameter (processor, "output");
    const auto& input = parameter (processor, "input");

    host.setFromHost ("input", 6.0f);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return host.hostValue ("output") == output.convertTo0to1 (-6.0f); }));

    std::thread hostThread ([&] { host.setFromHost ("output", 12.0f); });
    hostThread.join();
    EXPECT_TRUE (runMessageLoopUntil ([&] { return host.hostValue ("input") == input.convertTo0to1 (-12.0f); }));
    EXPECT_TRUE (gainsAre (processor, -12.0f, 12.0f));
}

TEST (OversamplingOrder, NonZeroOverRebuildsTheChainAndZeroKeepsIt)
{
    KorvelAudioProcessor processor;
    prepareLikeHost (processor);
    EXPECT_EQ (processor.getOversamplingOrder(), 1);
    const auto* first = processor.getOversampler();

    setPlainValue (processor, "over", 3.0f);
    const auto* eightTimes = processor.getOversampler();
    EXPECT_EQ (processor.getOversamplingOrder(), 3);
    EXPECT_NE (eightTimes, first);
    EXPECT_EQ (eightTimes->getOversamplingFactor(), 8u);

    setPlainValue (processor, "over", 3.0f);
    EXPECT_EQ (processor.getOversampler(), eightTimes);

    setPlainValue (processor, "over", 0.0f);
    EXPECT_EQ (processor.getOversampler(), eightTimes);
    EXPECT_EQ (processor.getOversamplingOrder(), 3);

    setPlainValue (processor, "over", 3.0f);
    EXPECT_NE (processor.getOversampler(), eightTimes);
    EXPECT_EQ (processor.getOversampler()->getOversamplingFactor(), 8u);

    setPlainValue (processor, "link", 1.0f);
    EXPECT_EQ (processor.getOversamplingOrder(), 3);
}

TEST (OversamplingOrder, FirstNotificationOfZeroBuildsNothing)
{
    KorvelAudioProcessor processor;

    setPlainValue (processor, "over", 0.0f);

    EXPECT_EQ (processor.getOversampler(), nullptr);
    EXPECT_EQ (processor.getOversamplingOrder(), 1);
}

TEST (OversamplingOrder, NextBlockAfterTheChangeRunsOnTheNewOrder)
{
    KorvelAudioProcessor processor;
    prepareLikeHost (processor);

    for (auto block = 0; block < 20; ++block)
    {
        auto buffer = makeSine (blockSize, block * blockSize);
        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);
    }

    setPlainValue (processor, "over", 2.0f);
    auto buffer = makeSine (blockSize, 20 * blockSize);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    EXPECT_EQ (processor.getOversampler()->getOversamplingFactor(), 4u);
    EXPECT_GT (buffer.getMagnitude (0, blockSize), 0.01f);
    EXPECT_TRUE (allFinite (buffer));
}

TEST (OversamplingOrder, ChangeBeforeTheHostPreparesIsBuiltByItsPreparation)
{
    KorvelAudioProcessor processor;

    setPlainValue (processor, "over", 2.0f);

    EXPECT_EQ (processor.getSampleRate(), 0.0);
    EXPECT_EQ (processor.getOversamplingOrder(), 2);
    ASSERT_NE (processor.getOversampler(), nullptr);
    const auto* builtBeforeHost = processor.getOversampler();

    prepareLikeHost (processor);

    EXPECT_NE (processor.getOversampler(), builtBeforeHost);
    EXPECT_EQ (processor.getOversampler()->getOversamplingFactor(), 4u);
}

TEST (OversamplingOrder, RestoredStateCarriesOrderAndLinkedGains)
{
    KorvelAudioProcessor processor;

    restoreState (processor, makeBlock (stateDocument (paramElement ("input", "6.0")
                                                       + paramElement ("link", "1.0")
                                                       + paramElement ("output", "-6.0")
                                                       + paramElement ("over", "2.0"))));

    EXPECT_EQ (processor.getOversamplingOrder(), 2);
    ASSERT_NE (processor.getOversampler(), nullptr);
    runMessageLoopFor (50);
    EXPECT_TRUE (gainsAre (processor, 6.0f, -6.0f));

    prepareLikeHost (processor);
    EXPECT_EQ (processor.getOversampler()->getOversamplingFactor(), 4u);

    restoreState (processor, makeBlock (stateDocument (paramElement ("over", "0.0")
                                                       + paramElement ("input", "-3.0"))));
    EXPECT_EQ (processor.getOversamplingOrder(), 2);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsAre (processor, -3.0f, 3.0f); }));
}
