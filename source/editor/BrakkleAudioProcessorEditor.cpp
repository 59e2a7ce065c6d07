#include "BrakkleAudioProcessorEditor.h"

#include "processor/BrakkleAudioProcessor.h"

BrakkleAudioProcessorEditor::BrakkleAudioProcessorEditor (BrakkleAudioProcessor& processor,
                                                          juce::AudioProcessorValueTreeState& state)
    : AudioProcessorEditor (processor), valueTreeState (state)
{
    setSize (800, 600);
}

BrakkleAudioProcessorEditor::~BrakkleAudioProcessorEditor() = default;

void BrakkleAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void BrakkleAudioProcessorEditor::resized() {}
