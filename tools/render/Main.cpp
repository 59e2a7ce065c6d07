// brakkle-render: renders audio through the built Brakkle VST3 bundle, loaded
// through JUCE's VST3 hosting the way a host loads it.

#include "DemoLoop.h"
#include "PluginHost.h"
#include "RenderOptions.h"
#include "WavIO.h"

#include "processor/ParameterIds.h"

#include <iostream>

namespace
{
    int fail (const juce::String& message, int code = 1)
    {
        std::cerr << "brakkle-render: " << message << std::endl;
        return code;
    }

    const ParameterSpec& specFor (const juce::String& id)
    {
        for (const auto& spec : parameterTable)
            if (spec.id == id)
                return spec;
        jassertfalse;
        return parameterTable[0];
    }

    int render (const brakkle::render::RenderOptions& options)
    {
        brakkle::host::Audio audio;
        juce::String error;

        if (options.input != juce::File())
        {
            if (! brakkle::host::readWav (options.input, audio, error))
                return fail (error);
            if (audio.samples.getNumChannels() > 2)
                return fail ("only mono and stereo files can be processed; "
                             + options.input.getFileName() + " has " + juce::String (audio.samples.getNumChannels()) + " channels");
        }
        else
        {
            audio.sampleRate = 44100.0;
            audio.samples = brakkle::render::makeDemoLoop (audio.sampleRate, options.bpm, options.bars);
        }

        const auto bundle = options.bundle != juce::File() ? options.bundle : brakkle::host::defaultBundle();
        const int channels = audio.samples.getNumChannels();
        auto plugin = brakkle::host::HostedPlugin::load (bundle, audio.sampleRate, options.blockSize, channels, error);

        if (plugin == nullptr)
            return fail (error);

        for (const auto& setting : options.parameters)
        {
            auto* parameter = plugin->parameterNamed (specFor (setting.id).name);
            if (parameter == nullptr)
                return fail ("the loaded plug-in has no parameter " + setting.id);
            brakkle::host::HostedPlugin::setNormalised (*parameter, setting.normalised);
        }

        plugin->transport().bpm = options.bpm;
        plugin->transport().playing = ! options.stopped;

        const int total = audio.samples.getNumSamples();
        juce::AudioBuffer<float> block (channels, options.blockSize);

        for (int start = 0; start < total; start += options.blockSize)
        {
            const int length = juce::jmin (options.blockSize, total - start);
            block.setSize (channels, length, false, false, true);

            for (int c = 0; c < channels; ++c)
                block.copyFrom (c, 0, audio.samples, c, start, length);

            plugin->process (block);

            for (int c = 0; c < channels; ++c)
                audio.samples.copyFrom (c, start, block, c, 0, length);
        }

        if (! brakkle::host::writeWav (options.output, audio, options.bits, error))
            return fail (error);

        std::cout << "wrote " << options.output.getFullPathName() << " (" << channels << " ch, "
                  << audio.sampleRate << " Hz, " << juce::String ((double) total / audio.sampleRate, 2) << " s)" << std::endl;
        return 0;
    }
}

int main (int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    brakkle::render::RenderOptions options;
    if (const auto error = brakkle::render::parseRenderOptions (arguments, options); error.isNotEmpty())
        return fail (error + " (see --help)", 2);

    if (options.help)
    {
        std::cout << brakkle::render::usage();
        return 0;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    return render (options);
}
