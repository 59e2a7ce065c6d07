// A host hands the plug-in whatever bytes its project file holds: a saved
// state, another plug-in's, or something damaged. Restoring it must never
// crash, never leave a parameter without a number or outside its range, and
// whatever the instance then holds must survive a save and restore.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

using namespace brakkle::fuzz;

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    initialiseJuce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // A host passes the size as a signed 32-bit count.
    if (size > (std::size_t) std::numeric_limits<int>::max())
        return 0;

    BrakkleAudioProcessor processor;
    processor.prepareToPlay (8000.0, 64);   // a small slice reserve keeps each run quick

    processor.setStateInformation (data, (int) size);
    checkParameters (processor);
    checkStateRoundTrip (processor);

    // Whatever it restored, one block through it stays in bounds.
    juce::AudioBuffer<float> block (2, 64);
    for (int i = 0; i < 64; ++i)
        for (int c = 0; c < 2; ++c)
            block.setSample (c, i, std::sin ((float) i * 0.3f + (float) c));

    juce::MidiBuffer midi;
    processor.processBlock (block, midi);
    checkOutput (block, 2);
    return 0;
}
