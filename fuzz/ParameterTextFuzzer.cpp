// Hosts and the editor turn values into text and typed text into values, for
// every parameter, on any thread. Whatever the text or the value, the
// conversions must not crash, and a value that came from text must leave the
// parameter holding a number inside its range.
//
// Input layout: one byte picks the parameter, one picks how the value is set,
// four bytes are a raw float (any bit pattern: NaN, infinities, denormals),
// the rest is the text, read as code points in little-endian 16-bit units,
// the way a VST3 host passes strings (unpaired surrogates are skipped).

#include "FuzzSupport.h"
#include "processor/ParameterText.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace brakkle::fuzz;

namespace
{
    juce::String textFrom (const std::uint8_t* data, std::size_t size)
    {
        juce::Array<juce::juce_wchar> codePoints;

        for (std::size_t i = 0; i + 1 < size; i += 2)
        {
            auto unit = (std::uint32_t) data[i] | ((std::uint32_t) data[i + 1] << 8);

            if (unit >= 0xd800 && unit <= 0xdbff && i + 3 < size)
            {
                const auto low = (std::uint32_t) data[i + 2] | ((std::uint32_t) data[i + 3] << 8);
                if (low >= 0xdc00 && low <= 0xdfff)
                {
                    codePoints.add ((juce::juce_wchar) (0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00)));
                    i += 2;
                }
                continue;
            }

            if (unit == 0 || (unit >= 0xd800 && unit <= 0xdfff))
                continue;

            codePoints.add ((juce::juce_wchar) unit);
        }

        codePoints.add (0);
        return juce::String (juce::CharPointer_UTF32 (codePoints.getRawDataPointer()));
    }

    BrakkleAudioProcessor& sharedProcessor()
    {
        // The conversions hold no state of their own, so one instance serves every input.
        static BrakkleAudioProcessor processor;
        return processor;
    }
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    initialiseJuce();
    sharedProcessor().prepareToPlay (48000.0, 32);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size < 6)
        return 0;

    auto& processor = sharedProcessor();
    const auto& spec = parameterTable[data[0] % parameterTable.size()];
    const auto how = data[1];
    float value;
    std::memcpy (&value, data + 2, sizeof (float));
    const auto text = textFrom (data + 6, size - 6);

    auto* parameter = processor.parameters.getParameter (spec.id);

    // Value to text, at the raw value and at what a host would send.
    juce::ignoreUnused (parameter->getText (value, 1024),
                        parameter->getText (juce::jlimit (0.0f, 1.0f, value), 16),
                        parameter->getCurrentValueAsText());

    // The text functions themselves, at any value at all: out-of-table
    // note values must still land on a name.
    {
        using namespace ParameterTextFunctions;
        juce::ignoreUnused (wholeNumberText (value), twoDecimalsText (value), frequencyText (value),
                            noteDivisionText (processor.stutterEngine.noteNames, value),
                            leadingNumberValue (text), frequencyValue (text),
                            noteDivisionValue (processor.stutterEngine.noteNames, text));
    }

    // Text to value, then the value applied the way the editor or a host applies it.
    const float fromText = parameter->getValueForText (text);

    switch (how % 3)
    {
        case 0:  parameter->setValueNotifyingHost (fromText); break;
        case 1:  parameter->setValueNotifyingHost (value); break;   // a host sending any number at all
        default: processor.parameters.getParameter (spec.id)->setValue (fromText); break;
    }

    checkParameters (processor);

    const auto shown = parameter->getCurrentValueAsText();

    // What the parameter shows reads back without harm.
    parameter->setValueNotifyingHost (parameter->getValueForText (shown));
    checkParameters (processor);
    return 0;
}
