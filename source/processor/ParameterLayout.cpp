#include "BrakkleAudioProcessor.h"

#include "ParameterIds.h"
#include "ParameterText.h"

#include <cmath>
#include <functional>
#include <optional>

namespace
{
    /** Only the LV2 version lists the note divisions' steps to its host. */
    bool listsStepsToHosts()
    {
        return juce::PluginHostType::getPluginLoadedAs() == juce::AudioProcessor::wrapperType_LV2;
    }

    /** The fill shares and the reverse setting list their steps in every format. Note divisions
        list theirs only in LV2: VST3 hosts have always seen them as continuous,
        and their projects and automation lanes stay as they were. */
    bool listsItsSteps (const ParameterSpec& spec)
    {
        return spec.text == ParameterText::sixteenths
            || spec.text == ParameterText::reverseMode
            || (spec.text == ParameterText::noteDivision && listsStepsToHosts());
    }

    /** Tells a parameter's listeners its own value again after a change that
        carried one it refused (no number, or a switch value outside 0..1).
        JUCE hands the listeners the value as it was sent, after the parameter
        has already put its good one back: a knob or toggle attached to it would
        show the refused value, and hand it on when moved. Made with the
        parameter, it is its first listener and so hears each change last. */
    class RefusedValueEcho final : private juce::AudioProcessorParameter::Listener
    {
    public:
        explicit RefusedValueEcho (juce::AudioProcessorParameter& p) : parameter (p) { parameter.addListener (this); }
        ~RefusedValueEcho() override { parameter.removeListener (this); }

    private:
        void parameterValueChanged (int, float sent) override
        {
            if (! (sent >= 0.0f && sent <= 1.0f))   // true for NaN
                parameter.sendValueChangedMessageToListeners (parameter.getValue());
        }

        void parameterGestureChanged (int, bool) override {}

        juce::AudioProcessorParameter& parameter;
    };

    /** A float parameter that refuses values that are no number.

        A typed text that reads as no number ("nan") keeps the current value, so
        neither the window nor a host asking what a text means ever gets one back.
        A host that sends a not-a-number value would otherwise store it; here the
        parameter goes straight back to its last good value. */
    class GuardedParameterFloat final : public juce::AudioParameterFloat
    {
    public:
        using TextReader = std::function<std::optional<float> (const juce::String&)>;

        GuardedParameterFloat (const juce::ParameterID& id,
                               const juce::String& displayName,
                               juce::NormalisableRange<float> valueRange,
                               float defaultValue,
                               juce::AudioParameterFloatAttributes attributes,
                               TextReader readText,
                               bool listsItsSteps)
            : AudioParameterFloat (id, displayName, valueRange, defaultValue,
                                   // Called only once the parameter exists, never while it is built.
                                   attributes.withValueFromStringFunction ([this, readText = std::move (readText)] (const juce::String& text)
                                   {
                                       return readText (text).value_or (lastGoodValue.load (std::memory_order_relaxed));
                                   })),
              discrete (listsItsSteps)
        {
        }

        /** True for a parameter of named steps that lists them (see
            listsItsSteps): one of its values, never one in between, which
            hosts then offer as a step or scale point each. */
        bool isDiscrete() const override { return discrete; }

        int getNumSteps() const override
        {
            return discrete ? RangedAudioParameter::getNumSteps() : AudioProcessorParameterWithID::getNumSteps();
        }

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
        RefusedValueEcho echo { *this };
        const bool discrete;
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
        /** A typed text that reads as no switch word and no number keeps the
            switch as it is (JUCE's own reading would turn it off). */
        GuardedParameterBool (const juce::ParameterID& id, const juce::String& displayName, bool defaultValue)
            : AudioParameterBool (id, displayName, defaultValue,
                                  // Called only once the parameter exists, never while it is built.
                                  juce::AudioParameterBoolAttributes().withValueFromStringFunction ([this] (const juce::String& text)
                                  {
                                      return ParameterTextFunctions::switchValue (text).value_or (lastGoodValue.load (std::memory_order_relaxed)) > 0.5f;
                                  }))
        {
        }

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
        RefusedValueEcho echo { *this };
    };

    /** How a float parameter shows its value. The note divisions' names live
        in the engine, which is built after the parameters: they are read only
        when a text is asked for, never during construction. */
    juce::AudioParameterFloatAttributes textAttributes (const ParameterSpec& spec, const StutterEngine* engine)
    {
        return juce::AudioParameterFloatAttributes().withStringFromValueFunction ([engine, kind = spec.text] (float v, int)
        {
            return ParameterTextFunctions::shownText (kind, engine->noteNames, v);
        });
    }

    /** How a float parameter reads a typed text. */
    GuardedParameterFloat::TextReader textReader (const ParameterSpec& spec, const StutterEngine* engine)
    {
        return [engine, kind = spec.text] (const juce::String& t)
        {
            return ParameterTextFunctions::typedValue (kind, engine->noteNames, t);
        };
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
                                                        textAttributes (spec, engine),
                                                        textReader (spec, engine),
                                                        listsItsSteps (spec));
    }
}

juce::AudioProcessorValueTreeState::ParameterLayout BrakkleAudioProcessor::createParameterLayout()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;

    for (const auto& spec : parameterTable)
        params.push_back (makeParameter (spec, &stutterEngine));

    return { params.begin(), params.end() };
}
