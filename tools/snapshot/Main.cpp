// brakkle-editor-shot: draws Brakkle's window, with the given parameter values,
// into a PNG. It builds the plug-in in-process and paints the editor offscreen,
// so it needs no display.
//
//   brakkle-editor-shot --out FILE.png [--param id=value ...] [--scale 1|2]

#include "RenderOptions.h"

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"

#include <iostream>

namespace
{
    int fail (const juce::String& message)
    {
        std::cerr << "brakkle-editor-shot: " << message << std::endl;
        return 1;
    }
}

int main (int argc, char* argv[])
{
    juce::File out;
    float scale = 1.0f;
    std::vector<brakkle::render::ParameterSetting> settings;

    for (int i = 1; i < argc; ++i)
    {
        const juce::String argument (argv[i]);
        auto next = [&] { return i + 1 < argc ? juce::String (argv[++i]) : juce::String(); };

        if (argument == "--out")
            out = juce::File::getCurrentWorkingDirectory().getChildFile (next());
        else if (argument == "--scale")
            scale = next() == "2" ? 2.0f : 1.0f;
        else if (argument == "--param" || argument.startsWith ("--param="))
        {
            const auto text = argument == "--param" ? next() : argument.fromFirstOccurrenceOf ("=", false, false);
            brakkle::render::ParameterSetting setting;
            if (auto error = brakkle::render::parseParameterSetting (text, setting); error.isNotEmpty())
                return fail (error);
            settings.push_back (setting);
        }
        else
            return fail ("unknown option \"" + argument + "\"");
    }

    if (out == juce::File())
        return fail ("--out is required");

    juce::ScopedJuceInitialiser_GUI juce;
    BrakkleAudioProcessor processor;

    for (const auto& setting : settings)
        processor.parameters.getParameter (setting.id)->setValueNotifyingHost (setting.normalised);

    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    const auto picture = editor->createComponentSnapshot (editor->getLocalBounds(), true, scale);

    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;
    if (! stream.openedOk() || ! png.writeImageToStream (picture, stream))
        return fail ("cannot write " + out.getFullPathName());

    return 0;
}
