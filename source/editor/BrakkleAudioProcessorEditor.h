#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class BrakkleAudioProcessor;

/** The plug-in's window. */
class BrakkleAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    BrakkleAudioProcessorEditor (BrakkleAudioProcessor& processor, juce::AudioProcessorValueTreeState& state);
    ~BrakkleAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    juce::AudioProcessorValueTreeState& valueTreeState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrakkleAudioProcessorEditor)
};
