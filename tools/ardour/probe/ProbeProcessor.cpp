// Brakkle Probe: a pass-through effect that notes, for every block it is given,
// what the host's play head says. It exists to see what a host really reports
// block by block (tools/ardour/probe-ardour runs it in Ardour).
//
// The audio thread only fills a preallocated table; the text log is written when
// the host releases the plug-in's resources and when the plug-in is destroyed,
// never while it processes. The log goes to $BRAKKLE_PROBE_LOG, or to
// /tmp/brakkle-probe-<pid>.log when that is not set. Every write appends the
// blocks recorded since the last one, so a host that prepares and releases the
// plug-in several times leaves one log with all of them.

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

namespace
{
    /** What one block was told. A field the host left out has its bit clear in `has`. */
    struct BlockRecord
    {
        enum : uint32_t
        {
            hasPosition   = 1u << 0,
            hasPpq        = 1u << 1,
            hasBarStart   = 1u << 2,
            hasBpm        = 1u << 3,
            hasSignature  = 1u << 4,
            hasSamples    = 1u << 5,
            hasSeconds    = 1u << 6,
            hasBarCount   = 1u << 7,
            hasHostTime   = 1u << 8,
            hasLoopPoints = 1u << 9,
            hasPlayHead   = 1u << 10
        };

        int64_t block = 0;
        int numSamples = 0;
        uint32_t has = 0;
        bool playing = false, recording = false, looping = false;
        double loopStart = 0, loopEnd = 0;
        double ppq = 0, barStart = 0, bpm = 0;
        int sigNumerator = 0, sigDenominator = 0;
        int64_t timeInSamples = 0;
        double timeInSeconds = 0;
        int64_t barCount = 0;
        uint64_t hostTimeNs = 0;
        // The first and last input sample of channel 1: with a known input (a
        // running sample count, say) they tell which input this block carried.
        float firstInput = 0, lastInput = 0;
    };

    /** Something that happened outside processBlock, kept in the same order. */
    struct Event
    {
        int64_t beforeBlock;
        std::string text;
    };

    std::atomic<int> instanceCounter { 0 };

    std::string logPath()
    {
        if (const char* p = std::getenv ("BRAKKLE_PROBE_LOG"); p != nullptr && *p != 0)
            return p;

        return "/tmp/brakkle-probe-" + std::to_string ((long) getpid()) + ".log";
    }

    std::string formatDouble (double v)
    {
        char s[64];
        std::snprintf (s, sizeof (s), "%.17g", v);
        return s;
    }
}

class ProbeProcessor final : public juce::AudioProcessor
{
public:
    // About 66 minutes of blocks of 1024 at 44.1 kHz; later blocks are only counted.
    static constexpr size_t capacity = 1u << 17;

    ProbeProcessor()
        : AudioProcessor (BusesProperties()
                              .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                              .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
          records (new BlockRecord[capacity]),
          instance (++instanceCounter)
    {
        note ("created, wrapper " + std::string (getWrapperTypeDescription (wrapperType)));
    }

    ~ProbeProcessor() override
    {
        note ("destroyed");
        writeLog();
    }

    const juce::String getName() const override { return "Brakkle Probe"; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }
    double getTailLengthSeconds() const override { return 0; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}

    bool hasEditor() const override { return false; }
    juce::AudioProcessorEditor* createEditor() override { return nullptr; }

    void getStateInformation (juce::MemoryBlock&) override {}
    void setStateInformation (const void*, int) override {}

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override
    {
        const auto in = layouts.getMainInputChannelSet();
        return in == layouts.getMainOutputChannelSet()
            && (in == juce::AudioChannelSet::stereo() || in == juce::AudioChannelSet::mono());
    }

    void prepareToPlay (double sampleRate, int maximumBlockSize) override
    {
        note ("prepare rate=" + formatDouble (sampleRate) + " maxBlock=" + std::to_string (maximumBlockSize)
              + " latency=" + std::to_string (getLatencySamples()));
    }

    void releaseResources() override
    {
        note ("release");
        writeLog();
    }

    using AudioProcessor::processBlock;

    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) override
    {
        // The audio passes unchanged: the buffer already holds the input.
        const auto index = blocksSeen.load (std::memory_order_relaxed);
        blocksSeen.store (index + 1, std::memory_order_relaxed);

        const auto slot = recorded.load (std::memory_order_relaxed);
        if (slot >= capacity)
            return;

        auto& r = records[slot];
        r = BlockRecord {};
        r.block = index;
        r.numSamples = buffer.getNumSamples();

        if (buffer.getNumChannels() > 0 && buffer.getNumSamples() > 0)
        {
            r.firstInput = buffer.getSample (0, 0);
            r.lastInput = buffer.getSample (0, buffer.getNumSamples() - 1);
        }

        if (auto* head = getPlayHead())
        {
            r.has |= BlockRecord::hasPlayHead;

            if (const auto position = head->getPosition())
            {
                r.has |= BlockRecord::hasPosition;
                r.playing = position->getIsPlaying();
                r.recording = position->getIsRecording();
                r.looping = position->getIsLooping();

                if (const auto v = position->getLoopPoints())
                {
                    r.has |= BlockRecord::hasLoopPoints;
                    r.loopStart = v->ppqStart;
                    r.loopEnd = v->ppqEnd;
                }
                if (const auto v = position->getPpqPosition())              { r.has |= BlockRecord::hasPpq;       r.ppq = *v; }
                if (const auto v = position->getPpqPositionOfLastBarStart()) { r.has |= BlockRecord::hasBarStart;  r.barStart = *v; }
                if (const auto v = position->getBpm())                      { r.has |= BlockRecord::hasBpm;       r.bpm = *v; }
                if (const auto v = position->getTimeSignature())
                {
                    r.has |= BlockRecord::hasSignature;
                    r.sigNumerator = v->numerator;
                    r.sigDenominator = v->denominator;
                }
                if (const auto v = position->getTimeInSamples())  { r.has |= BlockRecord::hasSamples;  r.timeInSamples = *v; }
                if (const auto v = position->getTimeInSeconds())  { r.has |= BlockRecord::hasSeconds;  r.timeInSeconds = *v; }
                if (const auto v = position->getBarCount())       { r.has |= BlockRecord::hasBarCount; r.barCount = *v; }
                if (const auto v = position->getHostTimeNs())     { r.has |= BlockRecord::hasHostTime; r.hostTimeNs = *v; }
            }
        }

        // Published only once complete: the writer reads below this count.
        recorded.store (slot + 1, std::memory_order_release);
    }

private:
    /** Keeps a line for the log (never called from processBlock). */
    void note (const std::string& text)
    {
        const std::lock_guard<std::mutex> lock (logMutex);
        events.push_back ({ (int64_t) recorded.load (std::memory_order_acquire), text });
    }

    static std::string describe (const BlockRecord& r)
    {
        auto optional = [&r] (uint32_t bit, const std::string& value) { return (r.has & bit) != 0 ? value : std::string ("none"); };

        std::string s = "block=" + std::to_string (r.block) + " n=" + std::to_string (r.numSamples);

        if ((r.has & BlockRecord::hasPlayHead) == 0)
            return s + " playhead=none" + " in=" + formatDouble (r.firstInput) + ".." + formatDouble (r.lastInput);

        if ((r.has & BlockRecord::hasPosition) == 0)
            return s + " position=none" + " in=" + formatDouble (r.firstInput) + ".." + formatDouble (r.lastInput);

        s += " playing=" + std::to_string ((int) r.playing)
           + " recording=" + std::to_string ((int) r.recording)
           + " looping=" + std::to_string ((int) r.looping)
           + " loop=" + optional (BlockRecord::hasLoopPoints, formatDouble (r.loopStart) + ".." + formatDouble (r.loopEnd))
           + " ppq=" + optional (BlockRecord::hasPpq, formatDouble (r.ppq))
           + " barStart=" + optional (BlockRecord::hasBarStart, formatDouble (r.barStart))
           + " bpm=" + optional (BlockRecord::hasBpm, formatDouble (r.bpm))
           + " sig=" + optional (BlockRecord::hasSignature, std::to_string (r.sigNumerator) + "/" + std::to_string (r.sigDenominator))
           + " samples=" + optional (BlockRecord::hasSamples, std::to_string (r.timeInSamples))
           + " seconds=" + optional (BlockRecord::hasSeconds, formatDouble (r.timeInSeconds))
           + " bars=" + optional (BlockRecord::hasBarCount, std::to_string (r.barCount))
           + " hostNs=" + optional (BlockRecord::hasHostTime, std::to_string (r.hostTimeNs))
           + " in=" + formatDouble (r.firstInput) + ".." + formatDouble (r.lastInput);
        return s;
    }

    /** Appends what was recorded since the last write, with the events in between. */
    void writeLog()
    {
        const std::lock_guard<std::mutex> lock (logMutex);
        const auto upTo = recorded.load (std::memory_order_acquire);

        if (upTo == written && events.empty())
            return;

        const auto path = logPath();
        auto* f = std::fopen (path.c_str(), "a");
        if (f == nullptr)
            return;

        const std::string prefix = "probe " + std::to_string ((long) getpid()) + "." + std::to_string (instance) + " ";
        size_t e = 0;

        for (auto i = written; i < upTo; ++i)
        {
            for (; e < events.size() && events[e].beforeBlock <= (int64_t) i; ++e)
                std::fprintf (f, "%s# %s\n", prefix.c_str(), events[e].text.c_str());

            std::fprintf (f, "%s%s\n", prefix.c_str(), describe (records[i]).c_str());
        }

        for (; e < events.size(); ++e)
            std::fprintf (f, "%s# %s\n", prefix.c_str(), events[e].text.c_str());

        const auto seen = blocksSeen.load (std::memory_order_relaxed);
        if (seen > (int64_t) upTo)
            std::fprintf (f, "%s# %" PRId64 " blocks beyond the table were not recorded\n", prefix.c_str(), seen - (int64_t) upTo);

        std::fclose (f);
        written = upTo;
        events.clear();
    }

    std::unique_ptr<BlockRecord[]> records;
    std::atomic<size_t> recorded { 0 };
    std::atomic<int64_t> blocksSeen { 0 };
    size_t written = 0;

    std::mutex logMutex;
    std::vector<Event> events;
    const int instance;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProbeProcessor)
};

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new ProbeProcessor();
}
