#include "PluginEditor.h"

#include <BinaryData.h>

namespace
{
// A colour that draws nothing: used wherever the framework would otherwise paint a body
// or an outline over the background texture.
juce::Colour clearPurple()
{
    return juce::Colour (juce::Colours::purple.getHue(), 0.5f, 0.5f, 0.0f);
}

juce::Colour popupOrange()
{
    return juce::Colour (juce::Colours::orange.getHue(), 1.0f, 1.0f, static_cast<juce::uint8> (153));
}

juce::Colour linkOrange()
{
    return juce::Colour (juce::Colours::orange.getHue(), 1.0f, 1.0f, static_cast<juce::uint8> (128));
}

constexpr int algorithmRadioGroup = 1001;
constexpr auto cornerSize = 10.0f;

// Both drawings derive the radius from whole halves of the area, so it is always a whole
// number of pixels.
float radiusFor (int width, int height)
{
    return static_cast<float> (juce::jmin (width / 2, height / 2)) - 4.0f;
}

// A name the system cannot resolve would leave every text of the window without glyphs,
// since the Linux font back end has no fallback face.
bool isTypefaceInstalled (const juce::String& name)
{
    return juce::Font::findAllTypefaceNames().contains (name);
}
} // namespace

//==============================================================================
OtherLookAndFeel::OtherLookAndFeel()
{
    setColour (juce::Slider::textBoxOutlineColourId, clearPurple());
    setColour (juce::TextButton::buttonColourId, clearPurple());
    setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x4cffffffu));
    setColour (juce::ToggleButton::tickColourId, juce::Colours::white);
    setColour (juce::ToggleButton::tickDisabledColourId, juce::Colour (0x4cffffffu));
    setColour (juce::ComboBox::outlineColourId, clearPurple());
    setColour (juce::ComboBox::backgroundColourId, clearPurple());
    setColour (juce::ComboBox::focusedOutlineColourId, clearPurple());
    setColour (juce::PopupMenu::backgroundColourId, popupOrange());
    setColour (juce::PopupMenu::highlightedBackgroundColourId, clearPurple());
}

void OtherLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int, int width, int height,
                                         float sliderPos, float, float,
                                         juce::Slider::SliderStyle, juce::Slider&)
{
    const auto w = static_cast<float> (width);
    const auto h = static_cast<float> (height);

    juce::Path track;
    track.addRoundedRectangle (static_cast<float> (x), h * 0.5f, w, 3.0f, cornerSize, cornerSize,
                               true, true, true, true);

    juce::Path thumb;
    thumb.addRoundedRectangle (-3.0f, -0.25f * h, 6.0f, 0.6f * h, cornerSize, cornerSize,
                               true, true, true, true);
    thumb.applyTransform (juce::AffineTransform::translation (sliderPos - 0.1f * static_cast<float> (x), h * 0.5f));
    thumb.applyTransform (juce::AffineTransform::scale (0.94f, 1.0f, w * 0.5f, h * 0.5f));

    g.setColour (juce::Colours::white);
    g.fillPath (track);
    g.fillPath (thumb);
}

void OtherLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                         float sliderPosProportional, float rotaryStartAngle,
                                         float rotaryEndAngle, juce::Slider&)
{
    const auto radius = radiusFor (width, height);
    const auto centreX = static_cast<float> (x) + static_cast<float> (width) * 0.5f;
    const auto centreY = static_cast<float> (y) + static_cast<float> (height) * 0.5f;
    const auto left = centreX - radius;
    const auto top = centreY - radius;
    const auto side = radius * 2.0f;
    const auto angle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);

    g.setColour (clearPurple());
    g.fillEllipse (left, top, side, side);

    g.setColour (juce::Colours::white);
    g.drawEllipse (left, top, side, side, 3.0f);

    juce::Path pointer;
    pointer.addRoundedRectangle (-3.0f, -radius, 6.0f, radius * 0.6f, cornerSize, cornerSize,
                                 true, true, true, true);
    pointer.applyTransform (juce::AffineTransform::rotation (angle).translated (centreX, centreY));

    g.setColour (juce::Colours::white);
    g.fillPath (pointer);
}

//==============================================================================
void CustomSlider::mouseDown (const juce::MouseEvent& event)
{
    // The real-time state, not the event's: a button that the platform reports down now
    // decides, even when the event was built before it went down.
    if (juce::ModifierKeys::getCurrentModifiersRealtime().isPopupMenu())
        return;

    juce::Slider::mouseDown (event);
}

//==============================================================================
void Metering::paint (juce::Graphics& g)
{
    const auto w = getWidth();
    const auto h = getHeight();
    const auto radius = radiusFor (w, h);

    // Below 8 pixels a side there is no disc left to draw.
    if (radius < 0.0f)
        return;

    const auto left = static_cast<float> (w) * 0.5f - radius;
    const auto top = static_cast<float> (h) * 0.5f - radius;
    const auto side = radius * 2.0f;

    g.setColour (fillColour());
    g.fillEllipse (left, top, side, side);

    g.setColour (juce::Colours::white);
    g.drawEllipse (left, top, side, side, 2.0f);
}

juce::Colour Metering::fillColour() const
{
    if (bypassed)
        return juce::Colours::white;

    if (level > 1.0f)
        return midColour.interpolatedWith (highColour, level - 1.0f);

    return lowColour.interpolatedWith (midColour, level);
}

void Metering::resized()
{
}

//==============================================================================
KorvelAudioProcessorEditor::KorvelAudioProcessorEditor (KorvelAudioProcessor& p,
                                                        juce::AudioProcessorValueTreeState& vts)
    : juce::AudioProcessorEditor (p),
      audioProcessor (p),
      valueTreeState (vts)
{
    juce::LookAndFeel::setDefaultLookAndFeel (&otherLookAndFeel);

    addChoiceBox();

    addRotarySlider (inputSlider, inputAttachment, "input", "dB", inputLabel, "Input");
    addRotarySlider (mixSlider, mixAttachment, "mix", "%", mixLabel, "Dry/Wet");
    addRotarySlider (outputSlider, outputAttachment, "output", "dB", outputLabel, "Output");
    addRotarySlider (shapeSlider, shapeAttachment, "shape", "%", shapeLabel, "Variable Shape");
    addRotarySlider (biasSlider, biasAttachment, "bias", "%", biasLabel, "Bias");

    addEqSlider();

    addAlgorithmButton (tapeButton, "Tape", [this] { onTapeClick(); });
    addAlgorithmButton (softClipButton, "Soft Clip", [this] { onSoftClipClick(); });
    addAlgorithmButton (tubeButton, "Tube", [this] { onTubeClick(); });
    addAlgorithmButton (variableButton, "Variable", [this] { onVariableClick(); });
    addAlgorithmButton (bypassButton, "Bypass", [this] { onBypassClick(); });

    addLinkButton();
    addOversamplingBox();
    addLogoAndTitle();

    // On Linux the framework draws no glyphs at all for a typeface it cannot find, and few
    // Linux systems have Futura; there the default sans-serif typeface stays.
    if (isTypefaceInstalled ("Futura"))
        juce::LookAndFeel::getDefaultLookAndFeel().setDefaultSansSerifTypefaceName ("Futura");

    backgroundImage = juce::ImageCache::getFromMemory (BinaryData::texture_png, BinaryData::texture_pngSize);

    // Until the first click the disc would otherwise show a level colour for a plug-in
    // that is already bypassed.
    meter.bypassed = choiceBox.getSelectedItemIndex() == static_cast<int> (DistortionAlgorithm::Bypass);
    addAndMakeVisible (meter);

    setResizable (true, true);
    limitSize();
    setSize (600, 400);

    startTimer (33);
}

// Members go in reverse order: every attachment before its control, every attached
// label before its owner, and the look-and-feel after everything that draws with it.
// The framework holds the default look-and-feel weakly, so it needs no restoring here.
KorvelAudioProcessorEditor::~KorvelAudioProcessorEditor() = default;

void KorvelAudioProcessorEditor::addChoiceBox()
{
    // The items must exist before the attachment, whose first update selects one of them.
    addAndMakeVisible (choiceBox);
    choiceBox.addItemList ({ "Tape", "Soft Clip", "Tube", "Variable", "Bypass" }, 1);
    choiceAttachment = std::make_unique<ComboBoxAttachment> (valueTreeState, "choice", choiceBox);
}

void KorvelAudioProcessorEditor::addRotarySlider (CustomSlider& slider,
                                                  std::unique_ptr<SliderAttachment>& attachment,
                                                  const juce::String& parameterID,
                                                  const juce::String& suffix,
                                                  juce::Label& label,
                                                  const juce::String& labelText)
{
    addAndMakeVisible (slider);
    attachment = std::make_unique<SliderAttachment> (valueTreeState, parameterID, slider);
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, true, 100, 25);
    slider.setTextValueSuffix (suffix);

    label.setText (labelText, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centredBottom);
    label.attachToComponent (&slider, false);
}

void KorvelAudioProcessorEditor::addEqSlider()
{
    addAndMakeVisible (eqSlider);
    eqAttachment = std::make_unique<SliderAttachment> (valueTreeState, "eq", eqSlider);
    eqSlider.setSliderStyle (juce::Slider::LinearBar);
    eqSlider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);

    for (auto [label, text] : { std::pair { &lfLabel, "LF" }, std::pair { &hfLabel, "HF" } })
    {
        label->setText (text, juce::dontSendNotification);
        label->attachToComponent (&eqSlider, false);
        label->setFont (juce::Font (16.0f));
    }
}

void KorvelAudioProcessorEditor::addAlgorithmButton (juce::TextButton& button, const juce::String& text,
                                                     std::function<void()> handler)
{
    addAndMakeVisible (button);
    button.setRadioGroupId (algorithmRadioGroup);
    button.setButtonText (text);
    button.setClickingTogglesState (true);
    button.onClick = std::move (handler);
}

void KorvelAudioProcessorEditor::addLinkButton()
{
    const auto link = juce::ImageCache::getFromMemory (BinaryData::link_png, BinaryData::link_pngSize);

    addAndMakeVisible (linkButton);
    linkAttachment = std::make_unique<ButtonAttachment> (valueTreeState, "link", linkButton);

    // The overlays tint only the icon's opaque pixels: orange-tinted while unlinked,
    // plain white while linked.
    linkButton.setImages (false, true, true,
                          link, 1.0f, linkOrange(),
                          link, 1.0f, linkOrange(),
                          link, 1.0f, juce::Colours::white,
                          0.0f);
    linkButton.setClickingTogglesState (true);
}

void KorvelAudioProcessorEditor::addOversamplingBox()
{
    addAndMakeVisible (oversamplingBox);
    oversamplingBox.addItem ("Off", 1);
    oversamplingBox.addItem ("2x", 2);
    oversamplingBox.addItem ("4x", 3);
    oversamplingBox.addItem ("8x", 4);
    oversamplingBox.addItem ("16x", 5);
    oversamplingAttachment = std::make_unique<ComboBoxAttachment> (valueTreeState, "over", oversamplingBox);

    oversamplingLabel.setText ("Oversampling", juce::dontSendNotification);
    oversamplingLabel.setJustificationType (juce::Justification::bottom);
    oversamplingLabel.attachToComponent (&oversamplingBox, false);
    addAndMakeVisible (oversamplingLabel);
}

void KorvelAudioProcessorEditor::addLogoAndTitle()
{
    logoImage.setImage (juce::ImageCache::getFromMemory (BinaryData::logo_png, BinaryData::logo_pngSize),
                        juce::RectanglePlacement::stretchToFit);
    addAndMakeVisible (logoImage);

    versionLabel.setText ("v. 1.0.1", juce::dontSendNotification);
    versionLabel.setJustificationType (juce::Justification::bottom);
    versionLabel.attachToComponent (&logoImage, false);
    addAndMakeVisible (versionLabel);

    titleImage.setImage (juce::ImageCache::getFromMemory (BinaryData::title_png, BinaryData::title_pngSize),
                         juce::RectanglePlacement::stretchToFit);
    addAndMakeVisible (titleImage);
}

void KorvelAudioProcessorEditor::limitSize()
{
    constrainer.setSizeLimits (600, 400, 750, 500);
    constrainer.setFixedAspectRatio (1.5);
    setConstrainer (&constrainer);
}

//==============================================================================
void KorvelAudioProcessorEditor::paint (juce::Graphics& g)
{
    if (backgroundImage.isValid())
        g.drawImage (backgroundImage, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);
}

void KorvelAudioProcessorEditor::resized()
{
    // Attached labels follow their owner whenever it moves, so the four that have their
    // own place must come after their owner here.
    inputSlider.setBoundsRelative (0.0f, 0.65f, 0.3f, 0.3f);
    outputSlider.setBoundsRelative (0.7f, 0.65f, 0.3f, 0.3f);
    mixSlider.setBoundsRelative (0.6f, 0.1f, 0.25f, 0.25f);
    shapeSlider.setBoundsRelative (0.15f, 0.1f, 0.25f, 0.25f);
    biasSlider.setBoundsRelative (0.375f, 0.1f, 0.25f, 0.25f);
    eqSlider.setBoundsRelative (0.4f, 0.4f, 0.2f, 0.1f);
    lfLabel.setBoundsRelative (0.35f, 0.425f, 0.05f, 0.05f);
    hfLabel.setBoundsRelative (0.615f, 0.425f, 0.05f, 0.05f);
    tapeButton.setBoundsRelative (0.27f, 0.575f, 0.15f, 0.075f);
    softClipButton.setBoundsRelative (0.425f, 0.575f, 0.15f, 0.075f);
    tubeButton.setBoundsRelative (0.58f, 0.575f, 0.15f, 0.075f);
    variableButton.setBoundsRelative (0.3475f, 0.7f, 0.15f, 0.075f);
    bypassButton.setBoundsRelative (0.5025f, 0.7f, 0.15f, 0.075f);
    linkButton.setBoundsRelative (0.045f, 0.62f, 0.05f, 0.05f);
    oversamplingBox.setBoundsRelative (0.845f, 0.1f, 0.12f, 0.075f);
    oversamplingLabel.setBoundsRelative (0.825f, 0.0f, 0.3f, 0.1f);
    logoImage.setBoundsRelative (0.001f, 0.001f, 0.167f, 0.25f);
    versionLabel.setBoundsRelative (0.05f, 0.19f, 0.1f, 0.1f);
    meter.setBoundsRelative (0.91f, 0.62f, 0.075f, 0.075f);
    titleImage.setBoundsRelative (0.3f, 0.8f, 0.4f, 0.2f);
}

//==============================================================================
void KorvelAudioProcessorEditor::timerCallback()
{
    // Changes of "choice" from the host or a restored state reach only the hidden box;
    // the buttons catch up here, without calling their handlers.
    const auto index = choiceBox.getSelectedItemIndex();

    if (index != lastChoiceIndex)
    {
        algorithmButtonFor (index).setToggleState (true, juce::dontSendNotification);
        lastChoiceIndex = -1;
    }

    meter.level = audioProcessor.meterLevel.load();
    meter.repaint();
}

juce::Button& KorvelAudioProcessorEditor::algorithmButtonFor (int choiceIndex)
{
    switch (choiceIndex)
    {
        case static_cast<int> (DistortionAlgorithm::Tape):     return tapeButton;
        case static_cast<int> (DistortionAlgorithm::SoftClip): return softClipButton;
        case static_cast<int> (DistortionAlgorithm::Tube):     return tubeButton;
        case static_cast<int> (DistortionAlgorithm::Variable): return variableButton;
        default:                                               return bypassButton;
    }
}

void KorvelAudioProcessorEditor::onTapeClick()      { chooseAlgorithm (DistortionAlgorithm::Tape); }
void KorvelAudioProcessorEditor::onSoftClipClick()  { chooseAlgorithm (DistortionAlgorithm::SoftClip); }
void KorvelAudioProcessorEditor::onTubeClick()      { chooseAlgorithm (DistortionAlgorithm::Tube); }
void KorvelAudioProcessorEditor::onVariableClick()  { chooseAlgorithm (DistortionAlgorithm::Variable); }
void KorvelAudioProcessorEditor::onBypassClick()    { chooseAlgorithm (DistortionAlgorithm::Bypass); }

void KorvelAudioProcessorEditor::chooseAlgorithm (DistortionAlgorithm algorithm)
{
    // The box's attachment carries the choice on to the parameter once the asynchronous
    // notification arrives; the timer then finds box and button in step.
    const auto index = static_cast<int> (algorithm);
    choiceBox.setSelectedId (index + 1, juce::sendNotificationAsync);
    lastChoiceIndex = index;
    meter.bypassed = algorithm == DistortionAlgorithm::Bypass;
}
