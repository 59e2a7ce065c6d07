#pragma once

#include "PresetBar.h"
#include "RepeatPad.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class BrakkleAudioProcessor;

/** The plug-in's window: a fixed 800 x 600 panel drawn from one background
    picture, with thirteen rotary knobs, two sync toggles, the Grid Lock toggle,
    in the title band four mini knobs for the fills (Offset, Gate, Chance,
    Seed) and, at its right, the shape group (Variation, Pitch, Decay and
    Reverse, a mini knob with a wider box): twenty-four controls bound to the
    parameters. Between the two time knobs sits the REPEAT pad (see
    RepeatPad). Of the two knobs that share
    each time position (milliseconds and note value) only the one matching the
    pair's sync switch is visible. */
class BrakkleAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    BrakkleAudioProcessorEditor (BrakkleAudioProcessor& owner, juce::AudioProcessorValueTreeState& state);
    ~BrakkleAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** The preset strip, under the title band's line and above the STUTTER value box. */
    static juce::Rectangle<int> presetBarBounds() { return { 8, 100, 344, 20 }; }
    PresetBar& getPresetBar() noexcept { return presetBar; }

    /** Look-and-feel of the four 235 x 235 time knobs: only the white value dot
        is drawn, the value box sits in the strip above the painted face. */
    class LargeSliderLookAndFeel : public juce::LookAndFeel_V4
    {
    public:
        LargeSliderLookAndFeel();
        juce::Slider::SliderLayout getSliderLayout (juce::Slider& slider) override;
    };

    /** Look-and-feel of the nine 150 x 150 knobs; differs from the large one only
        in where the value box goes. */
    class SmallSliderLookAndFeel : public juce::LookAndFeel_V4
    {
    public:
        SmallSliderLookAndFeel();
        juce::Slider::SliderLayout getSliderLayout (juce::Slider& slider) override;
    };

    /** Look-and-feel of the four 56 x 54 fill knobs: a 48 x 16 value box across
        the top in a smaller type, under it a 6 pixel white dot that circles the
        painted face 8 pixels from its centre. */
    class MiniSliderLookAndFeel : public juce::LookAndFeel_V4
    {
    public:
        static constexpr int valueBoxWidth = 48, valueBoxHeight = 16;
        static constexpr int faceCentreY = 38;
        static constexpr float dotPathRadius = 8.0f, dotDiameter = 6.0f;

        MiniSliderLookAndFeel();
        juce::Slider::SliderLayout getSliderLayout (juce::Slider& slider) override;
        void drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                               float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider) override;
        juce::Label* createSliderTextBox (juce::Slider& slider) override;
    };

    /** Look-and-feel of the Reverse knob: the mini knob with a 64 x 16 box
        across its top, wide enough for "Alternate". */
    class WideBoxSliderLookAndFeel : public MiniSliderLookAndFeel
    {
    public:
        static constexpr int wideBoxWidth = 64;

        juce::Slider::SliderLayout getSliderLayout (juce::Slider& slider) override;
    };

private:
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;

    void initializeControls();

    void configureKnob (juce::Slider& knob,
                        const juce::String& parameterId,
                        const juce::String& suffix,
                        juce::LookAndFeel& knobLookAndFeel,
                        std::unique_ptr<SliderAttachment>& attachment);

    void configureFillKnob (juce::Slider& knob,
                            const juce::String& parameterId,
                            std::unique_ptr<SliderAttachment>& attachment);

    void configureWideBoxKnob (juce::Slider& knob,
                            const juce::String& parameterId,
                            std::unique_ptr<SliderAttachment>& attachment);

    void attachKnob (juce::Slider& knob,
                     const juce::String& parameterId,
                     const juce::String& suffix,
                     juce::LookAndFeel& knobLookAndFeel,
                     std::unique_ptr<SliderAttachment>& attachment);

    void configureToggle (juce::ImageButton& toggle,
                          const juce::String& parameterId,
                          std::unique_ptr<ButtonAttachment>& attachment,
                          const juce::Image& onImage,
                          const juce::Image& offImage);

    void configureSyncToggle (juce::ImageButton& toggle,
                              const juce::String& parameterId,
                              std::unique_ptr<ButtonAttachment>& attachment,
                              juce::Slider& freeKnob,
                              juce::Slider& tempoKnob,
                              const juce::Image& onImage,
                              const juce::Image& offImage);

    bool isSyncOn (const juce::String& parameterId) const;

    static void showTimeKnob (bool synced, juce::Slider& freeKnob, juce::Slider& tempoKnob);

    juce::Slider stutterTimeFreeSlider,
                 stutterTimeBpmSlider,
                 refreshTimeFreeSlider,
                 refreshTimeBpmSlider,
                 inputSlider,
                 mixSlider,
                 outputSlider,
                 filterFreqSlider,
                 filterMixSlider,
                 fadeVolSlider,
                 fadeMixSlider,
                 stereoWidthSlider,
                 stereoMixSlider;

    std::unique_ptr<SliderAttachment> stutterTimeFreeAttachment,
                                      stutterTimeBpmAttachment,
                                      refreshTimeFreeAttachment,
                                      refreshTimeBpmAttachment,
                                      inputAttachment,
                                      mixAttachment,
                                      outputAttachment,
                                      filterFreqAttachment,
                                      filterMixAttachment,
                                      fadeVolAttachment,
                                      fadeMixAttachment,
                                      stereoWidthAttachment,
                                      stereoMixAttachment;

    juce::ImageButton stutterSyncButton { juce::String() },
                      refreshSyncButton { juce::String() };

    std::unique_ptr<ButtonAttachment> stutterSyncAttachment,
                                      refreshSyncAttachment;

    juce::ImageButton gridLockButton { juce::String() };
    std::unique_ptr<ButtonAttachment> gridLockAttachment;

    juce::Slider fillOffsetSlider,
                 fillGateSlider,
                 fillChanceSlider,
                 fillSeedSlider;

    std::unique_ptr<SliderAttachment> fillOffsetAttachment,
                                      fillGateAttachment,
                                      fillChanceAttachment,
                                      fillSeedAttachment;

    PresetBar presetBar;

    juce::Slider variationSlider,
                 pitchSlider,
                 pitchDecaySlider,
                 reverseSlider;

    std::unique_ptr<SliderAttachment> variationAttachment,
                                      pitchAttachment,
                                      pitchDecayAttachment,
                                      reverseAttachment;

    juce::AudioProcessorValueTreeState& valueTreeState;

    std::unique_ptr<RepeatPad> repeatPad;

    LargeSliderLookAndFeel largeSliderLookAndFeel;
    SmallSliderLookAndFeel smallSliderLookAndFeel;
    MiniSliderLookAndFeel miniSliderLookAndFeel;
    WideBoxSliderLookAndFeel wideBoxSliderLookAndFeel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrakkleAudioProcessorEditor)
};
