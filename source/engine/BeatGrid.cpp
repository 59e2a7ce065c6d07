#include "BeatGrid.h"

#include "NoteDivisions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace brakkle
{

namespace
{
    // Lines closer than this to the end of their bar (in quarter notes) are the
    // bar line itself: 12 triplet eighths make a bar, not a bar and a sliver.
    constexpr double lineSlack = 1.0e-9;

    // A line reached this little (in samples) after a sample counts as reached at
    // that sample: rounding in the position arithmetic must not move a line by one,
    // nor must a song position a host can only send rounded to its own fixed point
    // (CLAP: whole 1/2^31 beats, at most 2.7e-4 samples off at 10 BPM and 192 kHz).
    constexpr double sampleSlack = 1.0e-3;

    // Positions (quarter notes) closer than this are the same: far below any
    // rounding a host applies, far above the error of double arithmetic.
    constexpr double exactTolerance = 1.0e-9;

    // Beyond this many samples from the lock (some 600 years at 48 kHz) positions
    // are not followed further; it keeps the arithmetic within 64-bit samples.
    constexpr double farthestSample = 1.0e15;

    constexpr int maxLineSteps = 8;

    // The tempos and positions the grid follows.
    constexpr double slowestTempo = 1.0;
    constexpr double fastestTempo = 100000.0;
    constexpr double farthestPosition = 1.0e9;

    bool isUsableMeter (int numerator, int denominator) noexcept
    {
        return numerator > 0 && denominator > 0;
    }
}

bool BeatGrid::canFollow (const MusicalPosition& host) noexcept
{
    return host.bpm >= slowestTempo && host.bpm <= fastestTempo
        && std::abs (host.ppq) < farthestPosition;   // false for NaN
}

void BeatGrid::setSampleRate (double newSampleRate) noexcept
{
    wasHeld = false;
    if (newSampleRate > 0.0 && std::isfinite (newSampleRate))
        sampleRate = newSampleRate;

    samplesPerQuarter = 60.0 * sampleRate / bpm;
    locked = false;
}

BeatGrid::Change BeatGrid::beginBlock (const MusicalPosition& host, bool waiting) noexcept
{
    adoptLoop (host);
    const double previousHostPpq = std::exchange (lastHostPpq, host.ppq);
    const bool held = locked && isHeld (host.ppq - previousHostPpq);

    if (held)
    {
        // Standing still is no position to follow: the next block, once it moves,
        // tells where the song really started.
        lockAt (host);
        wasHeld = true;
        return Change::held;
    }

    if (std::exchange (wasHeld, false))
    {
        lockAt (host);
        return Change::locked;
    }

    // A loop that wraps right at this block's start (a host that cuts its
    // blocks there) is followed before the host's report is compared.
    if (locked && loopReported && sampleAt (loopEnd) == start)
        wrapLoop (start);

    const double expected = positionOf (start);
    const double deviation = std::abs (host.ppq - expected);
    const bool tempoChanged = host.bpm < lastHostBpm || host.bpm > lastHostBpm;
    const double reportedMove = host.ppq - previousHostPpq;
    lastHostBpm = host.bpm;

    // Some hosts report a ramp's first tempo until the ramp is over, while
    // their position follows it: the tempo the position moves at is followed.
    if (locked && ! waiting && ! tempoChanged && deviation > roundingTolerance && lastBlockLength > 0)
    {
        const double moved = reportedMove * 60.0 * sampleRate / (double) lastBlockLength;
        if (moved > bpm * (1.0 - unreportedTempoChange) && moved < bpm * (1.0 + unreportedTempoChange))
        {
            anchorPpq = host.ppq;
            anchorSample = start;
            exactLock = false;
            bpm = moved;
            samplesPerQuarter = 60.0 * sampleRate / bpm;
            return Change::retimed;
        }
    }

    // A tempo that changed somewhere in the last block (a step, a ramp) moved
    // the host by up to this much more or less than the grid expected.
    const double tempoDrift = std::abs (host.bpm - bpm) / 60.0 * (double) lastBlockLength / sampleRate;
    const bool jumped = locked && deviation > jumpTolerance + tempoDrift;

    if (! locked || jumped)
    {
        lockAt (host);
        return Change::locked;
    }

    if (waiting && (deviation > roundingTolerance || (deviation > exactTolerance && isExact (host))))
    {
        // Nothing depends on the lock yet: the latest report places the lines,
        // and an exact one replaces a lock taken from a rounded report (a
        // pre-roll reported to the nearest 1/1920 quarter, then the block at the
        // song's start reported exactly).
        lockAt (host);
        return Change::none;
    }

    auto change = Change::none;

    // A new tempo holds from this block on. Where the host is differs from the
    // grid's own position only by rounding, the grid keeps its own; a ramp or a
    // step inside the last block moved the host further, and it is followed.
    if (tempoChanged)
    {
        anchorPpq = deviation > roundingTolerance ? host.ppq : expected;
        anchorSample = start;
        exactLock = exactLock && deviation <= exactTolerance;
        bpm = host.bpm;
        samplesPerQuarter = 60.0 * sampleRate / bpm;
        change = Change::retimed;
    }

    // The bars move only when the meter changes or the host's bar lines really
    // lie elsewhere; a bar start off by whole bars (from rounding near a bar
    // line) is the same grid.
    const int hostNumerator = isUsableMeter (host.numerator, host.denominator) ? host.numerator : 4;
    const int hostDenominator = isUsableMeter (host.numerator, host.denominator) ? host.denominator : 4;
    bool barsMoved = hostNumerator != numerator || hostDenominator != denominator;

    if (! barsMoved && hasUsableBarStart (host))
    {
        const double offset = host.barStartPpq - barOrigin;
        barsMoved = std::abs (offset - std::round (offset / bar) * bar) > jumpTolerance;
    }

    if (barsMoved)
    {
        adoptBars (host);
        change = Change::retimed;
    }

    return change;
}

void BeatGrid::lockAt (const MusicalPosition& host) noexcept
{
    lastHostBpm = host.bpm;
    anchorSample = start;
    anchorPpq = host.ppq;
    exactLock = isExact (host);
    bpm = host.bpm;
    samplesPerQuarter = 60.0 * sampleRate / bpm;
    adoptBars (host);
    locked = true;
}

bool BeatGrid::isExact (const MusicalPosition& host) const noexcept
{
    // A host that rounds its quarter-note position keeps its sample position
    // exact. Where the two agree at the reported tempo (a song at one tempo
    // from its start), the position is no rounded one: rounding would have
    // moved it off the samples. With tempo changes before the block they do
    // not agree, and nothing is taken for exact.
    if (! host.hasSamplePosition)
        return false;

    const double fromSamples = (double) host.samplePosition * host.bpm / (60.0 * sampleRate);
    return std::abs (host.ppq - fromSamples) <= exactTolerance;
}

bool BeatGrid::isHeld (double reportedMove) const noexcept
{
    // The last block should have moved the song clearly further than any
    // rounding of the host's position could hide.
    constexpr double standingStill = 1.0e-9;
    const double expectedMove = (double) lastBlockLength / samplesPerQuarter;
    return lastBlockLength > 0 && expectedMove > 4.0 * roundingTolerance
        && std::abs (reportedMove) < standingStill;
}

void BeatGrid::adoptLoop (const MusicalPosition& host) noexcept
{
    constexpr double shortestLoop = 1.0 / 64.0;
    loopReported = host.looping && std::isfinite (host.loopStartPpq) && std::isfinite (host.loopEndPpq)
                && host.loopEndPpq - host.loopStartPpq >= shortestLoop && host.loopStartPpq >= -farthestPosition
                && host.loopEndPpq <= farthestPosition;
    loopStart = host.loopStartPpq;
    loopEnd = host.loopEndPpq;
}

std::int64_t BeatGrid::loopWrapSampleFrom (std::int64_t from) const noexcept
{
    if (! locked || ! loopReported)
        return -1;

    // The first sample at or past the loop's end; one already behind is no wrap ahead.
    const auto wrap = sampleAt (loopEnd);
    return wrap >= from ? wrap : -1;
}

void BeatGrid::wrapLoop (std::int64_t sample) noexcept
{
    const double past = std::max (0.0, positionOf (sample) - loopEnd);
    anchorPpq = loopStart + past;
    anchorSample = sample;
}

std::int64_t BeatGrid::recentLineSample (std::int64_t maxSamplesBack, Period period) const noexcept
{
    if (! locked || maxSamplesBack < 0)
        return -1;

    // The latest line at or before the block's first sample lies at most one
    // period before it.
    const double length = period.length();
    const double from = std::max (positionOf (start - maxSamplesBack - 1), positionOf (start) - length - lineSlack);
    std::int64_t found = -1;
    double line = lineAfter (from, period);

    for (int step = 0; step < maxLineSteps; ++step)
    {
        const auto reached = sampleAt (line);
        if (reached > start)
            break;
        if (reached >= start - maxSamplesBack)
            found = reached;
        line = lineAfter (line, period);
    }

    return found;
}

void BeatGrid::adoptBars (const MusicalPosition& host) noexcept
{
    const bool usable = isUsableMeter (host.numerator, host.denominator);
    numerator = usable ? host.numerator : 4;
    denominator = usable ? host.denominator : 4;
    bar = 4.0 * numerator / denominator;
    if (hasUsableBarStart (host))
        barOrigin = host.barStartPpq;
    else if (! locked)
        barOrigin = 0.0;
}

bool BeatGrid::hasUsableBarStart (const MusicalPosition& host) const noexcept
{
    // The start of the bar the position lies in, or it is no bar start (one
    // host reports four quarters per bar counted from 1, whatever the meter).
    return host.hasBarStart && std::isfinite (host.barStartPpq)
        && host.barStartPpq <= host.ppq + jumpTolerance && host.barStartPpq > host.ppq - bar - jumpTolerance;
}

double BeatGrid::positionOf (std::int64_t sample) const noexcept
{
    return anchorPpq + (double) (sample - anchorSample) / samplesPerQuarter;
}

std::int64_t BeatGrid::sampleAt (double ppq) const noexcept
{
    const double offset = std::ceil ((ppq - anchorPpq) * samplesPerQuarter - sampleSlack);
    if (std::isnan (offset))
        return anchorSample;
    return anchorSample + (std::int64_t) std::clamp (offset, -farthestSample, farthestSample);
}

double BeatGrid::lineAfter (double ppq, Period period) const noexcept
{
    // Lines moved later by an offset are the unmoved lines after the position
    // that much earlier, moved. With none, the position is not touched at all.
    if (period.offset > 0.0)
        return unshiftedLineAfter (ppq - period.offset, period) + period.offset;

    return unshiftedLineAfter (ppq, period);
}

double BeatGrid::unshiftedLineAfter (double ppq, Period period) const noexcept
{
    // The first line is at or after position 0.
    const double x = std::max (ppq, -lineSlack);
    const double length = period.numerator / period.denominator;

    // The k-th multiple of the period after `from`, with k counted so that the
    // line lies past x even where x itself is a line rounded down.
    const auto multipleAfter = [&] (double from)
    {
        double k = std::floor ((x - from) * period.denominator / period.numerator) + 1.0;
        double line = from + k * period.numerator / period.denominator;

        if (line <= x)
            line = from + (k + 1.0) * period.numerator / period.denominator;

        return line;
    };

    if (length > bar)
        return multipleAfter (0.0);

    const double barStart = barOrigin + std::floor ((x - barOrigin) / bar) * bar;
    const double nextBar = barStart + bar;
    const double line = multipleAfter (barStart);

    if (line < nextBar - lineSlack)
        return line;

    // x at the next bar line, rounded into the bar before: the line after it.
    if (nextBar <= x)
        return length < bar - lineSlack ? nextBar + length : nextBar + bar;

    return nextBar;
}

BeatGrid::Line BeatGrid::firstLineFrom (std::int64_t sample, Period period) const noexcept
{
    // Lines up to the previous sample's position are behind; a line that rounding
    // puts there after all, or a sliver of a segment, is stepped over.
    double line = lineAfter (positionOf (sample - 1), period);

    for (int step = 0; step < maxLineSteps; ++step)
    {
        if (const auto reached = sampleAt (line); reached >= sample)
            return { reached, line };

        line = lineAfter (line, period);
    }

    // Positions too far out to tell lines apart: start now.
    return { sample, std::numeric_limits<double>::quiet_NaN() };
}

BeatGrid::Boundary BeatGrid::nextBoundary (std::int64_t from, Period period) const noexcept
{
    const auto line = firstLineFrom (from, period);
    const auto wrap = loopWrapSampleFrom (from);

    if (wrap < 0 || wrap > line.sample)
        return { line.sample, false, true, line.ppq };

    // Is the loop's start a line? The first line from just before it says.
    return { wrap, true, isLine (loopStart, period), loopStart };
}

bool BeatGrid::isLine (double ppq, Period period) const noexcept
{
    constexpr double nearLine = 1.0e-8;
    return std::abs (lineAfter (ppq - nearLine, period) - ppq) < nearLine;
}

bool BeatGrid::startsOnLine (const MusicalPosition& host, Period period) noexcept
{
    // A block that the host starts exactly on a line (as hosts do where they
    // split a block at the end of a pre-roll or a loop) says where that line
    // is more precisely than any rounded report before it.
    if (! locked || ! isLine (host.ppq, period))
        return false;

    lockAt (host);
    return true;
}

BeatGrid::Period BeatGrid::refreshPeriod (bool sync, int noteIndex, double freeTimeMs) const noexcept
{
    if (sync && noteIndex >= oneBarNoteDivision)
    {
        // Bars are the host's bars.
        const double bars = noteIndex > oneBarNoteDivision ? 2.0 : 1.0;
        return { 4.0 * numerator * bars, (double) denominator };
    }

    if (sync)
    {
        const auto& fraction = noteDivisionFractions[(size_t) std::clamp (noteIndex, 0, numNoteDivisions - 1)];
        return { (double) fraction[0], (double) fraction[1] };
    }

    const double milliseconds = std::max (1.0, freeTimeMs);   // a NaN gives 1
    return { milliseconds / 1000.0 * bpm / 60.0, 1.0 };
}

} // namespace brakkle
