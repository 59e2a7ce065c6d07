#include "SliceMarks.h"

#include "Render.h"
#include "engine/StutterEngine.h"
#include "processor/HostTransport.h"
#include "processor/EngineFields.h"
#include "processor/ParameterIds.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <optional>

namespace brakkle::render
{

namespace
{
    /** The plug-in's parameters as it stores them. A host sends each change as
        a normalised value; the plug-in's VST3 wrapper passes it on unless it is
        (nearly) the value the parameter has, the parameter snaps it to its step,
        and the processor's parameter tree keeps the plain value, which is what
        the processor copies into the engine. Before any change the tree holds
        the default converted without snapping, as JUCE's does. */
    class StoredParameters
    {
    public:
        StoredParameters()
        {
            for (const auto& row : parameterTable)
            {
                const juce::ParameterID id { row.id, row.versionHint };

                if (row.isSwitch())
                    parameters.push_back (std::make_unique<juce::AudioParameterBool> (id, row.name, row.defaultValue > 0.5f));
                else
                    parameters.push_back (std::make_unique<juce::AudioParameterFloat> (
                        id, row.name, juce::NormalisableRange<float> (row.minimum, row.maximum, row.step), row.defaultValue));

                const auto& parameter = *parameters.back();
                plain.push_back (parameter.getNormalisableRange().convertFrom0to1 (parameter.getDefaultValue()));
                heard.push_back (false);
            }
        }

        void set (const ParameterSetting& setting)
        {
            for (size_t i = 0; i < parameterTable.size(); ++i)
            {
                if (parameterTable[i].id != setting.id)
                    continue;

                auto& parameter = *parameters[i];
                if (juce::approximatelyEqual (parameter.getValue(), setting.normalised))
                    return;

                parameter.setValue (setting.normalised);
                const float value = parameter.convertFrom0to1 (parameter.getValue());

                // The tree passes a change on only when it is one (or the first).
                if (! heard[i] || ! juce::approximatelyEqual (plain[i], value))
                    plain[i] = value;
                heard[i] = true;
                return;
            }
        }

        /** What the processor writes into the engine's parameter fields. */
        void writeTo (StutterEngine& engine) const
        {
            const auto fields = engineFields (engine);

            for (size_t i = 0; i < parameterTable.size(); ++i)
                if (std::isfinite (plain[i]))
                    *fields[i] = juce::jlimit (parameterTable[i].minimum, parameterTable[i].maximum, plain[i]);
        }

    private:
        std::vector<std::unique_ptr<juce::RangedAudioParameter>> parameters;
        std::vector<float> plain;
        std::vector<bool> heard;
    };

    /** Beat and bar lines where the song position reaches them, sample by
        sample, while the transport plays. */
    class SongLines
    {
    public:
        explicit SongLines (SliceMarks& marksToFill) : marks (marksToFill) {}

        /** Follows one played sample at its song position; marks only samples of the file. */
        void play (juce::int64 sample, double ppq, int numerator, int denominator)
        {
            const double beat = 4.0 / denominator, bar = beat * numerator;

            // Moving on by less than a sample could: the lines passed since the
            // last played sample. Anything else (the file's first sample, a
            // locate, a loop wrap) lands on a line only if it lands right on it.
            const bool movingOn = hasLast && sample != 0 && ppq >= last - tolerance && ppq <= last + largestStep;
            const auto crossed = [&] (double length)
            {
                const double count = std::floor ((ppq + tolerance) / length);
                if (movingOn)
                    return count > std::floor ((last + tolerance) / length);
                return ppq - count * length <= tolerance;
            };

            if (sample >= 0)
            {
                if (crossed (beat))
                    marks.beats.push_back (sample);

                if (crossed (bar))
                {
                    marks.bars.push_back (sample);
                    marks.barNumbers.push_back ((int) std::floor ((ppq + tolerance) / bar) + 1);
                }
            }

            last = ppq;
            hasLast = true;
        }

    private:
        // A position this close to a line is on it (rounding in the position arithmetic).
        static constexpr double tolerance = 1.0e-9;
        // More than any tempo moves the song in one sample (999 BPM at 8 kHz moves 0.002 quarters).
        static constexpr double largestStep = 0.01;

        SliceMarks& marks;
        double last = 0.0;
        bool hasLast = false;
    };

    /** The plug-in's engine playing a render's blocks in silence, with the
        host's transport as the plug-in sees it. */
    class Tracer
    {
    public:
        Tracer (juce::int64 total, int blockSize, double rate, SliceMarks& marksToFill)
            : totalSamples (total), marks (marksToFill), lines (marksToFill), silence (1, juce::jmax (1, blockSize))
        {
            transport.sampleRate = rate;
            engine.prepare ({ rate, (juce::uint32) juce::jmax (1, blockSize), 1 });
            parameters.writeTo (engine);
        }

        void block (juce::int64 start, int length, const HostState& state, const BlockChanges& changes)
        {
            for (const auto& setting : changes.settings)
                parameters.set (setting);
            parameters.writeTo (engine);
            setTransport (transport, state, changes);

            const auto report = brakkle::readHostTransport (transport.getPosition(), transport.sampleRate);
            silence.setSize (1, length, false, false, true);
            silence.clear();
            engine.process (silence, (float) report.bpm, report.playing, report.musicalPosition ? &*report.musicalPosition : nullptr);

            const auto end = start + length;
            collectTiming (start);

            if (! transport.playing)
            {
                passingFrom.reset();
                markPassing (start, end);
                return;
            }

            if (passingFrom)
            {
                markPassing (*passingFrom, end);
                passingFrom = end;
            }

            // The song position of every sample, as the transport moves through the block.
            auto moving = transport;
            for (int j = 0; j < length; ++j)
            {
                lines.play (start + j, moving.ppqPosition, state.meterNumerator, state.meterDenominator);
                moving.advance (1);
            }

            transport.advance (length);
        }

    private:
        void collectTiming (juce::int64 blockStart)
        {
            using Kind = StutterEngine::TimingEvent::Kind;

            // The engine keeps up to TimingEvents::capacity events a block: only
            // slices far shorter than the block (a "1/64 T" at 8192 samples and
            // a fast tempo) can have more, and those are not marked.
            for (const auto& event : engine.lastBlockTiming())
            {
                // A cycle taken up from the kept input began before the block.
                const auto at = blockStart + event.frame;

                switch (event.kind)
                {
                    case Kind::cycleStart:  mark (marks.cycleStarts, at); markVaried (at, event.look); break;
                    case Kind::repeatStart: mark (marks.repeatStarts, at); markShaped (at, event.look); break;
                    case Kind::gateEnds:    mark (marks.gateEnds, at); break;
                    case Kind::cycleSkipped: mark (marks.skippedCycles, at); break;
                    case Kind::holdStarts:  mark (marks.holdStarts, at); break;
                    case Kind::holdEnds:    mark (marks.holdEnds, at); break;
                    case Kind::inputPasses: passingFrom = at; break;
                    case Kind::inputEnds:
                        if (passingFrom)
                            markPassing (*passingFrom, at);
                        passingFrom.reset();
                        break;
                }
            }
        }

        void mark (std::vector<juce::int64>& list, juce::int64 sample) const
        {
            if (sample < 0 || sample >= totalSamples)
                return;

            const auto at = std::lower_bound (list.begin(), list.end(), sample);
            if (at == list.end() || *at != sample)
                list.insert (at, sample);
        }

        void markVaried (juce::int64 sample, const StutterEngine::TimingEvent::Look& look) const
        {
            if (look.sliceDivision > 1 && sample >= 0 && sample < totalSamples
                && (marks.variedCycles.empty() || marks.variedCycles.back().sample < sample))
                marks.variedCycles.push_back ({ sample, look.sliceDivision });
        }

        void markShaped (juce::int64 sample, const StutterEngine::TimingEvent::Look& look) const
        {
            const bool shaped = look.backwards || ! juce::exactlyEqual (look.semitones, 0.0f);
            if (shaped && sample >= 0 && sample < totalSamples
                && (marks.shapedRepeats.empty() || marks.shapedRepeats.back().sample < sample))
                marks.shapedRepeats.push_back ({ sample, look.semitones, look.backwards });
        }

        void markPassing (juce::int64 from, juce::int64 to)
        {
            from = juce::jmax ((juce::int64) 0, from);
            to = juce::jmin (totalSamples, to);
            if (from >= to)
                return;

            auto& stretches = marks.stopped;
            if (! stretches.empty() && stretches.back().second >= from)
                stretches.back().second = juce::jmax (stretches.back().second, to);
            else
                stretches.push_back ({ from, to });
        }

        const juce::int64 totalSamples;
        SliceMarks& marks;
        SongLines lines;
        brakkle::host::Transport transport;
        StutterEngine engine;
        StoredParameters parameters;
        juce::AudioBuffer<float> silence;
        std::optional<juce::int64> passingFrom;   // the input has passed since here while playing
    };
}

SliceMarks traceSlices (juce::int64 totalSamples,
                        int blockSize,
                        double sampleRate,
                        const HostState& initial,
                        const std::vector<ScheduleEvent>& events,
                        const PlaybackStart& start)
{
    SliceMarks marks;
    Tracer tracer (totalSamples, blockSize, sampleRate, marks);

    forEachPlayedBlock (totalSamples, blockSize, sampleRate, initial, events, start,
                        [&tracer] (juce::int64 blockStart, int length, const HostState& state, const BlockChanges& changes)
    {
        tracer.block (blockStart, length, state, changes);
    });

    return marks;
}

} // namespace brakkle::render
