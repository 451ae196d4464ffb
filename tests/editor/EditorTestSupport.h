#pragma once

#include "MessageLoop.h"
#include "ParameterAccess.h"
#include "PluginEditor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace korvel::test
{
// The editor keeps its controls private; tests reach them the way a screen reader would:
// through the component tree, by type and by the text a user sees.
template <typename ComponentType>
std::vector<ComponentType*> childrenOfType (juce::Component& parent)
{
    std::vector<ComponentType*> found;

    for (auto* child : parent.getChildren())
        if (auto* typed = dynamic_cast<ComponentType*> (child))
            found.push_back (typed);

    return found;
}

inline juce::Label& labelWithText (juce::Component& editor, const juce::String& text)
{
    for (auto* label : childrenOfType<juce::Label> (editor))
        if (label->getText() == text)
            return *label;

    ADD_FAILURE() << "no label reads " << text;
    throw std::runtime_error ("missing label");
}

// A knob is found through the label that the editor attached above it.
inline CustomSlider& sliderLabelled (juce::Component& editor, const juce::String& labelText)
{
    auto* slider = dynamic_cast<CustomSlider*> (labelWithText (editor, labelText).getAttachedComponent());

    if (slider == nullptr)
        throw std::runtime_error ("label is not attached to a slider");

    return *slider;
}

inline juce::TextButton& buttonWithText (juce::Component& editor, const juce::String& text)
{
    for (auto* button : childrenOfType<juce::TextButton> (editor))
        if (button->getButtonText() == text)
            return *button;

    ADD_FAILURE() << "no button reads " << text;
    throw std::runtime_error ("missing button");
}

inline juce::TextButton& algorithmButtonFor (juce::Component& editor, int choiceIndex)
{
    static const char* const texts[] = { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" };
    return buttonWithText (editor, texts[choiceIndex]);
}

inline juce::ComboBox& comboBoxWithFirstItem (juce::Component& editor, const juce::String& firstItem)
{
    for (auto* box : childrenOfType<juce::ComboBox> (editor))
        if (box->getItemText (0) == firstItem)
            return *box;

    ADD_FAILURE() << "no combo box starts with " << firstItem;
    throw std::runtime_error ("missing combo box");
}

inline juce::ComboBox& oversamplingBoxOf (juce::Component& editor) { return comboBoxWithFirstItem (editor, "Off"); }
inline juce::ComboBox& choiceBoxOf (juce::Component& editor)       { return comboBoxWithFirstItem (editor, "Tape"); }
inline CustomSlider& eqSliderOf (juce::Component& editor)          { return sliderLabelled (editor, "LF"); }

inline juce::ImageButton& linkButtonOf (juce::Component& editor)
{
    return *childrenOfType<juce::ImageButton> (editor).at (0);
}

inline Metering& meterOf (juce::Component& editor)
{
    return *childrenOfType<Metering> (editor).at (0);
}

inline juce::ImageComponent& logoOf (juce::Component& editor)
{
    return dynamic_cast<juce::ImageComponent&> (*labelWithText (editor, "v. 1.0.1").getAttachedComponent());
}

inline juce::ImageComponent& titleOf (juce::Component& editor)
{
    for (auto* image : childrenOfType<juce::ImageComponent> (editor))
        if (image != &logoOf (editor))
            return *image;

    throw std::runtime_error ("missing title image");
}

// Lets every message posted so far be handled.
inline void drainMessageLoop()
{
    runMessageLoopFor (20);
}

// Counts the gestures that reach the host, as a host's own listener would.
struct GestureRecorder : juce::AudioProcessorParameter::Listener
{
    explicit GestureRecorder (juce::AudioProcessorParameter& p) : watched (p) { watched.addListener (this); }
    ~GestureRecorder() override { watched.removeListener (this); }

    void parameterValueChanged (int, float) override { ++valueChanges; }
    void parameterGestureChanged (int, bool starting) override { ++(starting ? begins : ends); }

    juce::AudioProcessorParameter& watched;
    int valueChanges = 0;
    int begins = 0;
    int ends = 0;
};

// Prepares the way a plug-in adapter does, so a later re-prepare finds the host's rate.
inline void prepareLikeAHost (KorvelAudioProcessor& processor, int blockSize = 512)
{
    processor.setRateAndBufferSizeDetails (48000.0, blockSize);
    processor.prepareToPlay (48000.0, blockSize);
}

// A processor with its editor, as a host holds them: the editor goes first.
struct EditorFixture : ::testing::Test
{
    void SetUp() override
    {
        prepareLikeAHost (processor);
        editor.reset (processor.createEditor());
    }

    void TearDown() override
    {
        editor.reset();
        drainMessageLoop();
    }

    KorvelAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
};

inline juce::Image render (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
    juce::Graphics g (image);
    component.paintEntireComponent (g, false);
    return image;
}
} // namespace korvel::test
