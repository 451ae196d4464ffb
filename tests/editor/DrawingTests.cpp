#include "EditorTestSupport.h"

#include <cmath>

using namespace korvel::test;

namespace
{
juce::uint8 alphaAt (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y).getAlpha();
}

// Leftmost and rightmost column of a row that holds any paint.
std::pair<int, int> paintedColumns (const juce::Image& image, int row)
{
    int first = -1, last = -1;

    for (int x = 0; x < image.getWidth(); ++x)
        if (alphaAt (image, x, row) != 0)
            last = (first < 0 ? first = x : x);

    return { first, last };
}

std::pair<int, int> paintedRows (const juce::Image& image, int column)
{
    int first = -1, last = -1;

    for (int y = 0; y < image.getHeight(); ++y)
        if (alphaAt (image, column, y) != 0)
            last = (first < 0 ? first = y : y);

    return { first, last };
}

// Where the paint of a row is centred, each pixel weighted by its coverage.
double paintCentreOfRow (const juce::Image& image, int row)
{
    double weighted = 0.0, total = 0.0;

    for (int x = 0; x < image.getWidth(); ++x)
    {
        const auto alpha = static_cast<double> (alphaAt (image, x, row));
        weighted += alpha * (x + 0.5);
        total += alpha;
    }

    return weighted / total;
}

juce::Image drawRotary (float position, float startAngle, float endAngle)
{
    OtherLookAndFeel lookAndFeel;
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, 101, 80, true);
    juce::Graphics g (image);
    lookAndFeel.drawRotarySlider (g, 0, 0, 101, 80, position, startAngle, endAngle, slider);
    return image;
}

juce::Image drawLinear (int y, float position)
{
    OtherLookAndFeel lookAndFeel;
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, 100, 40, true);
    juce::Graphics g (image);
    lookAndFeel.drawLinearSlider (g, 0, y, 100, 40, position, 0.0f, 100.0f, juce::Slider::LinearBar, slider);
    return image;
}

juce::Colour centreColourOf (Metering& meter)
{
    return render (meter).getPixelAt (meter.getWidth() / 2, meter.getHeight() / 2);
}
} // namespace

TEST (LookAndFeel, FillsItsTenColoursAndLeavesTheRestToTheBase)
{
    const OtherLookAndFeel lookAndFeel;
    const juce::LookAndFeel_V4 base;

    EXPECT_EQ (lookAndFeel.findColour (juce::Slider::textBoxOutlineColourId).getARGB(), 0x00804080u);
    EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonColourId).getARGB(), 0x00804080u);
    EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonOnColourId).getARGB(), 0x4cffffffu);
    EXPECT_EQ (lookAndFeel.findColour (juce::ToggleButton::tickColourId).getARGB(), 0xffffffffu);
    EXPECT_EQ (lookAndFeel.findColour (juce::ToggleButton::tickDisabledColourId).getARGB(), 0x4cffffffu);
    EXPECT_EQ (lookAndFeel.findColour (juce::ComboBox::outlineColourId).getARGB(), 0x00804080u);
    EXPECT_EQ (lookAndFeel.findColour (juce::ComboBox::backgroundColourId).getARGB(), 0x00804080u);
    EXPECT_EQ (lookAndFeel.findColour (juce::ComboBox::focusedOutlineColourId).getARGB(), 0x00804080u);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::backgroundColourId).getARGB(), 0x99ffa500u);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedBackgroundColourId).getARGB(), 0x00804080u);

    for (int id : { juce::Slider::thumbColourId, juce::Slider::trackColourId,
                    juce::Slider::rotarySliderFillColourId, juce::Slider::rotarySliderOutlineColourId })
        EXPECT_EQ (lookAndFeel.findColour (id), base.findColour (id));
}

TEST (LookAndFeel, RotaryRingSitsOnTheWholePixelRadiusAroundTheExactCentre)
{
    // Area 101 x 80: radius min (50, 40) - 4 = 36 about (50.5, 40); the 3-pixel ring
    // reaches 37.5 out. The pointer is turned down, out of the top of the ring.
    const auto image = drawRotary (0.0f, juce::MathConstants<float>::pi, juce::MathConstants<float>::pi);

    EXPECT_EQ (paintedColumns (image, 40), std::make_pair (13, 87));
    EXPECT_EQ (paintedRows (image, 50), std::make_pair (2, 77));
    EXPECT_EQ (alphaAt (image, 50, 3), 255);
    EXPECT_EQ (alphaAt (image, 50, 10), 0) << "the body must not show";
}

TEST (LookAndFeel, RotaryPointerTurnsClockwiseFromStraightUp)
{
    const auto pi = juce::MathConstants<float>::pi;

    const auto atStart = drawRotary (0.0f, 0.0f, pi);
    EXPECT_EQ (alphaAt (atStart, 50, 8), 255);
    EXPECT_EQ (alphaAt (atStart, 50, 24), 255);
    EXPECT_EQ (alphaAt (atStart, 50, 28), 0) << "the pointer covers only the outer 0.6 of the radius";
    EXPECT_EQ (alphaAt (atStart, 70, 40), 0);

    const auto halfway = drawRotary (0.5f, 0.0f, pi);
    EXPECT_EQ (alphaAt (halfway, 70, 40), 255);
    EXPECT_EQ (alphaAt (halfway, 30, 40), 0);
    EXPECT_EQ (alphaAt (halfway, 50, 8), 0);

    const auto atEnd = drawRotary (1.0f, 0.0f, pi);
    EXPECT_EQ (alphaAt (atEnd, 50, 70), 255);
}

TEST (LookAndFeel, RotaryDrawingOfANineByNineAreaCompletesAtRadiusZero)
{
    OtherLookAndFeel lookAndFeel;
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, 9, 9, true);
    juce::Graphics g (image);

    lookAndFeel.drawRotarySlider (g, 0, 0, 9, 9, 0.5f, 0.0f, 1.0f, slider);
    EXPECT_GT (image.getPixelAt (4, 4).getAlpha(), 0) << "the ring's stroke remains";
}

TEST (LookAndFeel, LinearThumbIsDrawnTowardsTheMiddle)
{
    // Row 30 holds only the thumb (0.25 to 0.85 of the height); the track lies at 20 to 23.
    EXPECT_NEAR (paintCentreOfRow (drawLinear (0, 50.0f), 30), 50.0, 0.02);
    EXPECT_NEAR (paintCentreOfRow (drawLinear (0, 0.0f), 30), 3.0, 0.02);
    EXPECT_EQ (paintedColumns (drawLinear (0, 0.0f), 30), std::make_pair (0, 5));
    EXPECT_EQ (paintedColumns (drawLinear (0, 0.0f), 21), std::make_pair (0, 99));
    EXPECT_EQ (paintedRows (drawLinear (0, 50.0f), 50), std::make_pair (10, 33));
}

TEST (LookAndFeel, LinearDrawingIgnoresTheTopOfTheArea)
{
    const auto atZero = drawLinear (0, 30.0f);
    const auto moved = drawLinear (17, 30.0f);

    for (int y = 0; y < atZero.getHeight(); ++y)
        for (int x = 0; x < atZero.getWidth(); ++x)
            ASSERT_EQ (atZero.getPixelAt (x, y), moved.getPixelAt (x, y)) << x << ", " << y;
}

TEST (Metering, ColourFollowsTheLevelFromGreenThroughOrangeToRed)
{
    Metering meter;
    meter.setSize (45, 30);

    const std::pair<float, juce::uint32> expected[] = {
        { -1.0f, 0xff008000u }, { 0.0f, 0xff008000u }, { 0.5f, 0xff7f9200u }, { 1.0f, 0xffffa500u },
        { 1.5f, 0xffff5200u }, { 2.0f, 0xffff0000u }, { 5.0f, 0xffff0000u }
    };

    for (const auto& [level, argb] : expected)
    {
        meter.level = level;
        EXPECT_EQ (centreColourOf (meter).getARGB(), argb) << "level " << level;
    }
}

TEST (Metering, BypassedDiscIsWhiteAtEveryLevel)
{
    Metering meter;
    meter.setSize (45, 30);
    meter.bypassed = true;

    for (auto level : { 0.0f, 1.0f, 1.5f, 3.0f })
    {
        meter.level = level;
        EXPECT_EQ (centreColourOf (meter).getARGB(), 0xffffffffu);
    }
}

TEST (Metering, DiscTakesItsRadiusFromTheSmallerWholeHalf)
{
    Metering meter;
    meter.level = 0.0f;

    // 45 x 30: radius min (22, 15) - 4 = 11 about (22.5, 15); the 2-pixel ring adds 1.
    meter.setSize (45, 30);
    const auto wide = render (meter);
    EXPECT_EQ (paintedColumns (wide, 15), std::make_pair (10, 34));
    EXPECT_EQ (paintedRows (wide, 22), std::make_pair (3, 26));
    EXPECT_EQ (wide.getPixelAt (11, 15).getARGB(), 0xffffffffu) << "ring";
    EXPECT_EQ (alphaAt (wide, 0, 0), 0) << "nothing outside the ring";

    // 45 x 45: radius 22 - 4 = 18 about (22.5, 22.5).
    meter.setSize (45, 45);
    const auto square = render (meter);
    EXPECT_EQ (paintedColumns (square, 22), std::make_pair (3, 41));
    EXPECT_EQ (paintedRows (square, 22), std::make_pair (3, 41));
}

TEST (Metering, DiscTooSmallForARadiusPaintsNothing)
{
    Metering meter;
    meter.setSize (7, 30);
    const auto image = render (meter);

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            ASSERT_EQ (alphaAt (image, x, y), 0);
}

namespace
{
using EditorDrawing = EditorFixture;

int paintedPixels (const juce::Image& image)
{
    int count = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            count += image.getPixelAt (x, y).getAlpha() != 0 ? 1 : 0;

    return count;
}
} // namespace

TEST_F (EditorDrawing, TextStaysVisibleWhateverTypefacesTheSystemHas)
{
    // "Futura" is asked for only where it exists: an unknown name leaves Linux without glyphs.
    const auto typeface = juce::LookAndFeel::getDefaultLookAndFeel().getTypefaceForFont (juce::Font (15.0f));
    ASSERT_NE (typeface, nullptr);
    EXPECT_EQ (typeface->getName() == "Futura", juce::Font::findAllTypefaceNames().contains ("Futura"));

    for (auto text : { "Input", "LF", "Oversampling", "v. 1.0.1" })
        EXPECT_GT (paintedPixels (render (labelWithText (*editor, text))), 0) << text;

    EXPECT_GT (paintedPixels (render (buttonWithText (*editor, "Soft Clip"))), 0);
}

TEST_F (EditorDrawing, BackgroundCoversTheWholeWindowAtEverySize)
{
    // The resampled edge of the stretched texture may keep a trace of transparency.
    for (auto size : { std::pair { 600, 400 }, std::pair { 750, 500 } })
    {
        editor->setSize (size.first, size.second);
        juce::Image image (juce::Image::ARGB, size.first, size.second, true);
        juce::Graphics g (image);
        editor->paint (g);

        for (auto corner : { juce::Point { 0, 0 }, juce::Point { size.first - 1, size.second - 1 },
                             juce::Point { size.first / 2, size.second / 2 } })
            EXPECT_GE (image.getPixelAt (corner.x, corner.y).getAlpha(), 250) << corner.toString();
    }
}
