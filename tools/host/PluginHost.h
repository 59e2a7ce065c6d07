#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace brakkle::host
{

/** A transport a host would give the plug-in: tempo, playing state, time and
    the musical position a DAW reports (quarter notes, last bar start, meter,
    loop). Like a DAW it reports where it is once per block, at the block's
    first sample, whatever happens inside the block: a loop wraps where it
    falls, a held pre-roll ends where it ends, a tempo ramp moves on. */
class Transport final : public juce::AudioPlayHead
{
public:
    /** The tempo at the next block's first sample. Setting it is a step there
        (it ends a ramp); during a ramp it follows the ramp. */
    double bpm = 120.0;
    bool playing = true;
    juce::int64 samplePosition = 0;
    double sampleRate = 44100.0;

    /** Quarter notes at the next block's first sample; negative while a DAW
        pre-rolls. It moves on with every played block at the tempo of that block,
        so tempo changes add up as a host's timeline does. Setting it directly
        is a jump, as locate() is. */
    double ppqPosition = 0.0;

    /** The meter; bars are counted from position 0. */
    int numerator = 4;
    int denominator = 4;

    /** False: report tempo, time and playing state but no musical position, as
        some hosts do. */
    bool hasMusicalPosition = true;

    /** True: the bar start reported is four quarters times the bar's number
        counted from 1, whatever the meter (as one DAW reports it). */
    bool barStartInFours = false;

    /** False: report no tempo (the position, if any, still comes). */
    bool hasTempo = true;

    /** False: the play head reports nothing at all for the next blocks while
        the transport goes on, as an LV2 host that sends the transport's
        position only in the blocks where it thinks it moved. */
    bool reports = true;

    /** False: during a ramp the reported tempo stays the ramp's first one
        until the ramp is over, while the position follows the ramp (as one
        DAW does). */
    bool reportsRampTempo = true;

    /** Reported quarter-note positions are rounded to a multiple of this (one
        host uses 1/1920); 0 reports them exactly. The transport itself keeps
        the exact position. */
    double positionResolution = 0.0;

    /** Moves the position, as a locate, a loop wrap or a scrub does. */
    void locate (double ppq);

    /** Plays a loop from startPpq to endPpq: on reaching the end the position
        goes on from the start, at the very sample where it falls, also inside a
        block, as hosts that do not cut their blocks at the loop end do. With
        reportPoints the play head says it loops and where (as VST3's cycle
        does); without, the wraps are jumps it does not explain. */
    void setLoop (double startPpq, double endPpq, bool reportPoints);
    void clearLoop();

    /** For the next numSamples played samples the song and sample positions
        stand still where they are, as a host that holds its position through a
        pre-roll; then they move on from there. The hold may end inside a block. */
    void holdFor (juce::int64 numSamples);

    /** A linear tempo ramp, in time, from the current tempo to target over the
        next numSamples played samples; the tempo stays at target after it. */
    void rampTo (double target, juce::int64 numSamples);

    /** The transport after a played block of this many samples. */
    void advance (int numSamples);

    /** Quarter notes per bar in the current meter. */
    double quarterNotesPerBar() const;

    juce::Optional<PositionInfo> getPosition() const override;

private:
    double positionAfter (juce::int64 samples) const;
    double tempoAfter (juce::int64 samples) const;
    void startStretch();
    void move (juce::int64 numSamples);

    // The position is worked out from the last jump or tempo change, never summed block by block.
    double anchorPpq = 0.0;
    double anchorBpm = 120.0;
    juce::int64 samplesSinceAnchor = 0;

    double rampStart = 120.0;
    double rampTarget = 120.0;
    juce::int64 rampLength = 0;        // 0: no ramp from the anchor

    bool looping = false, reportsLoop = false;
    double loopStart = 0.0, loopEnd = 0.0;

    juce::int64 holdLeft = 0;
};

/** The plug-in formats this build makes, each a bundle of its own. */
enum class PluginFormat
{
    vst3,   // Brakkle.vst3, loaded through JUCE's VST3 hosting
    lv2,    // Brakkle.lv2, loaded through JUCE's LV2 hosting
    clap    // Brakkle.clap, loaded through ClapPluginInstance (ClapHost.h)
};

class ClapPluginInstance;

/** "VST3", "LV2", "CLAP". */
juce::String formatName (PluginFormat format);

/** The format of a bundle, by its name: a folder ending in ".vst3" or ".lv2",
    or a file ending in ".clap". False for anything else. */
bool formatOfBundle (const juce::File& bundle, PluginFormat& format);

/** The VST3 bundle this build made. */
juce::File defaultBundle();

/** The bundle of that format this build made. */
juce::File defaultBundle (PluginFormat format);

/** One instance of a plug-in, loaded from a VST3 or LV2 bundle (by its name)
    through JUCE's hosting of that format, or from a CLAP file through
    ClapPluginInstance, with a transport and the plain calls
    a host makes on it. Message thread only, except process(). A JUCE message
    manager must exist (juce::ScopedJuceInitialiser_GUI). */
class HostedPlugin
{
public:
    /** Loads the bundle and creates an instance with the given layout (1 or 2
        channels). Returns null and says why in errorMessage when it cannot.

        An LV2 bundle carries a fixed set of ports, Brakkle's a stereo pair: on
        one channel such a plug-in is played as hosts play it on a mono track,
        the track fed to both inputs and the left output taken. A CLAP plug-in
        is asked for its mono port configuration first (ClapHost.h). */
    static std::unique_ptr<HostedPlugin> load (const juce::File& bundle,
                                               double sampleRate,
                                               int blockSize,
                                               int numChannels,
                                               juce::String& errorMessage);

    ~HostedPlugin();

    juce::AudioPluginInstance& instance() noexcept { return *plugin; }
    Transport& transport() noexcept { return playHead; }

    PluginFormat format() const noexcept { return pluginFormat; }

    /** The CLAP instance, for what only CLAP offers (events inside a block); null in other formats. */
    ClapPluginInstance* clapInstance() const noexcept;

    /** Prepares again, for another rate, block size or channel count. */
    bool prepare (double sampleRate, int blockSize, int numChannels);

    /** Processes one block in place and moves the transport on if it plays. */
    void process (juce::AudioBuffer<float>& block);

    /** The hosted parameter with this display name, or null. */
    juce::AudioProcessorParameter* parameterNamed (const juce::String& name) const;

    /** Sets a parameter by its normalised value, as host automation does.
        The plug-in sees it at its next process call. */
    static void setNormalised (juce::AudioProcessorParameter& parameter, float normalised);

    int getNumChannels() const noexcept { return channels; }
    double getSampleRate() const noexcept { return rate; }

private:
    HostedPlugin() = default;

    static std::unique_ptr<HostedPlugin> finishLoading (std::unique_ptr<HostedPlugin>,
                                                        std::unique_ptr<juce::AudioPluginInstance>,
                                                        double sampleRate, int blockSize, int numChannels,
                                                        juce::String& errorMessage);

    // The format's hosting outlives the instance it made (LV2's holds the plug-in's world).
    std::unique_ptr<juce::AudioPluginFormat> hosting;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    PluginFormat pluginFormat = PluginFormat::vst3;
    Transport playHead;
    juce::MidiBuffer midi;
    double rate = 44100.0;
    int channels = 2;

    // One channel through a plug-in that has only stereo ports (see load()).
    bool monoThroughStereo = false;
    juce::AudioBuffer<float> stereoBlock;
};

} // namespace brakkle::host
