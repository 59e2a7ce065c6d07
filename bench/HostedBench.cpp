// What the built VST3 bundle costs a host, loaded through JUCE's VST3 hosting
// at 48 kHz stereo with the transport playing at 120 BPM:
//
//   default     the default settings ("1/8 D" slices in "1/4"), tone mixes at 0,
//               blocks of 512: nanoseconds per frame
//   tone        the same with filter, fade and stereo mixes at +-100
//   stopped     the transport stopped (the audio passes): the floor a block costs
//   hostblocks  "1/16" in "1/4" with the tone mixes at +-100, blocks of random
//               sizes from 1 to 512 (prepared for 512) against steady blocks of
//               512, and blocks of 1 alone
//   idle        instances loaded and prepared, nothing played, for a while:
//               the threads' wake-ups and the process's CPU time
//
// Run: build/bench/brakkle_host_bench [case] [options]
//      brakkle_host_bench default                median and best of 5 runs of 20 s of audio
//      brakkle_host_bench plain 2                the default path alone, 2 s a run (for a profiler)
//      brakkle_host_bench idle 100 5             100 instances for 5 s
//      BRAKKLE_BENCH_BUNDLE=path/Brakkle.vst3    times another build's bundle

#include "PluginHost.h"

#include "processor/ParameterIds.h"
#include "support/ThreadSwitches.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#if defined (__linux__)
 #include <sys/resource.h>
 #include <time.h>
#endif

namespace
{
    using brakkle::host::HostedPlugin;

    constexpr double sampleRate = 48000.0;
    constexpr int channels = 2;
    constexpr int prepared = 512;

    juce::File bundle()
    {
        if (const char* other = std::getenv ("BRAKKLE_BENCH_BUNDLE"))
            return juce::File (other);

        return brakkle::host::defaultBundle (brakkle::host::PluginFormat::vst3);
    }

    std::unique_ptr<HostedPlugin> load()
    {
        juce::String error;
        auto plugin = HostedPlugin::load (bundle(), sampleRate, prepared, channels, error);
        if (plugin == nullptr)
        {
            std::fprintf (stderr, "%s\n", error.toRawUTF8());
            std::exit (1);
        }
        return plugin;
    }

    void setPlain (HostedPlugin& plugin, const juce::String& id, float value)
    {
        if (const auto* spec = findParameterSpec (id))
            if (auto* parameter = plugin.parameterNamed (spec->name))
                HostedPlugin::setNormalised (*parameter, (value - spec->minimum) / (spec->maximum - spec->minimum));
    }

    void setToneMixes (HostedPlugin& plugin, float mix)
    {
        setPlain (plugin, ParameterIds::filterMix, mix);
        setPlain (plugin, ParameterIds::fadeMix, -mix);
        setPlain (plugin, ParameterIds::stereoMix, mix);
    }

    struct Timing
    {
        double median = 0.0, best = 0.0;   // nanoseconds per frame
    };

    /** Seconds of CPU time this thread has used: what a run costs, whatever
        else the machine runs meanwhile (a shared machine pre-empts a run, and
        wall-clock time would count the wait). */
    double threadSeconds()
    {
       #if defined (__linux__)
        timespec now {};
        clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
        return (double) now.tv_sec + (double) now.tv_nsec * 1.0e-9;
       #else
        return std::chrono::duration<double> (std::chrono::steady_clock::now().time_since_epoch()).count();
       #endif
    }

    /** Five runs (after one to warm up) of `frames` frames in blocks whose sizes
        cycle through `sizes`; the input is noise at -2 dB. A run's time covers
        the host's calls and the copy of each block's input into its buffer. */
    Timing time (HostedPlugin& plugin, const std::vector<int>& sizes, int frames)
    {
        juce::AudioBuffer<float> source (channels, prepared);
        juce::Random random (1);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < prepared; ++i)
                source.setSample (c, i, random.nextFloat() * 1.6f - 0.8f);

        juce::AudioBuffer<float> block (channels, prepared);
        std::vector<double> runs;

        for (int run = 0; run < 6; ++run)
        {
            int done = 0;
            const double start = threadSeconds();

            for (size_t b = 0; done < frames; ++b)
            {
                const int n = sizes[b % sizes.size()];
                block.setSize (channels, n, false, false, true);
                for (int c = 0; c < channels; ++c)
                    block.copyFrom (c, 0, source, c, 0, n);

                plugin.process (block);
                done += n;
            }

            if (run > 0)
                runs.push_back ((threadSeconds() - start) * 1.0e9 / done);
        }

        std::sort (runs.begin(), runs.end());
        return { runs[runs.size() / 2], runs.front() };
    }

    void print (const char* name, const Timing& t)
    {
        std::printf ("%-52s %9.2f %9.2f\n", name, t.median, t.best);
    }

    void timeDefaultPath (int frames, bool plain, bool toned)
    {
        const struct { const char* name; float mix; } cases[] = {
            { "default settings, tone mixes 0, blocks of 512", 0.0f },
            { "default settings, tone mixes +-100, blocks of 512", 100.0f },
        };

        for (const auto& c : cases)
        {
            if (! (c.mix > 0.0f ? toned : plain))
                continue;

            auto plugin = load();
            setToneMixes (*plugin, c.mix);
            print (c.name, time (*plugin, { prepared }, frames));
        }
    }

    void timeStopped (int frames)
    {
        auto plugin = load();
        plugin->transport().playing = false;
        print ("transport stopped (audio passes), blocks of 512", time (*plugin, { prepared }, frames));
    }

    void timeHostBlocks (int frames)
    {
        std::vector<int> randomSizes;
        juce::Random random (33);
        for (int i = 0; i < 4096; ++i)
            randomSizes.push_back (1 + random.nextInt (prepared));

        const struct { const char* name; std::vector<int> sizes; } cases[] = {
            { "1/16 in 1/4, tone +-100, steady blocks of 512", { prepared } },
            { "1/16 in 1/4, tone +-100, random blocks 1..512", randomSizes },
            { "1/16 in 1/4, tone +-100, blocks of 1", { 1 } },
        };

        for (const auto& c : cases)
        {
            auto plugin = load();
            setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
            setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"
            setToneMixes (*plugin, 100.0f);
            print (c.name, time (*plugin, c.sizes, c.sizes.size() == 1 && c.sizes[0] == 1 ? frames / 16 : frames));
        }
    }

    //==============================================================================
    double cpuSeconds()
    {
       #if defined (__linux__)
        rusage usage {};
        getrusage (RUSAGE_SELF, &usage);
        return (double) usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1.0e-6
             + (double) usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1.0e-6;
       #else
        return 0.0;
       #endif
    }

    void measureIdle (int instances, double seconds)
    {
        std::vector<std::unique_ptr<HostedPlugin>> plugins;
        for (int i = 0; i < instances; ++i)
            plugins.push_back (load());

        std::this_thread::sleep_for (std::chrono::milliseconds (500));

        const auto before = brakkle::test::threadSwitches();
        const auto helpersBefore = brakkle::test::threadSwitches ("Brakkle slices");
        const double cpuBefore = cpuSeconds();
        std::this_thread::sleep_for (std::chrono::duration<double> (seconds));
        const double cpu = cpuSeconds() - cpuBefore;
        const long switches = brakkle::test::threadSwitches().switches - before.switches;
        const long helpers = brakkle::test::threadSwitches ("Brakkle slices").switches - helpersBefore.switches;

        std::printf ("%d idle instances for %.1f s: %ld context switches in the process (%ld of them by the %d slice "
                     "storage threads), CPU %.3f s (%.2f %% of a core)\n",
                     instances, seconds, switches, helpers, helpersBefore.threads, cpu, 100.0 * cpu / seconds);
    }
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const juce::String which = argc > 1 ? argv[1] : "default";

    if (which == "idle")
    {
        measureIdle (argc > 2 ? std::atoi (argv[2]) : 100, argc > 3 ? std::atof (argv[3]) : 5.0);
        return 0;
    }

    const int frames = (int) (sampleRate * (argc > 2 ? juce::jmax (1.0, std::atof (argv[2])) : 20.0));
    std::printf ("Brakkle through JUCE's VST3 hosting: 48 kHz stereo, %d s of audio per run, 5 runs\n\n", frames / (int) sampleRate);
    std::printf ("%-52s %9s %9s\n", "case (ns of CPU time per frame)", "median", "best");

    if (which == "default" || which == "plain" || which == "toned" || which == "all")
        timeDefaultPath (frames, which != "toned", which != "plain");
    if (which == "stopped" || which == "all")
        timeStopped (frames);
    if (which == "hostblocks" || which == "all")
        timeHostBlocks (frames);

    return 0;
}
