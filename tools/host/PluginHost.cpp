#include "PluginHost.h"

#include "ClapHost.h"

#include <cmath>
#include <cstdio>

#if JUCE_LINUX || JUCE_BSD || JUCE_MAC
 #include <unistd.h>
#endif

namespace brakkle::host
{

void Transport::locate (double ppq)
{
    ppqPosition = ppq;
    startStretch();
    samplePosition = (juce::int64) std::llround (ppq * 60.0 / bpm * sampleRate);
}

void Transport::startStretch()
{
    anchorPpq = ppqPosition;
    anchorBpm = bpm;
    samplesSinceAnchor = 0;
    rampLength = 0;
}

void Transport::setLoop (double startPpq, double endPpq, bool reportPoints)
{
    looping = endPpq > startPpq;
    reportsLoop = reportPoints;
    loopStart = startPpq;
    loopEnd = endPpq;
}

void Transport::clearLoop()
{
    looping = false;
}

void Transport::holdFor (juce::int64 numSamples)
{
    holdLeft = juce::jmax ((juce::int64) 0, numSamples);
}

void Transport::rampTo (double target, juce::int64 numSamples)
{
    ppqPosition = positionAfter (samplesSinceAnchor);
    startStretch();
    rampStart = bpm;
    rampTarget = target;
    rampLength = juce::jmax ((juce::int64) 0, numSamples);
}

double Transport::positionAfter (juce::int64 samples) const
{
    // A linear ramp in time: the tempo's integral over the samples played.
    const auto n = (double) samples;

    if (rampLength <= 0)
        return anchorPpq + n * anchorBpm / 60.0 / sampleRate;

    const double perSample = 1.0 / (60.0 * sampleRate);

    const auto length = (double) rampLength;
    if (samples <= rampLength)
        return anchorPpq + (anchorBpm * n + (rampTarget - anchorBpm) * n * n / (2.0 * length)) * perSample;

    return anchorPpq + ((anchorBpm + rampTarget) * 0.5 * length + rampTarget * (n - length)) * perSample;
}

double Transport::tempoAfter (juce::int64 samples) const
{
    if (rampLength <= 0)
        return anchorBpm;
    if (samples >= rampLength)
        return rampTarget;
    return anchorBpm + (rampTarget - anchorBpm) * (double) samples / (double) rampLength;
}

void Transport::move (juce::int64 numSamples)
{
    // A loop wraps at the first sample at or past its end, wherever that falls.
    while (numSamples > 0)
    {
        if (looping && positionAfter (samplesSinceAnchor) < loopEnd && positionAfter (samplesSinceAnchor + numSamples) >= loopEnd)
        {
            juce::int64 lo = samplesSinceAnchor, hi = samplesSinceAnchor + numSamples;   // position(lo) < end <= position(hi)
            while (hi - lo > 1)
            {
                const auto mid = lo + (hi - lo) / 2;
                (positionAfter (mid) >= loopEnd ? hi : lo) = mid;
            }

            const auto played = hi - samplesSinceAnchor;
            ppqPosition = loopStart + (positionAfter (hi) - loopEnd);
            bpm = tempoAfter (hi);
            startStretch();
            numSamples -= played;
            continue;
        }

        samplesSinceAnchor += numSamples;
        numSamples = 0;
    }

    ppqPosition = positionAfter (samplesSinceAnchor);
    bpm = tempoAfter (samplesSinceAnchor);
}

void Transport::advance (int numSamples)
{
    // A position set from outside, or a new tempo, starts a new stretch.
    if (! juce::exactlyEqual (ppqPosition, positionAfter (samplesSinceAnchor))
        || ! juce::exactlyEqual (bpm, tempoAfter (samplesSinceAnchor)))
        startStretch();

    const auto held = juce::jmin ((juce::int64) numSamples, holdLeft);
    holdLeft -= held;

    move (numSamples - held);
    samplePosition += numSamples - held;
}

double Transport::quarterNotesPerBar() const
{
    return numerator * 4.0 / denominator;
}

juce::Optional<juce::AudioPlayHead::PositionInfo> Transport::getPosition() const
{
    if (! reports)
        return {};

    PositionInfo info;
    if (hasTempo)
        info.setBpm (! reportsRampTempo && rampLength > 0 && samplesSinceAnchor < rampLength ? rampStart : bpm);
    info.setIsPlaying (playing);
    info.setTimeInSamples (samplePosition);
    info.setTimeInSeconds ((double) samplePosition / sampleRate);

    if (hasMusicalPosition)
    {
        const auto ppq = positionResolution > 0.0 ? std::round (ppqPosition / positionResolution) * positionResolution
                                                  : ppqPosition;
        const auto bar = quarterNotesPerBar();
        info.setPpqPosition (ppq);
        info.setPpqPositionOfLastBarStart (barStartInFours ? 4.0 * (std::floor (ppq / bar) + 1.0) : std::floor (ppq / bar) * bar);
        info.setTimeSignature (TimeSignature { numerator, denominator });

        if (looping && reportsLoop)
        {
            info.setIsLooping (true);
            info.setLoopPoints (LoopPoints { loopStart, loopEnd });
        }
    }

    return info;
}

juce::String formatName (PluginFormat format)
{
    return format == PluginFormat::lv2 ? "LV2" : format == PluginFormat::clap ? "CLAP" : "VST3";
}

bool formatOfBundle (const juce::File& bundle, PluginFormat& format)
{
    if (bundle.hasFileExtension ("vst3"))
        format = PluginFormat::vst3;
    else if (bundle.hasFileExtension ("lv2"))
        format = PluginFormat::lv2;
    else if (bundle.hasFileExtension ("clap"))
        format = PluginFormat::clap;
    else
        return false;

    return true;
}

juce::File defaultBundle()
{
   #ifdef BRAKKLE_DEFAULT_BUNDLE
    return juce::File (BRAKKLE_DEFAULT_BUNDLE);
   #else
    return {};
   #endif
}

juce::File defaultBundle (PluginFormat format)
{
    if (format == PluginFormat::vst3)
        return defaultBundle();

   #ifdef BRAKKLE_DEFAULT_CLAP_FILE
    if (format == PluginFormat::clap)
        return juce::File (BRAKKLE_DEFAULT_CLAP_FILE);
   #endif

   #ifdef BRAKKLE_DEFAULT_LV2_BUNDLE
    return juce::File (BRAKKLE_DEFAULT_LV2_BUNDLE);
   #else
    return {};
   #endif
}

namespace
{
    juce::AudioProcessor::BusesLayout layoutFor (int numChannels)
    {
        const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        return layout;
    }

    /** Runs fn with this process's standard error caught, and returns what was
        written to it meanwhile. */
    template <typename Fn>
    juce::String catchingStandardError (Fn&& fn)
    {
       #if JUCE_LINUX || JUCE_BSD || JUCE_MAC
        std::fflush (stderr);
        const int saved = dup (STDERR_FILENO);
        auto* caught = std::tmpfile();

        if (saved >= 0 && caught != nullptr && dup2 (fileno (caught), STDERR_FILENO) >= 0)
        {
            fn();
            std::fflush (stderr);
            dup2 (saved, STDERR_FILENO);
            close (saved);

            juce::MemoryOutputStream text;
            std::rewind (caught);
            char buffer[4096];
            for (size_t n; (n = std::fread (buffer, 1, sizeof (buffer), caught)) > 0;)
                text.write (buffer, n);
            std::fclose (caught);
            return text.toString();
        }

        if (saved >= 0)
            close (saved);
        if (caught != nullptr)
            std::fclose (caught);
       #endif

        fn();
        return {};
    }

    /** The plug-in URI an LV2 bundle's manifest names ("<uri>" before "a lv2:Plugin"). */
    juce::String lv2PluginUri (const juce::File& bundle)
    {
        const auto manifest = bundle.getChildFile ("manifest.ttl").loadFileAsString();
        const auto type = manifest.indexOf ("a lv2:Plugin");
        const auto close = type < 0 ? -1 : manifest.substring (0, type).lastIndexOfChar ('>');
        const auto open = close < 0 ? -1 : manifest.substring (0, close).lastIndexOfChar ('<');
        return open < 0 ? juce::String() : manifest.substring (open + 1, close);
    }

    /** Another bundle of the same plug-in where JUCE's LV2 hosting looks before
        any bundle it is given (~/.lv2, /usr/lib/lv2, ...). LV2 hosts take the
        first bundle they find for a URI and ignore the others. */
    juce::File lv2BundleInTheWay (juce::AudioPluginFormat& lv2, const juce::File& bundle)
    {
        const auto uri = lv2PluginUri (bundle);
        if (uri.isEmpty())
            return {};

        const auto locations = lv2.getDefaultLocationsToSearch();
        for (int i = 0; i < locations.getNumPaths(); ++i)
            for (const auto& other : locations[i].findChildFiles (juce::File::findDirectories, false, "*.lv2"))
                if (other != bundle && lv2PluginUri (other) == uri)
                    return other;

        return {};
    }
}

std::unique_ptr<HostedPlugin> HostedPlugin::load (const juce::File& bundle,
                                                  double sampleRate,
                                                  int blockSize,
                                                  int numChannels,
                                                  juce::String& errorMessage)
{
    if (! bundle.exists())
    {
        errorMessage = "no plug-in bundle at " + bundle.getFullPathName();
        return nullptr;
    }

    PluginFormat kind;
    if (! formatOfBundle (bundle, kind))
    {
        errorMessage = "not a VST3 or LV2 bundle or a CLAP file (its name must end in .vst3, .lv2 or .clap): " + bundle.getFullPathName();
        return nullptr;
    }

    std::unique_ptr<HostedPlugin> hosted (new HostedPlugin());
    hosted->pluginFormat = kind;

    // CLAP through this program's own CLAP hosting, the others through JUCE's.
    if (kind == PluginFormat::clap)
        return finishLoading (std::move (hosted), ClapPluginInstance::load (bundle, errorMessage),
                              sampleRate, blockSize, numChannels, errorMessage);

    if (kind == PluginFormat::lv2)
        hosted->hosting = std::make_unique<juce::LV2PluginFormat>();
    else
        hosted->hosting = std::make_unique<juce::VST3PluginFormat>();

    auto& format = *hosted->hosting;
    juce::OwnedArray<juce::PluginDescription> types;

    // JUCE's LV2 hosting first asks its LV2 library whether the path is a
    // plug-in's URI, which prints an error for every path: that one is left
    // out, anything else the library says about the bundle is passed on.
    const auto said = catchingStandardError ([&] { format.findAllTypesForFile (types, bundle.getFullPathName()); });
    for (const auto& line : juce::StringArray::fromLines (said))
        if (line.isNotEmpty() && ! (line.startsWith ("error: attempt to map invalid URI") && line.contains (bundle.getFullPathName())))
            std::fprintf (stderr, "%s\n", line.toRawUTF8());

    if (types.isEmpty())
    {
        errorMessage = "no " + formatName (kind) + " plug-in could be loaded from " + bundle.getFullPathName();

        if (kind == PluginFormat::lv2)
            if (const auto other = lv2BundleInTheWay (format, bundle); other != juce::File())
                errorMessage << ": " << other.getFullPathName() << " holds the same plug-in (its URI) and is found "
                             << "first; remove it or install this build there";
        return nullptr;
    }

    auto instance = format.createInstanceFromDescription (*types[0], sampleRate, blockSize, errorMessage);

    if (instance == nullptr && errorMessage.isEmpty())
        errorMessage = "the plug-in in " + bundle.getFullPathName() + " could not be created";

    return finishLoading (std::move (hosted), std::move (instance), sampleRate, blockSize, numChannels, errorMessage);
}

std::unique_ptr<HostedPlugin> HostedPlugin::finishLoading (std::unique_ptr<HostedPlugin> hosted,
                                                           std::unique_ptr<juce::AudioPluginInstance> instance,
                                                           double sampleRate, int blockSize, int numChannels,
                                                           juce::String& errorMessage)
{
    if (instance == nullptr)
        return nullptr;

    hosted->plugin = std::move (instance);
    hosted->plugin->setPlayHead (&hosted->playHead);

    if (! hosted->prepare (sampleRate, blockSize, numChannels))
    {
        errorMessage = "the plug-in does not accept " + juce::String (numChannels) + " channel(s)";
        return nullptr;
    }

    return hosted;
}

HostedPlugin::~HostedPlugin()
{
    if (plugin != nullptr)
        plugin->releaseResources();

    plugin.reset();
}

bool HostedPlugin::prepare (double sampleRate, int blockSize, int numChannels)
{
    plugin->releaseResources();

    if (numChannels < 1 || numChannels > 2)
        return false;

    // An LV2 plug-in's ports are fixed (Brakkle's a stereo pair), and a CLAP
    // plug-in may offer no mono configuration: a mono track feeds the pair.
    monoThroughStereo = false;
    if (! plugin->setBusesLayout (layoutFor (numChannels)))
    {
        if (! (pluginFormat != PluginFormat::vst3 && numChannels == 1 && plugin->setBusesLayout (layoutFor (2))))
            return false;

        monoThroughStereo = true;
        stereoBlock.setSize (2, juce::jmax (1, blockSize));
    }

    rate = sampleRate;
    channels = numChannels;
    playHead.sampleRate = sampleRate;
    plugin->setRateAndBufferSizeDetails (sampleRate, blockSize);
    plugin->prepareToPlay (sampleRate, blockSize);
    return true;
}

void HostedPlugin::process (juce::AudioBuffer<float>& block)
{
    midi.clear();

    if (monoThroughStereo)
    {
        const auto n = block.getNumSamples();
        stereoBlock.setSize (2, n, false, false, true);
        stereoBlock.copyFrom (0, 0, block, 0, 0, n);
        stereoBlock.copyFrom (1, 0, block, 0, 0, n);
        plugin->processBlock (stereoBlock, midi);
        block.copyFrom (0, 0, stereoBlock, 0, 0, n);
    }
    else
    {
        plugin->processBlock (block, midi);
    }

    if (playHead.playing)
        playHead.advance (block.getNumSamples());

    if (auto* clap = clapInstance())
        clap->runMainThreadRequests();
}

ClapPluginInstance* HostedPlugin::clapInstance() const noexcept
{
    return pluginFormat == PluginFormat::clap ? static_cast<ClapPluginInstance*> (plugin.get()) : nullptr;
}

juce::AudioProcessorParameter* HostedPlugin::parameterNamed (const juce::String& name) const
{
    for (auto* parameter : plugin->getParameters())
        if (parameter->getName (1024) == name)
            return parameter;

    return nullptr;
}

void HostedPlugin::setNormalised (juce::AudioProcessorParameter& parameter, float normalised)
{
    parameter.beginChangeGesture();
    parameter.setValueNotifyingHost (normalised);
    parameter.endChangeGesture();
}

} // namespace brakkle::host
