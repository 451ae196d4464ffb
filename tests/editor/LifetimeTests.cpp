#include "EditorTestSupport.h"

#include <atomic>
#include <thread>

using namespace korvel::test;

namespace
{
// The editor holds its look-and-feel by value, so the default look-and-feel lies inside
// exactly one living editor, or inside none once the framework's own serves again.
bool defaultLookAndFeelLiesIn (const juce::AudioProcessorEditor& editor)
{
    const auto* lookAndFeel = reinterpret_cast<const char*> (&juce::LookAndFeel::getDefaultLookAndFeel());
    const auto* begin = reinterpret_cast<const char*> (&editor);
    return lookAndFeel >= begin && lookAndFeel < begin + sizeof (KorvelAudioProcessorEditor);
}

bool defaultLookAndFeelIsTheFrameworks()
{
    return dynamic_cast<OtherLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()) == nullptr;
}

// Checks that an editor still does its work: follows automation, sets parameters and paints.
void expectWorking (juce::AudioProcessorEditor& editor, KorvelAudioProcessor& processor, float choice)
{
    setPlainValue (processor, "choice", choice);
    dynamic_cast<juce::Timer&> (editor).timerCallback();
    EXPECT_TRUE (algorithmButtonFor (editor, static_cast<int> (choice)).getToggleState());

    sliderLabelled (editor, "Bias").setValue (42.0, juce::sendNotificationSync);
    EXPECT_EQ (plainValue (processor, "bias"), 42.0f);

    const auto image = render (editor);
    EXPECT_EQ (image.getPixelAt (300, 390).getAlpha(), 255) << "background painted";
}

struct AudioThread
{
    explicit AudioThread (KorvelAudioProcessor& p) : processor (p), thread ([this] { run(); }) {}

    ~AudioThread()
    {
        stop = true;
        thread.join();
    }

    void run()
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        auto phase = 0.0f;

        while (! stop)
        {
            for (int i = 0; i < buffer.getNumSamples(); ++i, phase += 0.05f)
                for (int channel = 0; channel < 2; ++channel)
                    buffer.setSample (channel, i, 0.8f * std::sin (phase));

            processor.processBlock (buffer, midi);
            blocks.fetch_add (1);
        }
    }

    KorvelAudioProcessor& processor;
    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 };
    std::thread thread;
};
} // namespace

TEST (EditorLifetime, HasAnEditorWhateverItsState)
{
    KorvelAudioProcessor processor;
    EXPECT_TRUE (processor.hasEditor());
    setPlainValue (processor, "choice", 4.0f);
    setPlainValue (processor, "link", 1.0f);
    EXPECT_TRUE (processor.hasEditor());

    const std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    EXPECT_NE (dynamic_cast<KorvelAudioProcessorEditor*> (editor.get()), nullptr);
}

TEST (EditorLifetime, ClosingTheNewerOfTwoEditorsLeavesTheOlderOnTheFrameworksLook)
{
    KorvelAudioProcessor processor;
    prepareLikeAHost (processor);

    std::unique_ptr<juce::AudioProcessorEditor> older (processor.createEditor());
    std::unique_ptr<juce::AudioProcessorEditor> newer (processor.createEditor());
    ASSERT_NE (older, newer);
    EXPECT_TRUE (defaultLookAndFeelLiesIn (*newer));

    newer.reset();
    EXPECT_TRUE (defaultLookAndFeelIsTheFrameworks());
    expectWorking (*older, processor, 2.0f);

    older.reset();
    EXPECT_TRUE (defaultLookAndFeelIsTheFrameworks());
    drainMessageLoop();
}

TEST (EditorLifetime, ClosingTheOlderOfTwoEditorsLeavesTheNewerInCharge)
{
    KorvelAudioProcessor processor;
    prepareLikeAHost (processor);

    std::unique_ptr<juce::AudioProcessorEditor> older (processor.createEditor());
    std::unique_ptr<juce::AudioProcessorEditor> newer (processor.createEditor());

    older.reset();
    EXPECT_TRUE (defaultLookAndFeelLiesIn (*newer));
    expectWorking (*newer, processor, 3.0f);

    newer.reset();
    EXPECT_TRUE (defaultLookAndFeelIsTheFrameworks());
    drainMessageLoop();
}

TEST (EditorLifetime, OpensAndClosesRepeatedlyWhileAudioRuns)
{
    KorvelAudioProcessor processor;
    prepareLikeAHost (processor, 256);
    AudioThread audio (processor);

    ASSERT_TRUE (runMessageLoopUntil ([&] { return audio.blocks.load() > 0; }));

    for (int round = 0; round < 40; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
        buttonWithText (*editor, round % 2 == 0 ? "Tube" : "Bypass").triggerClick();
        sliderLabelled (*editor, "Input").setValue (round % 7 - 3.0, juce::sendNotificationSync);
        runMessageLoopFor (round % 5);

        dynamic_cast<juce::Timer&> (*editor).timerCallback();
        EXPECT_GT (meterOf (*editor).level, 0.0f);
        render (*editor);
    }

    EXPECT_TRUE (defaultLookAndFeelIsTheFrameworks());
}
