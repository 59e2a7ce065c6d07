#include "RenderOptions.h"

#include "engine/NoteDivisions.h"
#include "processor/ParameterIds.h"
#include "processor/ParameterText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace brakkle::render
{

namespace
{
    /** The whole text as a finite number, or false. */
    bool parseNumber (const juce::String& text, double& value)
    {
        const auto trimmed = text.trim();
        if (trimmed.isEmpty())
            return false;

        const auto utf8 = trimmed.toStdString();
        char* end = nullptr;
        value = std::strtod (utf8.c_str(), &end);
        return end != nullptr && *end == '\0' && std::isfinite (value);
    }

    bool parseInteger (const juce::String& text, int minimum, int maximum, int& value)
    {
        double number = 0.0;
        if (! parseNumber (text, number) || number < minimum || number > maximum || std::floor (number) < number)
            return false;
        value = (int) number;
        return true;
    }

    /** "N/D": a numerator from 1 to 32 over a power of two from 1 to 32. */
    bool parseMeter (const juce::String& text, int& numerator, int& denominator)
    {
        const auto trimmed = text.trim();
        if (trimmed.indexOfChar ('/') < 0)
            return false;

        int n = 0, d = 0;
        if (! parseInteger (trimmed.upToFirstOccurrenceOf ("/", false, false), 1, 32, n)
            || ! parseInteger (trimmed.fromFirstOccurrenceOf ("/", false, false), 1, 32, d)
            || ! juce::isPowerOfTwo (d))
            return false;

        numerator = n;
        denominator = d;
        return true;
    }

    juce::String knownIds()
    {
        juce::StringArray ids;
        for (const auto& spec : parameterTable)
            ids.add (spec.id);
        return ids.joinIntoString (", ");
    }

    /** "Parameters: " and every ID, in lines of at most 80 characters. */
    juce::String wrappedIds()
    {
        constexpr int width = 78;
        juce::String text, line ("Parameters:");
        for (const auto& spec : parameterTable)
        {
            if (line.length() + 1 + spec.id.length() > width)
            {
                text << line << "\n";
                line = spec.id;
            }
            else
            {
                line << " " << spec.id;
            }
        }
        return text + line + "\n";
    }

    /** The note divisions' names, as the plug-in shows them. */
    const ParameterTextFunctions::NoteNames& noteNames()
    {
        static const auto names = []
        {
            ParameterTextFunctions::NoteNames result;
            std::copy (brakkle::noteDivisionNames.begin(), brakkle::noteDivisionNames.end(), result.begin());
            return result;
        }();
        return names;
    }

    /** A value as the plug-in reads a typed text ("12/16", "50 %", "8 kHz",
        "1/8 D", "on"); nothing when it reads as no number or name. */
    std::optional<float> readValue (const ParameterSpec& spec, const juce::String& text)
    {
        return ParameterTextFunctions::typedValue (spec.text, noteNames(), text);
    }

    /** What else a value may look like, for the message about one that reads as no number. */
    juce::String valueHint (const ParameterSpec& spec)
    {
        switch (spec.text)
        {
            case ParameterText::onOff:        return " (use on or off)";
            case ParameterText::noteDivision: return " (a note division like 1/16 or 1/8 D also works)";
            case ParameterText::sixteenths:   return " (a share of the refresh period like 12/16 also works)";
            case ParameterText::percent:      return " (a percentage like 50 % also works)";
            case ParameterText::frequency:    return " (kilohertz like 8 kHz or 8k also work)";
            case ParameterText::semitones:    return " (semitones like -12 st also work)";
            case ParameterText::reverseMode:  return " (use off, on or alternate)";
            case ParameterText::wholeNumber:
            case ParameterText::twoDecimals:  break;
        }
        return {};
    }

    /** "0 to 15", and for named steps what the ends are shown as: "0 to 15: 0/16 to 15/16". */
    juce::String rangeText (const ParameterSpec& spec)
    {
        const auto numbers = juce::String (spec.minimum) + " to " + juce::String (spec.maximum);
        if (! spec.hasNamedSteps())
            return numbers;

        using ParameterTextFunctions::shownText;
        return numbers + ": " + shownText (spec.text, noteNames(), spec.minimum) + " to " + shownText (spec.text, noteNames(), spec.maximum);
    }

    /** A switch's or a stepped parameter's steps as the plug-in shows them, lowest first, "|" between. */
    juce::String namedSteps (const ParameterSpec& spec)
    {
        if (! spec.hasNamedSteps() && ! spec.isSwitch())
            return {};

        juce::StringArray names;
        for (auto value = spec.minimum; value <= spec.maximum; value += spec.step)
            names.add (ParameterTextFunctions::shownText (spec.text, noteNames(), value));
        return names.joinIntoString ("|");
    }
}

juce::String parameterList()
{
    juce::String text ("# Brakkle's parameters in the order hosts list them, values in their own units, tab-separated:\n"
                       "# id\tname\tminimum\tmaximum\tstep\tdefault\tnamed steps, lowest first, \"|\" between\n");

    for (const auto& spec : parameterTable)
    {
        juce::StringArray row { spec.id, spec.name, juce::String (spec.minimum), juce::String (spec.maximum),
                                juce::String (spec.step), juce::String (spec.defaultValue), namedSteps (spec) };
        text << row.joinIntoString ("\t") << "\n";
    }

    return text;
}

bool parseBeats (const juce::String& text, double& beats)
{
    double value = 0.0;
    if (! parseNumber (text, value) || value < 0.0 || value > maximumBeats)
        return false;
    beats = value;
    return true;
}

juce::String parseParameterSetting (const juce::String& text, ParameterSetting& setting)
{
    if (! text.contains ("="))
        return "--param takes id=value, got \"" + text + "\"";

    const auto id = text.upToFirstOccurrenceOf ("=", false, false).trim();
    const auto valueText = text.fromFirstOccurrenceOf ("=", false, false).trim();
    const auto* spec = findParameterSpec (id);

    if (spec == nullptr)
        return "unknown parameter \"" + id + "\" (known: " + knownIds() + ")";

    const auto read = readValue (*spec, valueText);

    if (! read)
        return "value of " + id + " is not a number: \"" + valueText + "\"" + valueHint (*spec);

    const double value = *read;
    if (value < spec->minimum || value > spec->maximum)
        return "value of " + id + " is out of range: " + valueText + " (the range is " + rangeText (*spec) + ")";

    setting.id = id;
    setting.value = (float) value;
    setting.normalised = (float) ((value - spec->minimum) / (spec->maximum - spec->minimum));
    return {};
}

juce::String parseRenderOptions (const juce::StringArray& arguments, RenderOptions& options)
{
    bool formatGiven = false;

    for (int i = 0; i < arguments.size(); ++i)
    {
        auto argument = arguments[i];
        juce::String inlineValue;
        bool hasInlineValue = false;

        if (argument.startsWith ("--") && argument.contains ("="))
        {
            inlineValue = argument.fromFirstOccurrenceOf ("=", false, false);
            argument = argument.upToFirstOccurrenceOf ("=", false, false);
            hasInlineValue = true;
        }

        auto takeValue = [&] (juce::String& value) -> bool
        {
            if (hasInlineValue)
            {
                value = inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            value = arguments[++i];
            return true;
        };

        juce::String value;
        const auto missing = [&] { return argument + " needs a value"; };

        if (argument == "--help" || argument == "-h")
        {
            options.help = true;
        }
        else if (argument == "--list-presets")
        {
            options.listPresets = true;
        }
        else if (argument == "--describe")
        {
            options.describe = true;
        }
        else if (argument == "--list-parameters")
        {
            options.listParameters = true;
        }
        else if (argument == "--preset")
        {
            if (! takeValue (value) || value.isEmpty())
                return missing();
            options.preset = value;
        }
        else if (argument == "--stopped")
        {
            options.stopped = true;
        }
        else if (argument == "--preroll-hold")
        {
            options.holdPreroll = true;
        }
        else if (argument == "--loop-unreported")
        {
            options.reportsLoop = false;
        }
        else if (argument == "--no-tempo")
        {
            options.reportsTempo = false;
        }
        else if (argument == "--quiet" || argument == "-q")
        {
            options.quiet = true;
        }
        else if (auto* file = argument == "--in"          ? &options.input
                            : argument == "--out"         ? &options.output
                            : argument == "--bundle"      ? &options.bundle
                            : argument == "--schedule"    ? &options.schedule
                            : argument == "--plot"        ? &options.plot
                            : argument == "--editor-shot" ? &options.editorShot
                                                          : nullptr)
        {
            if (! takeValue (value) || value.isEmpty())
                return missing();
            *file = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        }
        else if (argument == "--format")
        {
            if (! takeValue (value))
                return missing();
            if (value != "vst3" && value != "lv2" && value != "clap")
                return "--format takes vst3, lv2 or clap, got \"" + value + "\"";
            options.format = value;
            formatGiven = true;
        }
        else if (argument == "--bpm")
        {
            double bpm = 0.0;
            if (! takeValue (value))
                return missing();
            if (! parseNumber (value, bpm) || bpm < 1.0 || bpm > 999.0)
                return "--bpm takes a tempo from 1 to 999, got \"" + value + "\"";
            options.bpm = bpm;
        }
        else if (argument == "--meter")
        {
            if (! takeValue (value))
                return missing();
            if (! parseMeter (value, options.meterNumerator, options.meterDenominator))
                return "--meter takes a time signature like 4/4, 3/4 or 7/8 (1 to 32 over 1, 2, 4, 8, 16 or 32), got \"" + value + "\"";
        }
        else if (argument == "--start")
        {
            if (! takeValue (value))
                return missing();
            if (! parseBeats (value, options.startBeats))
                return "--start takes a position in beats (quarter notes) from 0 to " + juce::String (maximumBeats)
                       + ", got \"" + value + "\"";
        }
        else if (argument == "--preroll")
        {
            int samples = 0;
            if (! takeValue (value))
                return missing();
            if (! parseInteger (value, 0, maximumPreroll, samples))
                return "--preroll takes a whole number of samples from 0 to " + juce::String (maximumPreroll)
                       + ", got \"" + value + "\"";
            options.preroll = samples;
        }
        else if (argument == "--loop")
        {
            if (! takeValue (value))
                return missing();
            if (! value.containsChar (',')
                || ! parseBeats (value.upToFirstOccurrenceOf (",", false, false), options.loopStart)
                || ! parseBeats (value.fromFirstOccurrenceOf (",", false, false), options.loopEnd)
                || ! (options.loopEnd > options.loopStart))
                return "--loop takes two song positions in beats (quarter notes) from 0 to " + juce::String (maximumBeats)
                       + ", the start before the end, like 4,8; got \"" + value + "\"";
            options.loops = true;
        }
        else if (argument == "--press")
        {
            double from = 0.0, to = 0.0;
            if (! takeValue (value))
                return missing();
            if (! value.containsChar (',')
                || ! parseBeats (value.upToFirstOccurrenceOf (",", false, false), from)
                || ! parseBeats (value.fromFirstOccurrenceOf (",", false, false), to)
                || ! (to > from))
                return "--press takes two times in beats from the render's start, the press before the release, like 4,6; got \""
                       + value + "\"";
            options.presses.add (juce::String (from, 6) + "b repeatHold=on");
            options.presses.add (juce::String (to, 6) + "b repeatHold=off");
        }
        else if (argument == "--block")
        {
            if (! takeValue (value))
                return missing();
            if (! parseInteger (value, 1, 8192, options.blockSize))
                return "--block takes a whole number of samples from 1 to 8192, got \"" + value + "\"";
        }
        else if (argument == "--bits")
        {
            if (! takeValue (value))
                return missing();
            if (! parseInteger (value, 16, 32, options.bits) || (options.bits != 16 && options.bits != 24 && options.bits != 32))
                return "--bits takes 16, 24 or 32, got \"" + value + "\"";
        }
        else if (argument == "--bars")
        {
            if (! takeValue (value))
                return missing();
            if (! parseInteger (value, 1, 64, options.bars))
                return "--bars takes a whole number from 1 to 64, got \"" + value + "\"";
        }
        else if (argument == "--param")
        {
            if (! takeValue (value))
                return missing();
            ParameterSetting setting;
            if (auto error = parseParameterSetting (value, setting); error.isNotEmpty())
                return error;
            options.parameters.push_back (setting);
        }
        else
        {
            return "unknown option \"" + arguments[i] + "\"";
        }
    }

    if (options.help || options.listPresets || options.listParameters)
        return {};

    if (options.output == juce::File() && ! options.describe)
        return "--out is required";

    if (formatGiven && options.bundle != juce::File())
        return "--format picks this build's bundle: give either --format or --bundle";

    if (options.holdPreroll && options.preroll == 0)
        return "--preroll-hold needs a --preroll of at least one sample";

    if (! options.reportsLoop && ! options.loops)
        return "--loop-unreported needs a --loop";

    if (options.input != juce::File())
        for (const auto* written : { &options.output, &options.plot, &options.editorShot })
            if (*written != juce::File() && options.input.getLinkedTarget() == written->getLinkedTarget())
                return "--out, --plot and --editor-shot must not name the input file";

    return {};
}

juce::String usage()
{
    return juce::String (R"(Usage: brakkle-render --out OUT.wav [options]

Renders audio through the Brakkle VST3, LV2 or CLAP plug-in, as a host would:
its play head reports the transport at the first sample of every block.

  --in FILE          WAV file to process (mono or stereo); without it a drum
                     loop is synthesised at --bpm
  --out FILE         WAV file to write (never the input file)
  --bpm N            host tempo, 1 to 999 (default 120)
  --meter N/D        the host's time signature, e.g. 3/4 or 7/8 (default 4/4)
  --start BEATS      song position of the first sample, in beats (quarter
                     notes; default 0): playback starts there
  --preroll N        first play N samples of silence with the transport
                     running and the position before --start, as a host's
                     pre-roll; their output is discarded (default 0)
  --preroll-hold     hold the position at --start through the pre-roll (as
                     some hosts do), in blocks that run on into the file's:
                     the pre-roll may end inside a block
  --loop FROM,TO     loop the transport from beat FROM to beat TO (quarter
                     notes); it wraps where it falls, also inside a block, and
                     the play head reports its loop points
  --loop-unreported  with --loop: the play head does not report the loop
  --no-tempo         the play head reports no tempo (the transport still
                     runs at --bpm and the schedule's tempos)
  --stopped          render with the host transport stopped (dry pass-through)
  --block N          block size in samples, 1 to 8192 (default 512)
  --bits N           output sample format: 16, 24 or 32 (float; default)
  --bars N           length of the synthesised loop in 4/4 bars (default 4)
  --preset NAME      start from a preset: a factory preset's name, one of
                     your own (see --list-presets) or a preset file; any
                     --param then changes it
  --list-presets     list the factory presets and your own, then stop
  --describe         load the plug-in (--format, --bundle) and print what a
                     host reads: name, maker, version, category or CLAP ID
                     and features, every parameter with its texts; no --out
  --list-parameters  list every parameter (ID, name, range, step, default,
                     named steps), one a line, tab-separated, then stop
  --param ID=VALUE   set a parameter, repeatable: a number in its own units
                     or its value as the plug-in's window shows it: note
                     divisions by name (stutterTimeBpm=1/16), shares in
                     sixteenths (fillOffset=12/16), percentages
                     (fillChance="50 %"), kilohertz (filterFreq=8k);
                     switches as on/off (stutterSync=off)
  --press FROM,TO    hold Repeat from beat FROM to beat TO of the render
                     (repeatable): schedule lines "FROMb repeatHold=on" and
                     "TOb repeatHold=off"
  --schedule FILE    timed changes, one per line: "<time> <change>", the time
                     in seconds (1.5 or 1.5s) or beats (8b), the change one of
                     stop, play, bpm=<tempo>, ramp=<tempo>,<length> (a
                     linear tempo ramp over a length in seconds, 2 or 2s,
                     or in the beats it covers, 8b), locate=<beats> (the
                     song position jumps there), <parameter id>=<value>;
                     '#' starts a comment
  --plot FILE.png    draw input and output with slice starts and refreshes
  --editor-shot FILE.png
                     picture of the plug-in's window with these parameters
  --quiet            no progress bar
  --format vst3|lv2|clap
                     render through this build's VST3 (default) or LV2 bundle
                     or its CLAP file
  --bundle PATH      the Brakkle.vst3 or Brakkle.lv2 bundle or the Brakkle.clap
                     file to load instead
  --help             show this text

Example schedule:
  0     stutterTimeBpm=1/16
  4b    filterMix=100
  8b    bpm=90
  6s    stop
  6.5s  play
  16b   locate=8
  20b   ramp=120,4b

)") + wrappedIds();
}

} // namespace brakkle::render
