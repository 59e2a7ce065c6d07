#include "Plot.h"

#include <algorithm>
#include <cmath>

namespace brakkle::render
{

namespace
{
    const juce::Colour background { 0xff15171a }, lane { 0xff1d2024 }, grid { 0xff30343a }, text { 0xffc8ccd2 };
    const juce::Colour inputWave { 0xff7f8c99 }, outputWave { 0xfff0a030 };
    const juce::Colour refreshMark { 0xffe04848 }, repeatMark { 0xff3fa0c8 }, stoppedShade { 0x30ffffff };
    const juce::Colour gateMark { 0xff5cc878 }, skippedMark { 0xffb58cf0 }, heldMark { 0xfff2d23a };
    const juce::Colour variedMark { 0xfff0d060 }, reverseMark { 0xff50d8c8 }, pitchMark { 0xffff70c0 };

    // A repeat's pitch mark stands this far down the output lane at the lowest pitch.
    constexpr float lowestMarkedPitch = -48.0f;

    constexpr int left = 70, right = 20, top = 70, laneGap = 50, bottom = 60;

    struct Lane
    {
        juce::Rectangle<int> area;
        juce::String name;
    };

    /** Min and max of the channels' mean over each pixel column. */
    void drawWave (juce::Graphics& g, const juce::AudioBuffer<float>& audio, juce::Rectangle<int> area, juce::Colour colour)
    {
        const auto total = audio.getNumSamples();
        const auto channels = audio.getNumChannels();
        const float middle = (float) area.getCentreY(), half = (float) area.getHeight() * 0.5f;
        g.setColour (colour);

        for (int x = 0; x < area.getWidth(); ++x)
        {
            const auto from = (int) ((juce::int64) total * x / area.getWidth());
            const auto to = juce::jmax (from + 1, (int) ((juce::int64) total * (x + 1) / area.getWidth()));
            float low = 0.0f, high = 0.0f;

            for (int i = from; i < juce::jmin (to, total); ++i)
            {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c)
                    sum += audio.getSample (c, i);
                const float v = juce::jlimit (-1.0f, 1.0f, sum / (float) channels);
                low = juce::jmin (low, v);
                high = juce::jmax (high, v);
            }

            g.drawVerticalLine (area.getX() + x, middle - high * half, middle - low * half + 1.0f);
        }
    }

    float xFor (juce::int64 sample, juce::int64 total, juce::Rectangle<int> area)
    {
        return (float) area.getX() + (float) area.getWidth() * (float) sample / (float) juce::jmax ((juce::int64) 1, total);
    }

    // The marks, each drawn at x from y0 down to y1 (in the legend as in the lanes).

    /** A fresh slice: a bar two pixels wide. */
    void drawCycleStart (juce::Graphics& g, float x, float y0, float y1)
    {
        g.setColour (refreshMark);
        g.fillRect (juce::Rectangle<float> (x - 1.0f, y0, 2.0f, y1 - y0));
    }

    /** A repeat: a thin line. */
    void drawRepeatStart (juce::Graphics& g, float x, float y0, float y1)
    {
        g.setColour (repeatMark);
        g.drawVerticalLine ((int) x, y0, y1);
    }

    /** The end of a cycle's gate: a dashed line, as wide as a fresh slice's. */
    void drawGateEnd (juce::Graphics& g, float x, float y0, float y1)
    {
        constexpr float dash = 6.0f, gap = 4.0f;
        g.setColour (gateMark);
        for (float y = y0; y < y1; y += dash + gap)
            g.fillRect (juce::Rectangle<float> ((float) (int) x - 1.0f, y, 2.0f, juce::jmin (dash, y1 - y)));
    }

    /** A cycle that chance skips: a short tick down from the top. */
    void drawSkippedCycle (juce::Graphics& g, float x, float y0, float)
    {
        g.setColour (skippedMark);
        g.fillRect (juce::Rectangle<float> ((float) (int) x - 1.0f, y0, 2.0f, 10.0f));
    }

    /** Where a repeat held by hand starts: a bar three pixels wide. */
    void drawHoldStart (juce::Graphics& g, float x, float y0, float y1)
    {
        g.setColour (heldMark);
        g.fillRect (juce::Rectangle<float> ((float) (int) x - 1.0f, y0, 3.0f, y1 - y0));
    }

    /** Where the input returns after it: a bar with a notch at the top. */
    void drawHoldEnd (juce::Graphics& g, float x, float y0, float y1)
    {
        g.setColour (heldMark);
        g.drawVerticalLine ((int) x, y0, y1);
        g.fillRect (juce::Rectangle<float> ((float) (int) x - 4.0f, y0, 5.0f, 3.0f));
    }

    /** How long a repeat is held: a band under the output lane. */
    void drawHeldStretches (juce::Graphics& g, const SliceMarks& marks, juce::int64 total, juce::Rectangle<int> area)
    {
        g.setColour (heldMark.withAlpha (0.8f));
        for (auto start : marks.holdStarts)
        {
            const auto end = std::upper_bound (marks.holdEnds.begin(), marks.holdEnds.end(), start);
            const auto to = end != marks.holdEnds.end() ? *end : total;
            const float x0 = xFor (start, total, area), x1 = xFor (to, total, area);
            g.fillRect (juce::Rectangle<float> (x0, (float) area.getBottom() + 1.0f, juce::jmax (1.0f, x1 - x0), 4.0f));
        }
    }

    /** A reversed repeat: a small triangle pointing back, above the lane. */
    void drawReversedRepeat (juce::Graphics& g, float x, float y0, float)
    {
        juce::Path p;
        p.addTriangle (x - 1.0f, y0 + 4.0f, x + 7.0f, y0, x + 7.0f, y0 + 8.0f);
        g.setColour (reverseMark);
        g.fillPath (p);
    }

    /** A repeat's pitch: a short dash from its start, from the lane's top (the
        recording's pitch) down to its bottom (-48 semitones). */
    void drawPitch (juce::Graphics& g, float x, float semitones, juce::Rectangle<int> area)
    {
        const float share = juce::jlimit (0.0f, 1.0f, semitones / lowestMarkedPitch);
        const float y = (float) area.getY() + 2.0f + share * ((float) area.getHeight() - 5.0f);
        g.setColour (pitchMark);
        g.fillRect (juce::Rectangle<float> ((float) (int) x, y - 1.5f, 8.0f, 3.0f));
    }

    /** The pitch mark as the legend shows it. */
    void drawPitchSymbol (juce::Graphics& g, float x, float y0, float y1)
    {
        g.setColour (pitchMark);
        g.fillRect (juce::Rectangle<float> ((float) (int) x - 4.0f, (y0 + y1) * 0.5f - 1.5f, 8.0f, 3.0f));
    }

    /** A cycle with a shorter slice: its share of the set length over its start. */
    void drawVariedCycle (juce::Graphics& g, float x, int division, float y)
    {
        g.setColour (variedMark);
        g.drawText ("1/" + juce::String (division), juce::Rectangle<float> (x - 14.0f, y, 28.0f, 14.0f), juce::Justification::centred);
    }

    /** The varied-slice mark as the legend shows it, small enough for the symbol's place. */
    void drawVariedSymbol (juce::Graphics& g, float x, float y0, float)
    {
        const auto font = g.getCurrentFont();
        g.setFont (juce::FontOptions (9.0f));
        g.setColour (variedMark);
        g.drawText ("1/2", juce::Rectangle<float> (x - 8.0f, y0, 16.0f, 14.0f), juce::Justification::centred);
        g.setFont (font);
    }

    /** Where the input passes: a lighter stretch. */
    void drawPassing (juce::Graphics& g, float x0, float x1, juce::Rectangle<int> area)
    {
        g.setColour (stoppedShade);
        g.fillRect (juce::Rectangle<float> (x0, (float) area.getY(), x1 - x0, (float) area.getHeight()));
    }

    using MarkDrawer = void (*) (juce::Graphics&, float x, float y0, float y1);

    /** Every sample of a list marked over the output lane, from `above` pixels over its top. */
    void drawMarks (juce::Graphics& g, const std::vector<juce::int64>& samples, juce::int64 total, juce::Rectangle<int> area,
                    float above, MarkDrawer draw)
    {
        for (auto s : samples)
            draw (g, xFor (s, total, area), (float) area.getY() - above, (float) area.getBottom());
    }

    /** One line of the legend at the bottom right: each entry's mark and its name. */
    void drawLegend (juce::Graphics& g)
    {
        struct Entry
        {
            MarkDrawer draw;   // none: the passing shade
            juce::String name;
            juce::Colour colour;
        };
        const Entry entries[] = {
            { nullptr,          "input passes",           text },
            { drawCycleStart,   "new slice (refresh)",    refreshMark },
            { drawRepeatStart,  "slice repeats",          repeatMark },
            { drawGateEnd,      "gate ends",              gateMark },
            { drawSkippedCycle, "cycle skipped (chance)", skippedMark },
            { drawHoldStart,    "held (Repeat)",          heldMark },
            { drawHoldEnd,      "input returns",          heldMark },
            { drawVariedSymbol, "shorter slice", variedMark },
            { drawReversedRepeat, "reversed", reverseMark },
            { drawPitchSymbol,  "pitch (0 to -48 st)", pitchMark },
        };

        constexpr float symbolWidth = 12.0f, nameGap = 4.0f, spacing = 24.0f;
        const float y = (float) plotHeight - 22.0f, height = 14.0f;
        const auto nameWidth = [&g] (const Entry& entry) { return juce::GlyphArrangement::getStringWidth (g.getCurrentFont(), entry.name); };

        float x = (float) (plotWidth - right);
        for (const auto& entry : entries)
            x -= symbolWidth + nameGap + nameWidth (entry) + spacing;

        for (const auto& entry : entries)
        {
            x = std::round (x + spacing);   // whole pixels: the marks' colours unblended
            if (entry.draw == nullptr)
            {
                g.setColour (stoppedShade.withMultipliedAlpha (2.0f));
                g.fillRect (juce::Rectangle<float> (x, y + 2.0f, 10.0f, 10.0f));
            }
            else
            {
                entry.draw (g, x + symbolWidth * 0.5f, y, y + height);
            }

            const auto width = nameWidth (entry);
            g.setColour (entry.colour);
            g.drawText (entry.name, juce::Rectangle<float> (x + symbolWidth + nameGap, y - 2.0f, width + 2.0f, 18.0f),
                        juce::Justification::centredLeft);
            x += symbolWidth + nameGap + width;
        }
    }
}

juce::Image drawPlot (const juce::AudioBuffer<float>& input,
                      const juce::AudioBuffer<float>& output,
                      double sampleRate,
                      const SliceMarks& marks,
                      const juce::String& title)
{
    juce::Image image (juce::Image::RGB, plotWidth, plotHeight, true);
    juce::Graphics g (image);
    g.fillAll (background);

    const auto total = (juce::int64) output.getNumSamples();
    const int laneHeight = (plotHeight - top - bottom - laneGap) / 2;
    const Lane lanes[] = { { { left, top, plotWidth - left - right, laneHeight }, "input" },
                           { { left, top + laneHeight + laneGap, plotWidth - left - right, laneHeight }, "output" } };

    g.setFont (juce::FontOptions (15.0f));
    g.setColour (text);
    g.drawText (title, 0, 8, plotWidth, 22, juce::Justification::centred);

    for (const auto& l : lanes)
    {
        g.setColour (lane);
        g.fillRect (l.area);

        for (const auto& [from, to] : marks.stopped)
            drawPassing (g, xFor (from, total, l.area), xFor (to, total, l.area), l.area);

        // Beat and bar lines only where the song position reaches them: none
        // through a stopped transport or a position that stands still.
        g.setColour (grid);
        for (auto beat : marks.beats)
            g.drawVerticalLine ((int) xFor (beat, total, l.area), (float) l.area.getY(), (float) l.area.getBottom());

        g.setColour (grid.brighter (0.3f));
        for (auto bar : marks.bars)
            g.drawVerticalLine ((int) xFor (bar, total, l.area), (float) l.area.getY(), (float) l.area.getBottom());

        g.setColour (grid);
        g.drawHorizontalLine (l.area.getCentreY(), (float) l.area.getX(), (float) l.area.getRight());
    }

    drawWave (g, input, lanes[0].area, inputWave);
    drawWave (g, output, lanes[1].area, outputWave);

    // Slice starts, gate ends and skipped cycles over the output; a skipped
    // cycle's tick stands just above the lane, where its shaded stretch begins.
    const auto& out = lanes[1].area;
    drawMarks (g, marks.repeatStarts, total, out, 0.0f, drawRepeatStart);
    drawMarks (g, marks.gateEnds, total, out, 0.0f, drawGateEnd);
    drawMarks (g, marks.cycleStarts, total, out, 6.0f, drawCycleStart);
    drawMarks (g, marks.skippedCycles, total, out, 12.0f, drawSkippedCycle);
    drawMarks (g, marks.holdStarts, total, out, 6.0f, drawHoldStart);
    drawMarks (g, marks.holdEnds, total, out, 6.0f, drawHoldEnd);
    drawHeldStretches (g, marks, total, out);

    // The shape of the repeats: a shorter slice's share over its cycle's start,
    // a reversed repeat's triangle above the lane, each shaped repeat's pitch in it.
    g.setFont (juce::FontOptions (12.0f));
    for (const auto& varied : marks.variedCycles)
        drawVariedCycle (g, xFor (varied.sample, total, out), varied.division, (float) out.getY() - 30.0f);
    for (const auto& repeat : marks.shapedRepeats)
    {
        const float x = xFor (repeat.sample, total, out);
        if (repeat.backwards)
            drawReversedRepeat (g, x, (float) out.getY() - 14.0f, 0.0f);
        drawPitch (g, x, repeat.semitones, out);
    }

    // Labels: lane names, seconds below, bars and beats above.
    g.setFont (juce::FontOptions (13.0f));
    for (const auto& l : lanes)
    {
        g.setColour (text);
        g.drawText (l.name, 4, l.area.getY(), left - 8, 20, juce::Justification::centredLeft);
    }

    const double seconds = (double) total / sampleRate;
    const double step = seconds <= 4.0 ? 0.5 : seconds <= 12.0 ? 1.0 : seconds <= 40.0 ? 2.0 : 10.0;
    for (double t = 0.0; t <= seconds + 1.0e-9; t += step)
    {
        const float x = xFor ((juce::int64) (t * sampleRate), total, out);
        g.setColour (text);
        g.drawText (juce::String (t, step < 1.0 ? 1 : 0) + " s", (int) x - 30, out.getBottom() + 6, 60, 18, juce::Justification::centred);
    }

    // Bars are numbered in the song's meter from song position 0, wherever the
    // render starts; with many of them only every fourth (or sixteenth) is.
    const int barsPerLabel = marks.bars.size() > 64 ? 16 : marks.bars.size() > 16 ? 4 : 1;
    for (size_t b = 0; b < marks.bars.size() && b < marks.barNumbers.size(); ++b)
    {
        if ((marks.barNumbers[b] - 1) % barsPerLabel != 0)
            continue;
        const float x = xFor (marks.bars[b], total, lanes[0].area);
        g.setColour (text);
        g.drawText ("bar " + juce::String (marks.barNumbers[b]), (int) x - 30, top - 24, 60, 18, juce::Justification::centred);
    }

    drawLegend (g);
    return image;
}

bool writePlot (const juce::File& file,
                const juce::AudioBuffer<float>& input,
                const juce::AudioBuffer<float>& output,
                double sampleRate,
                const SliceMarks& marks,
                const juce::String& title,
                juce::String& errorMessage)
{
    const auto image = drawPlot (input, output, sampleRate, marks, title);

    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;
    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
    {
        errorMessage = "cannot write the plot to " + file.getFullPathName();
        return false;
    }
    return true;
}

} // namespace brakkle::render
