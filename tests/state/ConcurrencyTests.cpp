#include "state/StateTestSupport.h"

using namespace korvel::test;

namespace
{
// Plays blocks of a sine until told to stop, as a host's audio thread does.
struct AudioThread
{
    KorvelAudioProcessor& processor;
    std::atomic<bool> stop { false };
    std::atomic<int> blocksDone { 0 };
    std::atomic<int> nonFiniteBlocks { 0 };

    void run()
    {
        juce::MidiBuffer midi;

        while (! stop)
        {
            auto buffer = makeSine (blockSize, blocksDone * blockSize);
            processor.processBlock (buffer, midi);

            if (! allFinite (buffer))
                ++nonFiniteBlocks;

            ++blocksDone;
        }
    }
};

int countParamChildren (const juce::MemoryBlock& block)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), static_cast<int> (block.getSize()));

    if (xml == nullptr || ! xml->hasTagName ("DistortionPlugin"))
        return -1;

    auto count = 0;

    for (auto* child : xml->getChildWithTagNameIterator ("PARAM"))
        if (child->hasAttribute ("id") && child->hasAttribute ("value"))
            ++count;

    return count;
}
} // namespace

TEST (Concurrency, OverFlipsOnAnotherThreadWhileBlocksRun)
{
    KorvelAudioProcessor processor;
    prepareLikeHost (processor);
    AudioThread audio { processor };

    Workers workers;
    workers.start ([&] { audio.run(); });
    workers.start ([&]
    {
        for (auto change = 1; change <= 300; ++change)
        {
            setPlainValue (processor, "over", static_cast<float> (change % 5));
            std::this_thread::yield();
        }

        audio.stop = true;
    });
    workers.finishWhilePumpingMessages();

    EXPECT_GT (audio.blocksDone.load(), 0);
    EXPECT_EQ (audio.nonFiniteBlocks.load(), 0);
    EXPECT_EQ (processor.getOversamplingOrder(), 4);
    EXPECT_EQ (processor.getOversampler()->getOversamplingFactor(), 16u);
}

// Some hosts deliver automation on the audio thread between two blocks.
TEST (Concurrency, OverChangedOnTheAudioThreadBetweenBlocks)
{
    KorvelAudioProcessor processor;
    prepareLikeHost (processor);
    std::atomic<int> silentBlocks { 0 };
    std::atomic<int> nonFiniteBlocks { 0 };

    Workers workers;
    workers.start ([&]
    {
        juce::MidiBuffer midi;

        for (auto block = 0; block < 300; ++block)
        {
            if (block >= 20)
                setPlainValue (processor, "over", static_cast<float> (block % 5));

            auto buffer = makeSine (blockSize, block * blockSize);
            processor.processBlock (buffer, midi);

            if (block >= 20 && buffer.getMagnitude (0, blockSize) == 0.0f)
                ++silentBlocks;

            if (! allFinite (buffer))
                ++nonFiniteBlocks;
        }
    });
    workers.start ([&]
    {
        for (auto change = 0; change < 100; ++change)
            setPlainValue (processor, "bias", static_cast<float> (change));
    });
    workers.finishWhilePumpingMessages();

    EXPECT_EQ (silentBlocks.load(), 0);
    EXPECT_EQ (nonFiniteBlocks.load(), 0);
    EXPECT_EQ (processor.getOversamplingOrder(), 4);
}

TEST (Concurrency, LinkedGainsChangedOnTwoThreadsAtOnce)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "link", 1.0f);
    std::atomic<bool> changing { true };
    std::atomic<int> badSaves { 0 };

    const auto changeGain = [&processor] (const juce::String& id, juce::int64 seed)
    {
        juce::Random random (seed);

        for (auto change = 0; change < 5000; ++change)
            setPlainValue (processor, id, static_cast<float> (random.nextInt ({ -2400, 2401 })) / 100.0f);
    };

    Workers changers;
    changers.start ([&] { changeGain ("input", 1); });
    changers.start ([&] { changeGain ("output", 2); });

    Workers saver;
    saver.start ([&]
    {
        while (changing)
            if (countParamChildren (saveState (processor)) != 9)
                ++badSaves;
    });

    changers.finishWhilePumpingMessages();
    changing = false;
    saver.finishWhilePumpingMessages();

    EXPECT_TRUE (runMessageLoopUntil ([&] { return gainsMirrored (processor); }));
    runMessageLoopFor (20);
    EXPECT_TRUE (gainsMirrored (processor));
    EXPECT_EQ (badSaves.load(), 0);
    EXPECT_EQ (countParamChildren (saveState (processor)), 9);
}

TEST (Concurrency, StateRestoresRaceWithProcessingAndSaving)
{
    KorvelAudioProcessor processor;
    prepareLikeHost (processor);
    AudioThread audio { processor };
    std::atomic<int> badSaves { 0 };

    Workers workers;
    workers.start ([&] { audio.run(); });
    workers.start ([&]
    {
        for (auto restore = 1; restore <= 200; ++restore)
        {
            const auto gain = juce::String (static_cast<double> (restore % 49 - 24));
            restoreState (processor, makeBlock (stateDocument (paramElement ("link", juce::String (restore % 2))
                                                               + paramElement ("input", gain)
                                                               + paramElement ("over", juce::String (restore % 5))
                                                               + paramElement ("mix", juce::String (restore % 101)))));
        }

        audio.stop = true;
    });
    workers.start ([&]
    {
        while (! audio.stop)
            if (countParamChildren (saveState (processor)) != 9)
                ++badSaves;
    });
    workers.finishWhilePumpingMessages();

    EXPECT_GT (audio.blocksDone.load(), 0);
    EXPECT_EQ (audio.nonFiniteBlocks.load(), 0);
    EXPECT_EQ (badSaves.load(), 0);
    EXPECT_EQ (processor.getOversamplingOrder(), 4);
    EXPECT_EQ (plainValue (processor, "over"), 0.0f);
}
