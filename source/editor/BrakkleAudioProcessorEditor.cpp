#include "BrakkleAudioProcessorEditor.h"

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"

#include <BinaryData.h>

//==============================================================================
namespace
{
    /** The colours both knob look-and-feels share: a white dot, no arcs. */
    void setKnobColours (juce::LookAndFeel_V4& lookAndFeel)
    {
        lookAndFeel.setColour (juce::Slider::thumbColourId, juce::Colours::white);
        lookAndFeel.setColour (juce::Slider::rotarySliderOutlineColourId, juce::Colours::transparentWhite);
        lookAndFeel.setColour (juce::Slider::rotarySliderFillColourId, juce::Colours::transparentWhite);
    }

    /** The inherited layout with the knob area moved so that the dot circles the
        painted face: the area keeps its size, only its corner moves. */
    /** Pixels of drag over a three-position knob's whole travel. */
    constexpr int threePositionDragPixels = 90;

    juce::Slider::SliderLayout movedKnobArea (juce::Slider::SliderLayout layout)
    {
        layout.sliderBounds.setPosition (-5, 40);
        return layout;
    }
}

//==============================================================================
BrakkleAudioProcessorEditor::LargeSliderLookAndFeel::LargeSliderLookAndFeel()
{
    setKnobColours (*this);
}

juce::Slider::SliderLayout BrakkleAudioProcessorEditor::LargeSliderLookAndFeel::getSliderLayout (juce::Slider& slider)
{
    auto layout = movedKnobArea (LookAndFeel_V4::getSliderLayout (slider));
    layout.textBoxBounds = { (slider.getWidth() - 80) / 2 - 5, 4, 80, 20 };
    return layout;
}

BrakkleAudioProcessorEditor::SmallSliderLookAndFeel::SmallSliderLookAndFeel()
{
    setKnobColours (*this);
}

juce::Slider::SliderLayout BrakkleAudioProcessorEditor::SmallSliderLookAndFeel::getSliderLayout (juce::Slider& slider)
{
    auto layout = movedKnobArea (LookAndFeel_V4::getSliderLayout (slider));
    layout.textBoxBounds = { (slider.getWidth() - 80) / 2 - 6, 20, 80, 20 };
    return layout;
}

BrakkleAudioProcessorEditor::MiniSliderLookAndFeel::MiniSliderLookAndFeel()
{
    setKnobColours (*this);
}

juce::Slider::SliderLayout BrakkleAudioProcessorEditor::MiniSliderLookAndFeel::getSliderLayout (juce::Slider& slider)
{
    // The knob area is the square the dot's whole circle fills, on the face centre.
    const auto circle = juce::roundToInt (2.0f * dotPathRadius + dotDiameter);

    juce::Slider::SliderLayout layout;
    layout.textBoxBounds = { (slider.getWidth() - valueBoxWidth) / 2, 0, valueBoxWidth, valueBoxHeight };
    layout.sliderBounds = juce::Rectangle<int> (circle, circle).withCentre ({ slider.getWidth() / 2, faceCentreY });
    return layout;
}

void BrakkleAudioProcessorEditor::MiniSliderLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                                                           float sliderPos, float rotaryStartAngle,
                                                                           float rotaryEndAngle, juce::Slider& slider)
{
    // Only the dot: the face, its scale and its caption are in the background.
    const auto centre = juce::Rectangle<int> (x, y, width, height).toFloat().getCentre();
    const auto angle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);
    const auto dot = centre.getPointOnCircumference (dotPathRadius, angle);

    g.setColour (slider.findColour (juce::Slider::thumbColourId));
    g.fillEllipse (juce::Rectangle<float> (dotDiameter, dotDiameter).withCentre (dot));
}

juce::Label* BrakkleAudioProcessorEditor::MiniSliderLookAndFeel::createSliderTextBox (juce::Slider& slider)
{
    // "16/16" and "100 %" fit the small box at 13 pixels without squeezing.
    auto* box = LookAndFeel_V4::createSliderTextBox (slider);
    box->setFont (juce::FontOptions (13.0f));
    return box;
}

juce::Slider::SliderLayout BrakkleAudioProcessorEditor::WideBoxSliderLookAndFeel::getSliderLayout (juce::Slider& slider)
{
    auto layout = MiniSliderLookAndFeel::getSliderLayout (slider);
    layout.textBoxBounds = { (slider.getWidth() - wideBoxWidth) / 2, 0, wideBoxWidth, valueBoxHeight };
    return layout;
}

//==============================================================================
BrakkleAudioProcessorEditor::BrakkleAudioProcessorEditor (BrakkleAudioProcessor& owner,
                                                          juce::AudioProcessorValueTreeState& state)
    : AudioProcessorEditor (owner),
      presetBar (owner.presets),
      valueTreeState (state)
{
    initializeControls();
    addAndMakeVisible (presetBar);
    setSize (800, 600);
}

BrakkleAudioProcessorEditor::~BrakkleAudioProcessorEditor()
{
    // The look-and-feels are destroyed before the knobs: take them back first.
    for (auto* knob : { &stutterTimeFreeSlider, &stutterTimeBpmSlider, &refreshTimeFreeSlider, &refreshTimeBpmSlider,
                        &inputSlider, &mixSlider, &outputSlider, &filterFreqSlider, &filterMixSlider,
                        &fadeVolSlider, &fadeMixSlider, &stereoWidthSlider, &stereoMixSlider,
                        &fillOffsetSlider, &fillGateSlider, &fillChanceSlider, &fillSeedSlider,
                        &variationSlider, &pitchSlider, &pitchDecaySlider, &reverseSlider })
        knob->setLookAndFeel (nullptr);
}

void BrakkleAudioProcessorEditor::paint (juce::Graphics& g)
{
    // Asked for on every paint: the cache keeps the decoded picture while it is
    // in use and may let it go when the window sits idle.
    const auto background = juce::ImageCache::getFromMemory (BinaryData::Brakkle_Skin_png,
                                                             BinaryData::Brakkle_Skin_pngSize);

    if (background.isValid())
        g.drawImage (background, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);
}

void BrakkleAudioProcessorEditor::resized()
{
    // Fixed places over the background picture, whatever the window's size.
    stutterTimeFreeSlider.setBounds (110, 120, 235, 235);
    stutterTimeBpmSlider.setBounds (110, 120, 235, 235);
    refreshTimeFreeSlider.setBounds (464, 120, 235, 235);
    refreshTimeBpmSlider.setBounds (464, 120, 235, 235);
    stutterSyncButton.setBounds (173, 375, 45, 16);
    refreshSyncButton.setBounds (513, 375, 45, 16);
    inputSlider.setBounds (-9, 262, 150, 150);
    mixSlider.setBounds (330, 262, 150, 150);
    outputSlider.setBounds (669, 262, 150, 150);
    filterFreqSlider.setBounds (14, 430, 150, 150);
    filterMixSlider.setBounds (112, 430, 150, 150);
    fadeVolSlider.setBounds (281, 430, 150, 150);
    fadeMixSlider.setBounds (379, 430, 150, 150);
    stereoWidthSlider.setBounds (547, 430, 150, 150);
    stereoMixSlider.setBounds (644, 430, 150, 150);
    gridLockButton.setBounds (362, 126, 45, 16);
    fillOffsetSlider.setBounds (364, 20, 56, 54);
    fillGateSlider.setBounds (422, 20, 56, 54);
    fillChanceSlider.setBounds (480, 20, 56, 54);
    fillSeedSlider.setBounds (538, 20, 56, 54);
    presetBar.setBounds (presetBarBounds());

    if (repeatPad != nullptr)
        repeatPad->setBounds (355, 160, 90, 92);

    variationSlider.setBounds (616, 30, 56, 54);
    pitchSlider.setBounds (673, 30, 56, 54);
    pitchDecaySlider.setBounds (730, 30, 56, 54);
    reverseSlider.setBounds (704, 98, 80, 54);
}

//==============================================================================
void BrakkleAudioProcessorEditor::initializeControls()
{
    const auto onImage = juce::ImageCache::getFromMemory (BinaryData::Toggle_Button_On_png,
                                                          BinaryData::Toggle_Button_On_pngSize);
    const auto offImage = juce::ImageCache::getFromMemory (BinaryData::Toggle_Button_Off_png,
                                                           BinaryData::Toggle_Button_Off_pngSize);

    configureKnob (stutterTimeFreeSlider, ParameterIds::stutterTimeFree, " ms", largeSliderLookAndFeel, stutterTimeFreeAttachment);
    configureKnob (stutterTimeBpmSlider, ParameterIds::stutterTimeBpm, {}, largeSliderLookAndFeel, stutterTimeBpmAttachment);
    showTimeKnob (isSyncOn (ParameterIds::stutterSync), stutterTimeFreeSlider, stutterTimeBpmSlider);
    configureSyncToggle (stutterSyncButton, ParameterIds::stutterSync, stutterSyncAttachment,
                         stutterTimeFreeSlider, stutterTimeBpmSlider, onImage, offImage);

    configureKnob (refreshTimeFreeSlider, ParameterIds::refreshTimeFree, " ms", largeSliderLookAndFeel, refreshTimeFreeAttachment);
    configureKnob (refreshTimeBpmSlider, ParameterIds::refreshTimeBpm, {}, largeSliderLookAndFeel, refreshTimeBpmAttachment);
    showTimeKnob (isSyncOn (ParameterIds::refreshSync), refreshTimeFreeSlider, refreshTimeBpmSlider);
    configureSyncToggle (refreshSyncButton, ParameterIds::refreshSync, refreshSyncAttachment,
                         refreshTimeFreeSlider, refreshTimeBpmSlider, onImage, offImage);

    configureKnob (inputSlider, ParameterIds::input, " dB", smallSliderLookAndFeel, inputAttachment);
    configureKnob (mixSlider, ParameterIds::mix, " %", smallSliderLookAndFeel, mixAttachment);
    configureKnob (outputSlider, ParameterIds::output, " dB", smallSliderLookAndFeel, outputAttachment);
    configureKnob (filterFreqSlider, ParameterIds::filterFreq, {}, smallSliderLookAndFeel, filterFreqAttachment);
    configureKnob (filterMixSlider, ParameterIds::filterMix, " %", smallSliderLookAndFeel, filterMixAttachment);
    configureKnob (fadeVolSlider, ParameterIds::fadeVol, " dB", smallSliderLookAndFeel, fadeVolAttachment);
    configureKnob (fadeMixSlider, ParameterIds::fadeMix, " %", smallSliderLookAndFeel, fadeMixAttachment);
    configureKnob (stereoWidthSlider, ParameterIds::stereoWidth, " %", smallSliderLookAndFeel, stereoWidthAttachment);
    configureKnob (stereoMixSlider, ParameterIds::stereoMix, " %", smallSliderLookAndFeel, stereoMixAttachment);

    // Added after the fifteen controls of the first release, so they keep their stacking order.
    configureToggle (gridLockButton, ParameterIds::gridLock, gridLockAttachment, onImage, offImage);

    // The fills, in the title band; added last, after the sixteen before them.
    configureFillKnob (fillOffsetSlider, ParameterIds::fillOffset, fillOffsetAttachment);
    configureFillKnob (fillGateSlider, ParameterIds::fillGate, fillGateAttachment);
    configureFillKnob (fillChanceSlider, ParameterIds::fillChance, fillChanceAttachment);
    configureFillKnob (fillSeedSlider, ParameterIds::fillSeed, fillSeedAttachment);

    // The REPEAT pad between the time knobs, after the controls before it.
    if (auto* repeatHold = valueTreeState.getParameter (ParameterIds::repeatHold))
    {
        repeatPad = std::make_unique<RepeatPad> (*repeatHold);
        addAndMakeVisible (*repeatPad);
    }

    // The shape of the repeats, at the title band's right; added after the REPEAT pad.
    configureFillKnob (variationSlider, ParameterIds::variation, variationAttachment);
    configureFillKnob (pitchSlider, ParameterIds::pitch, pitchAttachment);
    configureFillKnob (pitchDecaySlider, ParameterIds::pitchDecay, pitchDecayAttachment);
    configureWideBoxKnob (reverseSlider, ParameterIds::reverse, reverseAttachment);
}

void BrakkleAudioProcessorEditor::configureKnob (juce::Slider& knob,
                                                 const juce::String& parameterId,
                                                 const juce::String& suffix,
                                                 juce::LookAndFeel& knobLookAndFeel,
                                                 std::unique_ptr<SliderAttachment>& attachment)
{
    // Width 40, height 80: the height is what the inherited layout keeps free
    // above the knob area, and the look-and-feel's dot circles depend on it. The
    // look-and-feel then puts the real 80 x 20 box above the face.
    knob.setTextBoxStyle (juce::Slider::TextBoxAbove, false, 40, 80);
    attachKnob (knob, parameterId, suffix, knobLookAndFeel, attachment);
}

void BrakkleAudioProcessorEditor::configureFillKnob (juce::Slider& knob,
                                                     const juce::String& parameterId,
                                                     std::unique_ptr<SliderAttachment>& attachment)
{
    // The box's real size; the parameters' own texts carry their units ("12/16", "50 %").
    knob.setTextBoxStyle (juce::Slider::TextBoxAbove, false,
                          MiniSliderLookAndFeel::valueBoxWidth, MiniSliderLookAndFeel::valueBoxHeight);
    attachKnob (knob, parameterId, {}, miniSliderLookAndFeel, attachment);
}

void BrakkleAudioProcessorEditor::configureWideBoxKnob (juce::Slider& knob,
                                                        const juce::String& parameterId,
                                                        std::unique_ptr<SliderAttachment>& attachment)
{
    // A mini knob with three positions ("Off", "On", "Alternate"): a drag of
    // 45 pixels moves it by one, where the whole travel would take JUCE's 250.
    knob.setTextBoxStyle (juce::Slider::TextBoxAbove, false,
                          WideBoxSliderLookAndFeel::wideBoxWidth, MiniSliderLookAndFeel::valueBoxHeight);
    knob.setMouseDragSensitivity (threePositionDragPixels);
    attachKnob (knob, parameterId, {}, wideBoxSliderLookAndFeel, attachment);
}

void BrakkleAudioProcessorEditor::attachKnob (juce::Slider& knob,
                                              const juce::String& parameterId,
                                              const juce::String& suffix,
                                              juce::LookAndFeel& knobLookAndFeel,
                                              std::unique_ptr<SliderAttachment>& attachment)
{
    knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);

    // Before the attachment, so that the first value text already has it.
    knob.setTextValueSuffix (suffix);
    knob.setLookAndFeel (&knobLookAndFeel);
    knob.setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentWhite);
    addAndMakeVisible (knob);

    attachment = std::make_unique<SliderAttachment> (valueTreeState, parameterId, knob);
}

void BrakkleAudioProcessorEditor::configureToggle (juce::ImageButton& toggle,
                                                   const juce::String& parameterId,
                                                   std::unique_ptr<ButtonAttachment>& attachment,
                                                   const juce::Image& onImage,
                                                   const juce::Image& offImage)
{
    const auto noTint = juce::Colour (0);

    // Off picture when normal and under the mouse, on picture when held down or on.
    toggle.setImages (true, true, true,
                      offImage, 1.0f, noTint,
                      offImage, 1.0f, noTint,
                      onImage, 1.0f, noTint,
                      0.0f);
    toggle.setClickingTogglesState (true);
    toggle.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    addAndMakeVisible (toggle);

    attachment = std::make_unique<ButtonAttachment> (valueTreeState, parameterId, toggle);
}

void BrakkleAudioProcessorEditor::configureSyncToggle (juce::ImageButton& toggle,
                                                       const juce::String& parameterId,
                                                       std::unique_ptr<ButtonAttachment>& attachment,
                                                       juce::Slider& freeKnob,
                                                       juce::Slider& tempoKnob,
                                                       const juce::Image& onImage,
                                                       const juce::Image& offImage)
{
    configureToggle (toggle, parameterId, attachment, onImage, offImage);

    // The pair follows the toggle's own state, which the attachment keeps equal to
    // the parameter. It must not read the tree's stored value here: when the
    // parameter changes on the message thread (a restored state, a host change
    // while stopped), the attachment sets the toggle - and so calls this - before
    // the tree's copy of the value has moved, and the old knob would stay up.
    toggle.onStateChange = [&toggle, &freeKnob, &tempoKnob]
    {
        showTimeKnob (toggle.getToggleState(), freeKnob, tempoKnob);
    };

    // initializeControls chose the pair's knob from the parameter before the
    // attachment existed; had the switch moved on the audio thread since, the
    // attachment would have set the toggle while onStateChange was still empty.
    showTimeKnob (toggle.getToggleState(), freeKnob, tempoKnob);
}

bool BrakkleAudioProcessorEditor::isSyncOn (const juce::String& parameterId) const
{
    const auto* value = valueTreeState.getRawParameterValue (parameterId);
    return value != nullptr && value->load() > 0.5f;
}

void BrakkleAudioProcessorEditor::showTimeKnob (bool synced, juce::Slider& freeKnob, juce::Slider& tempoKnob)
{
    if (synced)
    {
        freeKnob.setVisible (false);
        tempoKnob.setVisible (true);
    }
    else
    {
        freeKnob.setVisible (true);
        tempoKnob.setVisible (false);
    }
}
