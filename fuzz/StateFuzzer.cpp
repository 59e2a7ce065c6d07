// A host hands the plug-in whatever bytes its project file holds: a saved
// state, another plug-in's, or something damaged. Reading it must never crash
// or hang; what the reader gives back is a parameter tree with no value that
// is no number, no attribute given twice and no deeper nesting than any state.
// Restored, it must never leave a parameter without a number or outside its
// range, and whatever the instance then holds must survive a save and restore.

#include "FuzzSupport.h"
#include "processor/SavedState.h"
#include "processor/StateBounds.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace brakkle::fuzz;

namespace
{
    /** Levels of elements, the root counted as the first. */
    int depthOf (const juce::ValueTree& tree)
    {
        int deepest = 0;
        for (const auto& child : tree)
            deepest = std::max (deepest, depthOf (child));
        return deepest + 1;
    }

    void checkTree (const juce::ValueTree& tree, const juce::Identifier& type)
    {
        if (tree.getType() != type)
            fail ("restored a tree of another type", tree.getType().toString());

        // The text was measured before it was read: the reader never went deeper.
        if (const auto depth = depthOf (tree); depth > StateBounds::deepestNesting)
            fail ("restored a tree nested deeper than any state", juce::String (depth));

        for (const auto& child : tree)
        {
            for (int i = 0; i < child.getNumProperties(); ++i)
                for (int k = i + 1; k < child.getNumProperties(); ++k)
                    if (child.getPropertyName (i) == child.getPropertyName (k))
                        fail ("attribute given twice", child.getPropertyName (i).toString());

            const auto id = child.getProperty ("id").toString();
            if (parameterTable.end() != std::find_if (parameterTable.begin(), parameterTable.end(), [&] (const ParameterSpec& spec) { return spec.id == id; })
                && child.hasProperty ("value") && std::isnan ((float) child.getProperty ("value")))
                fail ("a parameter's value is no number", id);
        }
    }
}

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

    const auto type = processor.parameters.state.getType();
    const auto restored = SavedState::read (data, (int) size, type, SavedState::currentValuesOf (processor.parameters));

    if (restored.has_value())
    {
        checkTree (*restored, type);
        processor.parameters.replaceState (*restored);
    }

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
