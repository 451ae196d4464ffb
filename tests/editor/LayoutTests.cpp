#include "EditorTestSupport.h"

using namespace korvel::test;

namespace
{
using Bounds = juce::Rectangle<int>;

struct Placement
{
    const char* name;
    Bounds at600x400;
    Bounds at750x500;
};

juce::Component& componentNamed (juce::Component& editor, const juce::String& name)
{
    if (name == "input")          return sliderLabelled (editor, "Input");
    if (name == "output")         return sliderLabelled (editor, "Output");
    if (name == "mix")            return sliderLabelled (editor, "Dry/Wet");
    if (name == "shape")          return sliderLabelled (editor, "Variable Shape");
    if (name == "bias")           return sliderLabelled (editor, "Bias");
    if (name == "eq")             return eqSliderOf (editor);
    if (name == "lfLabel")        return labelWithText (editor, "LF");
    if (name == "hfLabel")        return labelWithText (editor, "HF");
    if (name == "link")           return linkButtonOf (editor);
    if (name == "oversampling")   return oversamplingBoxOf (editor);
    if (name == "overLabel")      return labelWithText (editor, "Oversampling");
    if (name == "logo")           return logoOf (editor);
    if (name == "versionLabel")   return labelWithText (editor, "v. 1.0.1");
    if (name == "meter")          return meterOf (editor);
    if (name == "title")          return titleOf (editor);
    if (name == "mixLabel")       return labelWithText (editor, "Dry/Wet");
    if (name == "inputLabel")     return labelWithText (editor, "Input");
    if (name == "outputLabel")    return labelWithText (editor, "Output");
    if (name == "shapeLabel")     return labelWithText (editor, "Variable Shape");
    if (name == "biasLabel")      return labelWithText (editor, "Bias");
    return buttonWithText (editor, name);
}

// Each position and size is rounded on its own, an exact half going to the even integer.
const Placement placements[] = {
    { "input",        { 0, 260, 180, 120 },  { 0, 325, 225, 150 } },
    { "output",       { 420, 260, 180, 120 },{ 525, 325, 225, 150 } },
    { "mix",          { 360, 40, 150, 100 }, { 450, 50, 188, 125 } },
    { "shape",        { 90, 40, 150, 100 },  { 113, 50, 188, 125 } },
    { "bias",         { 225, 40, 150, 100 }, { 281, 50, 188, 125 } },
    { "eq",           { 240, 160, 120, 40 }, { 300, 200, 150, 50 } },
    { "lfLabel",      { 210, 170, 30, 20 },  { 262, 212, 38, 25 } },
    { "hfLabel",      { 369, 170, 30, 20 },  { 461, 212, 38, 25 } },
    { "Tape",         { 162, 230, 90, 30 },  { 203, 288, 113, 38 } },
    { "Soft Clip",    { 255, 230, 90, 30 },  { 319, 288, 113, 38 } },
    { "Tube",         { 348, 230, 90, 30 },  { 435, 288, 113, 38 } },
    { "Variable",     { 208, 280, 90, 30 },  { 261, 350, 113, 38 } },
    { "Bypass",       { 302, 280, 90, 30 },  { 377, 350, 113, 38 } },
    { "link",         { 27, 248, 30, 20 },   { 34, 310, 38, 25 } },
    { "oversampling", { 507, 40, 72, 30 },   { 634, 50, 90, 38 } },
    { "overLabel",    { 495, 0, 180, 40 },   { 619, 0, 225, 50 } },
    { "logo",         { 1, 0, 100, 100 },    { 1, 0, 125, 125 } },
    { "versionLabel", { 30, 76, 60, 40 },    { 38, 95, 75, 50 } },
    { "meter",        { 546, 248, 45, 30 },  { 682, 310, 56, 38 } },
    { "title",        { 180, 320, 240, 80 }, { 225, 400, 300, 100 } },
    // Placed by the framework above their knobs: the default label font makes them 24 high.
    { "mixLabel",     { 360, 16, 150, 24 },  { 450, 26, 188, 24 } },
    { "inputLabel",   { 0, 236, 180, 24 },   { 0, 301, 225, 24 } },
    { "outputLabel",  { 420, 236, 180, 24 }, { 525, 301, 225, 24 } },
    { "shapeLabel",   { 90, 16, 150, 24 },   { 113, 26, 188, 24 } },
    { "biasLabel",    { 225, 16, 150, 24 },  { 281, 26, 188, 24 } },
};

void expectPlacementsAt (juce::Component& editor, bool large)
{
    for (const auto& placement : placements)
        EXPECT_EQ (componentNamed (editor, placement.name).getBounds(),
                   large ? placement.at750x500 : placement.at600x400)
            << placement.name << " at " << editor.getWidth() << " x " << editor.getHeight();
}

using Layout = EditorFixture;
} // namespace

TEST_F (Layout, OpensAt600x400WithEveryComponentInPlace)
{
    EXPECT_EQ (editor->getLocalBounds(), Bounds (0, 0, 600, 400));
    expectPlacementsAt (*editor, false);
}

TEST_F (Layout, ScalesTo750x500AndBackWithoutLabelsDrifting)
{
    // The labels with their own row must keep it after every resize, never sliding
    // back above the owner they are attached to.
    for (int round = 0; round < 2; ++round)
    {
        editor->setSize (750, 500);
        expectPlacementsAt (*editor, true);

        editor->setSize (600, 400);
        expectPlacementsAt (*editor, false);
    }
}

TEST_F (Layout, HiddenChoiceBoxStaysEmptyAtTheOrigin)
{
    auto& box = choiceBoxOf (*editor);

    for (auto size : { std::pair { 600, 400 }, std::pair { 750, 500 }, std::pair { 690, 460 } })
    {
        editor->setSize (size.first, size.second);
        EXPECT_EQ (box.getBounds(), Bounds());
    }

    EXPECT_TRUE (box.isVisible());
    editor->setVisible (true);
    EXPECT_EQ (editor->getComponentAt (0, 0), editor.get()) << "nothing can be clicked at the box";
}

TEST_F (Layout, LabelsAreTheEditorsChildrenAndSitAboveTheirOwners)
{
    for (auto text : { "Dry/Wet", "Input", "Output", "Variable Shape", "Bias", "LF", "HF", "Oversampling", "v. 1.0.1" })
    {
        auto& label = labelWithText (*editor, text);
        EXPECT_EQ (label.getParentComponent(), editor.get()) << text;
        EXPECT_TRUE (label.isVisible()) << text;
        EXPECT_FALSE (label.isAttachedOnLeft()) << text;
    }

    EXPECT_EQ (labelWithText (*editor, "LF").getAttachedComponent(), &eqSliderOf (*editor));
    EXPECT_EQ (labelWithText (*editor, "HF").getAttachedComponent(), &eqSliderOf (*editor));
    EXPECT_EQ (labelWithText (*editor, "Oversampling").getAttachedComponent(), &oversamplingBoxOf (*editor));
}

TEST_F (Layout, SizeStaysWithinLimitsAtAFixedRatio)
{
    auto* constrainer = editor->getConstrainer();
    ASSERT_NE (constrainer, nullptr);
    EXPECT_EQ (constrainer->getMinimumWidth(), 600);
    EXPECT_EQ (constrainer->getMinimumHeight(), 400);
    EXPECT_EQ (constrainer->getMaximumWidth(), 750);
    EXPECT_EQ (constrainer->getMaximumHeight(), 500);
    EXPECT_EQ (constrainer->getFixedAspectRatio(), 1.5);
    EXPECT_TRUE (editor->isResizable());

    editor->setBoundsConstrained ({ 0, 0, 2000, 2000 });
    EXPECT_EQ (editor->getLocalBounds(), Bounds (0, 0, 750, 500));

    editor->setBoundsConstrained ({ 0, 0, 100, 100 });
    EXPECT_EQ (editor->getLocalBounds(), Bounds (0, 0, 600, 400));

    editor->setBoundsConstrained ({ 0, 0, 690, 400 });
    EXPECT_EQ (editor->getWidth() * 2, editor->getHeight() * 3);
}

TEST_F (Layout, StackingPutsTheMeterLinkAndVersionInFront)
{
    const auto& children = editor->getChildren();
    const auto indexOf = [&children] (juce::Component& c) { return children.indexOf (&c); };

    EXPECT_GT (indexOf (meterOf (*editor)), indexOf (sliderLabelled (*editor, "Output")));
    EXPECT_GT (indexOf (linkButtonOf (*editor)), indexOf (sliderLabelled (*editor, "Input")));
    EXPECT_GT (indexOf (labelWithText (*editor, "v. 1.0.1")), indexOf (logoOf (*editor)));
}
