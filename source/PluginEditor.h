#pragma once

#include "PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The whole window's drawing style: see-through bodies, white rings, a white pointer and
// a thin white eq bar, so the sand texture behind the controls stays visible.
class OtherLookAndFeel : public juce::LookAndFeel_V4
{
public:
    OtherLookAndFeel();

    void drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                           float sliderPos, float minSliderPos, float maxSliderPos,
                           juce::Slider::SliderStyle style, juce::Slider& slider) override;

    void drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle,
                           float rotaryEndAngle, juce::Slider& slider) override;
};

// A slider that ignores popup-menu presses, so a right-click never nudges a value or
// opens a gesture on the host.
class CustomSlider : public juce::Slider
{
public:
    void mouseDown (const juce::MouseEvent& event) override;
};

// The level disc: green at silence, orange at full scale, red at twice full scale, and
// white while the chosen algorithm is "Bypass". The editor writes both fields.
class Metering : public juce::Component
{
public:
    void paint (juce::Graphics& g) override;
    void resized() override;

    float level = 0.0f;
    bool bypassed = false;

private:
    juce::Colour fillColour() const;

    const juce::Colour lowColour { juce::Colours::green };
    const juce::Colour midColour { juce::Colours::orange };
    const juce::Colour highColour { juce::Colours::red };
};

class KorvelAudioProcessorEditor : public juce::AudioProcessorEditor,
                                   public juce::Timer
{
public:
    KorvelAudioProcessorEditor (KorvelAudioProcessor& p, juce::AudioProcessorValueTreeState& vts);
    ~KorvelAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback() override;

private:
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    using ComboBoxAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;

    void addChoiceBox();
    void addRotarySlider (CustomSlider& slider, std::unique_ptr<SliderAttachment>& attachment,
                          const juce::String& parameterID, const juce::String& suffix,
                          juce::Label& label, const juce::String& labelText);
    void addEqSlider();
    void addAlgorithmButton (juce::TextButton& button, const juce::String& text,
                             std::function<void()> handler);
    void addLinkButton();
    void addOversamplingBox();
    void addLogoAndTitle();
    void limitSize();

    void onTapeClick();
    void onSoftClipClick();
    void onTubeClick();
    void onVariableClick();
    void onBypassClick();
    void chooseAlgorithm (DistortionAlgorithm algorithm);
    juce::Button& algorithmButtonFor (int choiceIndex);

    juce::Image backgroundImage;
    OtherLookAndFeel otherLookAndFeel;

    CustomSlider mixSlider;
    CustomSlider inputSlider;
    CustomSlider outputSlider;
    CustomSlider shapeSlider;
    CustomSlider biasSlider;
    CustomSlider eqSlider;

    juce::TextButton tapeButton;
    juce::TextButton softClipButton;
    juce::TextButton tubeButton;
    juce::TextButton variableButton;
    juce::TextButton bypassButton;
    juce::ImageButton linkButton;

    juce::ComboBox oversamplingBox;
    juce::ComboBox choiceBox;

    // The algorithm last chosen with a button, or -1 while the buttons follow the box.
    int lastChoiceIndex = -1;

    juce::Label mixLabel;
    juce::Label inputLabel;
    juce::Label outputLabel;
    juce::Label shapeLabel;
    juce::Label biasLabel;
    juce::Label lfLabel;
    juce::Label hfLabel;
    juce::Label versionLabel;
    juce::Label oversamplingLabel;

    std::unique_ptr<SliderAttachment> mixAttachment;
    std::unique_ptr<SliderAttachment> inputAttachment;
    std::unique_ptr<SliderAttachment> outputAttachment;
    std::unique_ptr<SliderAttachment> shapeAttachment;
    std::unique_ptr<SliderAttachment> biasAttachment;
    std::unique_ptr<SliderAttachment> eqAttachment;
    std::unique_ptr<ButtonAttachment> linkAttachment;
    std::unique_ptr<ComboBoxAttachment> oversamplingAttachment;
    std::unique_ptr<ComboBoxAttachment> choiceAttachment;

    juce::ImageComponent logoImage;
    juce::ImageComponent titleImage;
    juce::ComponentBoundsConstrainer constrainer;
    Metering meter;

    KorvelAudioProcessor& audioProcessor;
    juce::AudioProcessorValueTreeState& valueTreeState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KorvelAudioProcessorEditor)
};
