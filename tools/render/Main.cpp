// brakkle-render: renders audio through the built Brakkle VST3 or LV2 bundle or CLAP file,
// loaded the way a host loads it (JUCE's hosting of VST3 and LV2, our own of CLAP).

#include "DemoLoop.h"
#include "Describe.h"
#include "PluginHost.h"
#include "Plot.h"
#include "Render.h"
#include "RenderPresets.h"
#include "RenderOptions.h"
#include "Schedule.h"
#include "SliceMarks.h"
#include "WavIO.h"

#include <juce_events/juce_events.h>

#include <iostream>
#include <unistd.h>

namespace
{
    using namespace brakkle::render;

    int fail (const juce::String& message, int code = 1)
    {
        std::cerr << "brakkle-render: " << message << std::endl;
        return code;
    }

    /** A bar on standard error, for renders long enough to wait for, and only
        when someone is watching a terminal. */
    class ProgressBar
    {
    public:
        explicit ProgressBar (bool show) : enabled (show) {}

        ~ProgressBar()
        {
            if (enabled && shown >= 0)
                std::cerr << std::endl;
        }

        void update (double fraction)
        {
            const int percent = (int) (fraction * 100.0);
            if (! enabled || percent == shown)
                return;
            shown = percent;
            const int filled = percent * width / 100;
            std::cerr << "\rrendering [" << std::string ((size_t) filled, '#') << std::string ((size_t) (width - filled), '.')
                      << "] " << percent << "%" << std::flush;
        }

    private:
        static constexpr int width = 40;
        bool enabled;
        int shown = -1;
    };

    juce::String readSchedule (const RenderOptions& options, double sampleRate, std::vector<ScheduleEvent>& events)
    {
        juce::String text;
        if (options.schedule != juce::File())
        {
            if (! options.schedule.existsAsFile())
                return "no such schedule file: " + options.schedule.getFullPathName();
            text = options.schedule.loadFileAsString();
        }

        // The presses are schedule lines of their own, after the file's.
        if (auto error = parseSchedule (text + "\n" + options.presses.joinIntoString ("\n"), sampleRate, options.bpm, events); error.isNotEmpty())
            return (options.schedule != juce::File() ? options.schedule.getFileName() : juce::String ("--press")) + ", " + error;
        return {};
    }

    juce::String writeEditorShot (const RenderOptions& options)
    {
        const auto tool = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getSiblingFile ("brakkle-editor-shot");
        juce::StringArray command { tool.getFullPathName(), "--out", options.editorShot.getFullPathName() };
        for (const auto& setting : options.parameters)
            command.add ("--param=" + setting.id + "=" + juce::String (setting.value));

        juce::ChildProcess child;
        if (! tool.existsAsFile() || ! child.start (command))
            return "cannot run " + tool.getFullPathName();
        const auto said = child.readAllProcessOutput().trim();
        if (child.getExitCode() != 0)
            return said.isNotEmpty() ? said : "the editor picture could not be made";
        return {};
    }

    brakkle::host::PluginFormat formatOf (const RenderOptions& options)
    {
        return options.format == "lv2"    ? brakkle::host::PluginFormat::lv2
             : options.format == "clap" ? brakkle::host::PluginFormat::clap
                                        : brakkle::host::PluginFormat::vst3;
    }

    juce::File bundleOf (const RenderOptions& options)
    {
        return options.bundle != juce::File() ? options.bundle : brakkle::host::defaultBundle (formatOf (options));
    }

    int describe (const RenderOptions& options)
    {
        juce::String error;
        auto plugin = brakkle::host::HostedPlugin::load (bundleOf (options), 44100.0, options.blockSize, 2, error);
        if (plugin == nullptr)
            return fail (error);

        std::cout << brakkle::render::describePlugin (*plugin);
        return 0;
    }

    int render (const RenderOptions& options)
    {
        brakkle::host::Audio audio;
        juce::String error;

        if (options.input != juce::File())
        {
            if (! brakkle::host::readWav (options.input, audio, error))
                return fail (error);
            if (audio.samples.getNumChannels() > 2)
                return fail ("only mono and stereo files can be processed; " + options.input.getFileName() + " has "
                             + juce::String (audio.samples.getNumChannels()) + " channels");
        }
        else
        {
            audio.sampleRate = 44100.0;
            audio.samples = makeDemoLoop (audio.sampleRate, options.bpm, options.bars);
        }

        std::vector<ScheduleEvent> scheduled;
        if (error = readSchedule (options, audio.sampleRate, scheduled); error.isNotEmpty())
            return fail (error, 2);

        const auto events = withInitialSettings (options.parameters, scheduled);
        HostState initial;
        initial.bpm = options.bpm;
        initial.playing = ! options.stopped;
        initial.meterNumerator = options.meterNumerator;
        initial.meterDenominator = options.meterDenominator;
        initial.reportsTempo = options.reportsTempo;
        initial.loops = options.loops;
        initial.loopStart = options.loopStart;
        initial.loopEnd = options.loopEnd;
        initial.reportsLoop = options.reportsLoop;
        initial.values = defaultParameterValues();
        const PlaybackStart start { options.startBeats, options.preroll, options.holdPreroll };

        const auto bundle = bundleOf (options);
        const int channels = audio.samples.getNumChannels();
        auto plugin = brakkle::host::HostedPlugin::load (bundle, audio.sampleRate, options.blockSize, channels, error);
        if (plugin == nullptr)
            return fail (error);

        const auto input = options.plot != juce::File() ? audio.samples : juce::AudioBuffer<float>();
        const double seconds = audio.samples.getNumSamples() / audio.sampleRate;
        {
            ProgressBar bar (! options.quiet && seconds > 1.0 && isatty (STDERR_FILENO) != 0);
            error = renderThroughPlugin (*plugin, audio.samples, options.blockSize, initial, events, start,
                                         [&bar] (double fraction) { bar.update (fraction); });
        }
        if (error.isNotEmpty())
            return fail (error);

        if (! brakkle::host::writeWav (options.output, audio, options.bits, error))
            return fail (error);
        std::cout << "wrote " << options.output.getFullPathName() << " (" << channels << " ch, " << audio.sampleRate
                  << " Hz, " << juce::String (seconds, 2) << " s)" << std::endl;

        if (options.plot != juce::File())
        {
            const auto marks = traceSlices (audio.samples.getNumSamples(), options.blockSize, audio.sampleRate, initial, events, start);
            if (! writePlot (options.plot, input, audio.samples, audio.sampleRate, marks, options.output.getFileName(), error))
                return fail (error);
            std::cout << "wrote " << options.plot.getFullPathName() << std::endl;
        }

        if (options.editorShot != juce::File())
        {
            if (error = writeEditorShot (options); error.isNotEmpty())
                return fail (error);
            std::cout << "wrote " << options.editorShot.getFullPathName() << std::endl;
        }

        return 0;
    }
}

int main (int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    RenderOptions options;
    if (const auto error = parseRenderOptions (arguments, options); error.isNotEmpty())
        return fail (error + " (see --help)", 2);

    if (options.help)
    {
        std::cout << usage();
        return 0;
    }

    if (options.listParameters)
    {
        std::cout << parameterList();
        return 0;
    }

    if (options.listPresets)
    {
        std::cout << listPresets();
        return 0;
    }

    if (options.preset.isNotEmpty())
    {
        std::vector<ParameterSetting> settings;
        juce::StringArray notes;

        if (const auto error = presetSettings (options.preset, settings, notes); error.isNotEmpty())
            return fail (error, 2);

        for (const auto& note : notes)
            std::cerr << "brakkle-render: " << options.preset << ": " << note << std::endl;

        // The preset first, so that every --param changes it.
        options.parameters.insert (options.parameters.begin(), settings.begin(), settings.end());
    }

    juce::ScopedJuceInitialiser_GUI juce;

    if (options.describe)
        return describe (options);
    return render (options);
}
