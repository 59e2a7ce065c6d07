#include "Describe.h"

#include "ClapHost.h"

namespace brakkle::render
{

namespace
{
    juce::String describeIdentity (host::HostedPlugin& plugin)
    {
        const auto description = plugin.instance().getPluginDescription();
        juce::String text;
        text << host::formatName (plugin.format()) << " plug-in \"" << description.name << "\" by "
             << description.manufacturerName << ", version " << description.version << "\n";

        if (auto* clap = plugin.clapInstance())
        {
            const auto& descriptor = clap->descriptor();
            text << "  CLAP ID " << descriptor.id << ", features " << description.category.replace ("|", ", ") << "\n";
        }
        else
        {
            text << "  category " << description.category << "\n";
        }

        text << "  audio in " << plugin.instance().getMainBusNumInputChannels()
             << ", out " << plugin.instance().getMainBusNumOutputChannels() << "\n";
        return text;
    }

    /** CLAP: the range and flags the plug-in gives; otherwise JUCE's view of the steps. */
    juce::String describeRange (host::HostedPlugin& plugin, int index, const juce::AudioProcessorParameter& parameter)
    {
        if (auto* clap = plugin.clapInstance())
        {
            const auto& info = clap->parameterInfo (index);
            juce::String text;
            text << juce::String (info.min_value) << " to " << juce::String (info.max_value);
            if ((info.flags & CLAP_PARAM_IS_STEPPED) != 0)
                text << ", stepped";
            if ((info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0)
                text << ", automatable";
            return text;
        }

        return parameter.isDiscrete() ? juce::String (parameter.getNumSteps()) + " steps" : juce::String ("0 to 1");
    }
}

juce::String describePlugin (host::HostedPlugin& plugin)
{
    auto text = describeIdentity (plugin);
    const auto& parameters = plugin.instance().getParameters();
    text << "  " << parameters.size() << " parameters (ID, name: default, now; range):\n";

    for (auto* parameter : parameters)
    {
        const auto index = parameter->getParameterIndex();
        const auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter);
        text << "  " << juce::String (index).paddedLeft (' ', 2) << "  "
             << (hosted != nullptr ? hosted->getParameterID() : juce::String (index)) << ", "
             << parameter->getName (256) << ": \"" << parameter->getText (parameter->getDefaultValue(), 256) << "\", \""
             << parameter->getCurrentValueAsText() << "\"; " << describeRange (plugin, index, *parameter) << "\n";
    }

    return text;
}

} // namespace brakkle::render
