#include "EditorTestSupport.h"

using namespace korvel::test;

namespace
{
juce::MouseEvent mouseEventOn (juce::Component& component, juce::Point<float> position,
                               juce::Point<float> downPosition, juce::ModifierKeys eventModifiers)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), position, eventModifiers,
             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
             juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
             juce::MouseInputSource::defaultTiltY, &component, &component, now, downPosition, now, 1,
             position != downPosition };
}

// The real-time modifier state is what the platform reports at the moment of the press;
// on Linux the framework keeps it in ModifierKeys::currentModifiers.
struct RealtimeModifiers
{
    explicit RealtimeModifiers (juce::ModifierKeys mods) { juce::ModifierKeys::currentModifiers = mods; }
    ~RealtimeModifiers() { juce::ModifierKeys::currentModifiers = {}; }
};

const juce::ModifierKeys left { juce::ModifierKeys::leftButtonModifier };
const juce::ModifierKeys right { juce::ModifierKeys::rightButtonModifier };

struct KnobPress : EditorFixture
{
    void SetUp() override
    {
        EditorFixture::SetUp();
        knob = &sliderLabelled (*editor, "Input");
        host = std::make_unique<GestureRecorder> (parameter (processor, "input"));
    }

    void TearDown() override
    {
        host.reset();
        EditorFixture::TearDown();
    }

    // Presses at the knob's centre, drags 40 pixels up and releases.
    void pressAndDrag (juce::ModifierKeys realtime, juce::ModifierKeys eventModifiers)
    {
        const RealtimeModifiers pressed (realtime);
        const auto centre = knob->getLocalBounds().getCentre().toFloat();
        const auto above = centre.translated (0.0f, -40.0f);

        knob->mouseDown (mouseEventOn (*knob, centre, centre, eventModifiers));
        gesturesAfterPress = host->begins;
        valueAfterPress = knob->getValue();
        knob->mouseDrag (mouseEventOn (*knob, above, centre, eventModifiers));
        knob->mouseUp (mouseEventOn (*knob, above, centre, eventModifiers));
    }

    CustomSlider* knob = nullptr;
    std::unique_ptr<GestureRecorder> host;
    int gesturesAfterPress = -1;
    double valueAfterPress = 0.0;
};
} // namespace

TEST_F (KnobPress, RightButtonPressLeavesValueAndHostAlone)
{
    pressAndDrag (right, right);

    EXPECT_EQ (knob->getValue(), 0.0);
    EXPECT_EQ (plainValue (processor, "input"), 0.0f);
    EXPECT_EQ (host->begins, 0);
    EXPECT_EQ (host->ends, 0);
    EXPECT_EQ (host->valueChanges, 0);
}

TEST_F (KnobPress, PlainLeftPressDragsTheValueWithinOneGesture)
{
    pressAndDrag (left, left);

    EXPECT_EQ (gesturesAfterPress, 1);
    EXPECT_EQ (valueAfterPress, 0.0);
    EXPECT_GT (knob->getValue(), 0.0);
    EXPECT_EQ (plainValue (processor, "input"), static_cast<float> (knob->getValue()));
    EXPECT_EQ (host->begins, 1);
    EXPECT_EQ (host->ends, 1);
}

TEST_F (KnobPress, RealtimeStateDecidesNotTheEventsModifiers)
{
    pressAndDrag (right, left);
    EXPECT_EQ (host->begins, 0);

    pressAndDrag (left.withFlags (juce::ModifierKeys::shiftModifier), right);
    EXPECT_EQ (host->begins, 1);
    EXPECT_GT (knob->getValue(), 0.0);
}
