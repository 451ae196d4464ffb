#include "EditorTestSupport.h"

#include <thread>

using namespace korvel::test;

namespace
{
juce::String valueBoxText (juce::Slider& slider)
{
    for (auto* child : slider.getChildren())
        if (auto* box = dynamic_cast<juce::Label*> (child))
            return box->getText();

    return "<no value box>";
}

// True when some fully opaque pixel of the rendered button is pure white, as the linked
// icon is; the unlinked icon is tinted orange everywhere.
bool showsPlainWhiteIcon (juce::ImageButton& button)
{
    const auto image = render (button);

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getARGB() == 0xffffffffu)
                return true;

    return false;
}

struct Knob
{
    const char* label;
    const char* id;
};

const Knob knobs[] = {
    { "Input", "input" }, { "Dry/Wet", "mix" }, { "Output", "output" },
    { "Variable Shape", "shape" }, { "Bias", "bias" }
};

// Opens the editor only once the test has set the parameters it is to show.
struct OpenedLater : ::testing::Test
{
    void SetUp() override { prepareLikeAHost (processor); }

    void open() { editor.reset (processor.createEditor()); }

    void TearDown() override
    {
        editor.reset();
        drainMessageLoop();
    }

    KorvelAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
};

using Bindings = OpenedLater;
using AlgorithmButtons = EditorFixture;
} // namespace

TEST_F (Bindings, EveryControlShowsItsParameterWhenOpened)
{
    setPlainValue (processor, "input", 3.5f);
    setPlainValue (processor, "mix", 40.0f);
    setPlainValue (processor, "output", -6.25f);
    setPlainValue (processor, "shape", 30.0f);
    setPlainValue (processor, "bias", 70.0f);
    setPlainValue (processor, "eq", -1.5f);
    setPlainValue (processor, "over", 3.0f);
    setPlainValue (processor, "choice", 2.0f);
    open();

    EXPECT_EQ (sliderLabelled (*editor, "Input").getValue(), 3.5);
    EXPECT_EQ (sliderLabelled (*editor, "Dry/Wet").getValue(), 40.0);
    EXPECT_EQ (sliderLabelled (*editor, "Output").getValue(), -6.25);
    EXPECT_EQ (sliderLabelled (*editor, "Variable Shape").getValue(), 30.0);
    EXPECT_EQ (sliderLabelled (*editor, "Bias").getValue(), 70.0);
    EXPECT_EQ (eqSliderOf (*editor).getValue(), -1.5);
    EXPECT_EQ (oversamplingBoxOf (*editor).getText(), "8x");
    EXPECT_EQ (choiceBoxOf (*editor).getSelectedId(), 3);
    EXPECT_FALSE (linkButtonOf (*editor).getToggleState());

    for (auto text : { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" })
        EXPECT_FALSE (buttonWithText (*editor, text).getToggleState()) << "no button is on before the first tick";
}

TEST_F (Bindings, ValueBoxesJoinTheParameterTextAndTheSuffix)
{
    setPlainValue (processor, "input", -12.0f);
    setPlainValue (processor, "mix", 55.0f);
    open();

    EXPECT_EQ (valueBoxText (sliderLabelled (*editor, "Input")), "-12.00dB");
    EXPECT_EQ (valueBoxText (sliderLabelled (*editor, "Output")), "0.00dB");
    EXPECT_EQ (valueBoxText (sliderLabelled (*editor, "Dry/Wet")), "55%");
    EXPECT_EQ (valueBoxText (sliderLabelled (*editor, "Variable Shape")), "0%");
    EXPECT_EQ (valueBoxText (sliderLabelled (*editor, "Bias")), "0%");

    for (const auto& knob : knobs)
    {
        auto& slider = sliderLabelled (*editor, knob.label);
        EXPECT_EQ (slider.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag) << knob.id;
        EXPECT_EQ (slider.getTextBoxPosition(), juce::Slider::TextBoxBelow) << knob.id;
        EXPECT_FALSE (slider.isTextBoxEditable()) << knob.id;
        EXPECT_EQ (slider.getTextBoxWidth(), 100) << knob.id;
        EXPECT_EQ (slider.getTextBoxHeight(), 25) << knob.id;
    }

    EXPECT_EQ (eqSliderOf (*editor).getSliderStyle(), juce::Slider::LinearBar);
    EXPECT_EQ (eqSliderOf (*editor).getTextBoxPosition(), juce::Slider::NoTextBox);
}

TEST_F (Bindings, MovingAControlSetsItsParameter)
{
    open();

    const std::pair<const char*, double> moves[] = {
        { "input", -7.5 }, { "mix", 25.0 }, { "output", 4.25 }, { "shape", 60.0 }, { "bias", 15.0 }
    };

    for (const auto& [id, value] : moves)
    {
        for (const auto& knob : knobs)
            if (juce::String (knob.id) == id)
                sliderLabelled (*editor, knob.label).setValue (value, juce::sendNotificationSync);

        EXPECT_FLOAT_EQ (plainValue (processor, id), static_cast<float> (value)) << id;
    }

    eqSliderOf (*editor).setValue (2.25, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (plainValue (processor, "eq"), 2.25f);
}

TEST_F (Bindings, OversamplingBoxSetsOverAsOneGesture)
{
    setPlainValue (processor, "over", 3.0f);
    open();
    auto& box = oversamplingBoxOf (*editor);
    ASSERT_EQ (box.getText(), "8x");

    const GestureRecorder host (parameter (processor, "over"));
    box.setSelectedId (5, juce::sendNotificationSync);
    EXPECT_EQ (plainValue (processor, "over"), 4.0f);
    EXPECT_EQ (host.begins, 1);
    EXPECT_EQ (host.ends, 1);

    box.setSelectedId (1, juce::sendNotificationSync);
    EXPECT_EQ (plainValue (processor, "over"), 0.0f);

    setPlainValue (processor, "over", 2.0f);
    EXPECT_EQ (box.getText(), "4x");
}

TEST_F (Bindings, LinkButtonFollowsAndSetsLink)
{
    setPlainValue (processor, "link", 1.0f);
    open();
    auto& link = linkButtonOf (*editor);

    EXPECT_TRUE (link.getToggleState());
    EXPECT_TRUE (showsPlainWhiteIcon (link));

    // A click flashes the down state until the button has been painted once and its
    // timer has run; the window keeps repainting meanwhile.
    link.triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([&] {
        render (link);
        return ! link.getToggleState() && link.getState() == juce::Button::buttonNormal;
    }));
    EXPECT_EQ (plainValue (processor, "link"), 0.0f);
    EXPECT_FALSE (showsPlainWhiteIcon (link));

    // Unlinked, the white icon is tinted half-way to orange (alpha 128 of 0xffa500).
    link.setSize (216, 216);
    const auto enlarged = render (link);
    juce::Colour opaque;
    for (int i = 0; i < enlarged.getWidth() * enlarged.getHeight() && opaque.getAlpha() != 255; ++i)
        opaque = enlarged.getPixelAt (i % enlarged.getWidth(), i / enlarged.getWidth());
    EXPECT_NEAR (opaque.getRed(), 255, 2);
    EXPECT_NEAR (opaque.getGreen(), 210, 2);
    EXPECT_NEAR (opaque.getBlue(), 127, 2);

    setPlainValue (processor, "link", 1.0f);
    EXPECT_TRUE (link.getToggleState());
}

TEST_F (AlgorithmButtons, FirstTickLightsTheCurrentAlgorithm)
{
    auto& tape = buttonWithText (*editor, "Tape");
    ASSERT_FALSE (tape.getToggleState());

    // The editor's own timer, not a direct call: proves that it runs.
    EXPECT_TRUE (runMessageLoopUntil ([&] { return tape.getToggleState(); }));
}

TEST_F (AlgorithmButtons, ClickSelectsTheBoxAtOnceAndReachesChoiceLater)
{
    auto& bypass = buttonWithText (*editor, "Bypass");
    auto& box = choiceBoxOf (*editor);
    auto& meter = meterOf (*editor);

    int selectedInHandler = 0;
    float choiceInHandler = -1.0f;
    const auto handler = bypass.onClick;
    bypass.onClick = [&]
    {
        handler();
        selectedInHandler = box.getSelectedId();
        choiceInHandler = plainValue (processor, "choice");
    };

    bypass.triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return plainValue (processor, "choice") == 4.0f; }));

    EXPECT_EQ (selectedInHandler, 5);
    EXPECT_EQ (choiceInHandler, 0.0f) << "the parameter follows only after the box's notification";
    EXPECT_TRUE (bypass.getToggleState());
    EXPECT_TRUE (meter.bypassed);

    auto& tape = buttonWithText (*editor, "Tape");
    tape.triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return plainValue (processor, "choice") == 0.0f; }));
    EXPECT_FALSE (meter.bypassed);
    EXPECT_FALSE (bypass.getToggleState());

    // A click on the button that is already on keeps everything where it is.
    tape.triggerClick();
    drainMessageLoop();
    EXPECT_TRUE (tape.getToggleState());
    EXPECT_EQ (box.getSelectedId(), 1);
    EXPECT_EQ (plainValue (processor, "choice"), 0.0f);
}

TEST_F (AlgorithmButtons, AutomationLightsTheButtonWithinOneTickWithoutAHandler)
{
    auto& timer = dynamic_cast<juce::Timer&> (*editor);
    timer.timerCallback();

    int handlerCalls = 0;
    for (auto text : { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" })
        buttonWithText (*editor, text).onClick = [&handlerCalls] { ++handlerCalls; };

    const GestureRecorder host (parameter (processor, "choice"));
    setPlainValue (processor, "choice", 2.0f);
    timer.timerCallback();

    EXPECT_TRUE (buttonWithText (*editor, "Tube").getToggleState());
    EXPECT_FALSE (buttonWithText (*editor, "Tape").getToggleState());
    EXPECT_EQ (handlerCalls, 0);
    EXPECT_EQ (host.begins, 0);
    EXPECT_EQ (host.valueChanges, 1) << "only the automation itself";
}

TEST_F (AlgorithmButtons, ChangesFromOtherThreadsAndRestoresReachTheButtons)
{
    auto& timer = dynamic_cast<juce::Timer&> (*editor);
    auto& box = choiceBoxOf (*editor);

    std::thread automation ([this] { setPlainValue (processor, "choice", 3.0f); });
    automation.join();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return box.getSelectedItemIndex() == 3; }));
    timer.timerCallback();
    EXPECT_TRUE (buttonWithText (*editor, "Variable").getToggleState());

    KorvelAudioProcessor other;
    setPlainValue (other, "choice", 1.0f);
    juce::MemoryBlock state;
    other.getStateInformation (state);
    processor.setStateInformation (state.getData(), static_cast<int> (state.getSize()));

    ASSERT_TRUE (runMessageLoopUntil ([&] { return box.getSelectedItemIndex() == 1; }));
    timer.timerCallback();
    EXPECT_TRUE (buttonWithText (*editor, "Soft Clip").getToggleState());
    EXPECT_FALSE (buttonWithText (*editor, "Variable").getToggleState());
}

TEST_F (AlgorithmButtons, WhiteDiscFollowsClicksOnly)
{
    auto& timer = dynamic_cast<juce::Timer&> (*editor);
    auto& meter = meterOf (*editor);

    buttonWithText (*editor, "Tape").triggerClick();
    drainMessageLoop();
    setPlainValue (processor, "choice", 4.0f);
    timer.timerCallback();
    EXPECT_TRUE (buttonWithText (*editor, "Bypass").getToggleState());
    EXPECT_FALSE (meter.bypassed);

    buttonWithText (*editor, "Bypass").triggerClick();
    drainMessageLoop();
    setPlainValue (processor, "choice", 1.0f);
    timer.timerCallback();
    EXPECT_TRUE (buttonWithText (*editor, "Soft Clip").getToggleState());
    EXPECT_TRUE (meter.bypassed);
}

TEST_F (AlgorithmButtons, TickWithoutASelectionMovesNoButtonWhileFollowingTheBox)
{
    auto& timer = dynamic_cast<juce::Timer&> (*editor);
    auto& box = choiceBoxOf (*editor);

    setPlainValue (processor, "choice", 2.0f);
    timer.timerCallback();
    box.setSelectedId (0, juce::dontSendNotification);
    timer.timerCallback();
    EXPECT_TRUE (buttonWithText (*editor, "Tube").getToggleState());
    EXPECT_FALSE (buttonWithText (*editor, "Bypass").getToggleState());

    buttonWithText (*editor, "Tape").triggerClick();
    drainMessageLoop();
    box.setSelectedId (0, juce::dontSendNotification);
    timer.timerCallback();
    EXPECT_TRUE (buttonWithText (*editor, "Bypass").getToggleState());
}

TEST_F (AlgorithmButtons, TickCopiesTheLevelUnchanged)
{
    auto& timer = dynamic_cast<juce::Timer&> (*editor);

    for (auto level : { 0.0f, 0.25f, 1.5f, 3.75f })
    {
        processor.meterLevel.store (level);
        timer.timerCallback();
        EXPECT_EQ (meterOf (*editor).level, level);
    }
}

TEST_F (Bindings, OpensWhiteWhenAlreadyBypassed)
{
    processor.meterLevel.store (0.7f);
    setPlainValue (processor, "choice", 4.0f);
    open();

    EXPECT_TRUE (meterOf (*editor).bypassed);
    EXPECT_EQ (meterOf (*editor).level, 0.0f) << "the level shows from the first tick on";
}
