#pragma once

#include <juce_core/juce_core.h>

#include <vector>

namespace brakkle::render
{

/** The furthest song position --start and a schedule's locate= reach, in beats
    (quarter notes): hours at any usual tempo. */
constexpr double maximumBeats = 100000.0;

/** The longest --preroll, in samples: ten seconds at 192 kHz. */
constexpr int maximumPreroll = 1920000;

/** A parameter value given on the command line, in the parameter's own units. */
struct ParameterSetting
{
    juce::String id;
    float value = 0.0f;
    float normalised = 0.0f;
};

struct RenderOptions
{
    juce::File input;             // none: a synthesised drum loop
    juce::File output;
    juce::File bundle;            // a Brakkle.vst3 or Brakkle.lv2 bundle; none: this build's, of `format`
    juce::String format { "vst3" };   // "vst3" or "lv2"
    juce::File schedule;          // timed changes (see Schedule.h)
    juce::StringArray presses;    // schedule lines written by --press: Repeat on and off, in beats
    juce::File plot;              // a PNG of input and output
    juce::File editorShot;        // a PNG of the plug-in's window
    bool quiet = false;
    double bpm = 120.0;
    int meterNumerator = 4;       // the host's time signature
    int meterDenominator = 4;
    double startBeats = 0.0;      // musical position of the first sample, in quarter notes
    juce::int64 preroll = 0;      // samples played before the start, as a host's pre-roll
    bool holdPreroll = false;     // the position stands still at the start through the pre-roll
    bool loops = false;           // the transport loops between these song positions (quarter notes),
    double loopStart = 0.0;       // wrapping where it falls, also inside a block
    double loopEnd = 0.0;
    bool reportsLoop = true;      // false: the play head does not say that it loops, nor where
    bool reportsTempo = true;     // false: the play head gives no tempo
    bool stopped = false;
    int blockSize = 512;
    int bits = 32;
    int bars = 4;                 // length of the synthesised loop
    bool help = false;
    bool listPresets = false;
    bool describe = false;        // print what a host reads from the plug-in, render nothing
    bool listParameters = false;
    juce::String preset;          // a factory preset's name, a user preset's name or a file; before any --param
    std::vector<ParameterSetting> parameters;
};

/** Parses the command line (without the program name). Returns an empty string
    on success, otherwise a one-line description of what is wrong. */
juce::String parseRenderOptions (const juce::StringArray& arguments, RenderOptions& options);

/** Parses "id=value": a known parameter ID and a value in its range (a note
    division may also be given by name, a switch as on/off). */
juce::String parseParameterSetting (const juce::String& text, ParameterSetting& setting);

/** A position in beats (quarter notes) from 0 to maximumBeats, or false. */
bool parseBeats (const juce::String& text, double& beats);

/** Every parameter, one a line: ID, name, range, step, default and named
    steps, tab-separated (--list-parameters). */
juce::String parameterList();

/** The --help text. */
juce::String usage();

} // namespace brakkle::render
