#include "BrakkleAudioProcessor.h"

#include "ParameterIds.h"
#include "ParameterText.h"

#include <cmath>

namespace
{
    /** A float parameter that refuses values that are no number.

        A typed "nan" or a host that sends a not-a-number value would otherwise
        store it; here the parameter goes straight back to its last good value. */
    class GuardedParameterFloat final : public juce::AudioParameterFloat
    {
    public:
        using AudioParameterFloat::AudioParameterFloat;

    private:
        void valueChanged (float newValue) override
        {
            if (std::isfinite (newValue))
            {
                lastGoodValue.store (newValue, std::memory_order_relaxed);
                return;
            }

            setValueNotifyingHost (convertTo0to1 (lastGoodValue.load (std::memory_order_relaxed)));
        }

        std::atomic<float> lastGoodValue { get() };
    };

    /** A switch that keeps a value a host can read back and a project can store.

        JUCE's switch keeps whatever normalised value it is sent: a host's
        not-a-number, or a value outside 0..1, would be reported back as the
        switch's value and written into saved projects. Here a not-a-number goes
        back to the last good value, and anything else outside 0..1 lands on the
        nearer end, as it does for the float parameters. */
    class GuardedParameterBool final : public juce::AudioParameterBool
    {
    public:
        using AudioParameterBool::AudioParameterBool;

    private:
        void valueChanged (bool) override
        {
            const float stored = static_cast<const juce::AudioProcessorParameter&> (*this).getValue();

            if (stored >= 0.0f && stored <= 1.0f)   // false for NaN
            {
                lastGoodValue.store (stored, std::memory_order_relaxed);
                return;
            }

            setValueNotifyingHost (std::isnan (stored) ? lastGoodValue.load (std::memory_order_relaxed)
                                                       : juce::jlimit (0.0f, 1.0f, stored));
        }

        std::atomic<float> lastGoodValue { get() ? 1.0f : 0.0f };
    };

    juce::AudioParameterFloatAttributes textAttributes (const ParameterSpec& spec, const StutterEngine* engine)
    {
        using namespace ParameterTextFunctions;
        auto attributes = juce::AudioParameterFloatAttributes();

        switch (spec.text)
        {
            case ParameterText::wholeNumber:
                return attributes.withStringFromValueFunction ([] (float v, int) { return wholeNumberText (v); })
                                 .withValueFromStringFunction (leadingNumberValue);
            case ParameterText::twoDecimals:
                return attributes.withStringFromValueFunction ([] (float v, int) { return twoDecimalsText (v); })
                                 .withValueFromStringFunction (leadingNumberValue);
            case ParameterText::frequency:
                return attributes.withStringFromValueFunction ([] (float v, int) { return frequencyText (v); })
                                 .withValueFromStringFunction (leadingNumberValue);
            case ParameterText::noteDivision:
                // The names live in the engine, which is built after the parameters:
                // they are read only when a text is asked for, never during construction.
                return attributes.withStringFromValueFunction ([engine] (float v, int) { return noteDivisionText (engine->noteNames, v); })
                                 .withValueFromStringFunction ([engine] (const juce::String& t) { return noteDivisionValue (engine->noteNames, t); });
            case ParameterText::onOff:
                break;
        }

        return attributes;
    }

    std::unique_ptr<juce::RangedAudioParameter> makeParameter (const ParameterSpec& spec, const StutterEngine* engine)
    {
        const juce::ParameterID id { spec.id, spec.versionHint };

        if (spec.isSwitch())
            return std::make_unique<GuardedParameterBool> (id, spec.name, spec.defaultValue > 0.5f);

        return std::make_unique<GuardedParameterFloat> (id,
                                                        spec.name,
                                                        juce::NormalisableRange<float> (spec.minimum, spec.maximum, spec.step),
                                                        spec.defaultValue,
                                                        textAttributes (spec, engine));
    }
}

juce::AudioProcessorValueTreeState::ParameterLayout BrakkleAudioProcessor::createParameterLayout()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;

    for (const auto& spec : parameterTable)
        params.push_back (makeParameter (spec, &stutterEngine));

    return { params.begin(), params.end() };
}
