#pragma once

#include "editor/BrakkleAudioProcessorEditor.h"
#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace juce::detail
{
// JUCE's own one-step message dispatch (juce_events, Linux and Windows). The
// plug-in's build has no modal loops, so runDispatchLoopUntil is not there.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace brakkle::editortest
{

/** Delivers every message already posted to the message thread (async
    attachment updates, button clicks), then returns. */
inline void deliverPendingMessages()
{
    for (int i = 0; i < 10000; ++i)
        if (! juce::detail::dispatchNextMessageOnSystemQueue (true))
            return;
}

/** The editor's children in the order the editor adds them; this is also the
    front-to-back order where they overlap. */
enum Child
{
    stutterTimeFree, stutterTimeBpm, stutterSync,
    refreshTimeFree, refreshTimeBpm, refreshSync,
    input, mix, output, filterFreq, filterMix, fadeVol, fadeMix, stereoWidth, stereoMix,
    gridLock,
    fillOffset, fillGate, fillChance, fillSeed,
    repeatPad,
    variation, pitch, pitchDecay, reverse,
    presetBar,
    numChildren
};

/** The knob sizes, each with its own look-and-feel: the 235 x 235 time
    knobs, the 150 x 150 knobs, the 56 x 54 mini knobs of the title band (fills,
    Variation, Pitch, Decay) and the 80 x 54 Reverse knob, a mini knob with a 64 pixel box. */
enum class KnobSize { large, small, mini, wideBox };

struct KnobRow
{
    Child child;
    const juce::String& parameterId;
    juce::Rectangle<int> bounds;
    KnobSize size;
};

/** The twenty-one knobs, in the order the window lays them out. */
inline const std::array<KnobRow, 21>& knobTable()
{
    static const std::array<KnobRow, 21> rows {{
        { stutterTimeFree, ParameterIds::stutterTimeFree, { 110, 120, 235, 235 }, KnobSize::large },
        { stutterTimeBpm,  ParameterIds::stutterTimeBpm,  { 110, 120, 235, 235 }, KnobSize::large },
        { refreshTimeFree, ParameterIds::refreshTimeFree, { 464, 120, 235, 235 }, KnobSize::large },
        { refreshTimeBpm,  ParameterIds::refreshTimeBpm,  { 464, 120, 235, 235 }, KnobSize::large },
        { input,       ParameterIds::input,       {  -9, 262, 150, 150 }, KnobSize::small },
        { mix,         ParameterIds::mix,         { 330, 262, 150, 150 }, KnobSize::small },
        { output,      ParameterIds::output,      { 669, 262, 150, 150 }, KnobSize::small },
        { filterFreq,  ParameterIds::filterFreq,  {  14, 430, 150, 150 }, KnobSize::small },
        { filterMix,   ParameterIds::filterMix,   { 112, 430, 150, 150 }, KnobSize::small },
        { fadeVol,     ParameterIds::fadeVol,     { 281, 430, 150, 150 }, KnobSize::small },
        { fadeMix,     ParameterIds::fadeMix,     { 379, 430, 150, 150 }, KnobSize::small },
        { stereoWidth, ParameterIds::stereoWidth, { 547, 430, 150, 150 }, KnobSize::small },
        { stereoMix,   ParameterIds::stereoMix,   { 644, 430, 150, 150 }, KnobSize::small },
        { fillOffset,  ParameterIds::fillOffset,  { 364,  20,  56,  54 }, KnobSize::mini },
        { fillGate,    ParameterIds::fillGate,    { 422,  20,  56,  54 }, KnobSize::mini },
        { fillChance,  ParameterIds::fillChance,  { 480,  20,  56,  54 }, KnobSize::mini },
        { fillSeed,    ParameterIds::fillSeed,    { 538,  20,  56,  54 }, KnobSize::mini },
        { variation,   ParameterIds::variation,   { 616,  30,  56,  54 }, KnobSize::mini },
        { pitch,       ParameterIds::pitch,       { 673,  30,  56,  54 }, KnobSize::mini },
        { pitchDecay,  ParameterIds::pitchDecay,  { 730,  30,  56,  54 }, KnobSize::mini },
        { reverse,     ParameterIds::reverse,     { 704,  98,  80,  54 }, KnobSize::wideBox },
    }};
    return rows;
}

/** The knobs of one size, in the table's order. */
inline std::vector<KnobRow> knobsOfSize (KnobSize size)
{
    std::vector<KnobRow> rows;
    for (const auto& row : knobTable())
        if (row.size == size)
            rows.push_back (row);

    return rows;
}

/** The row of a table (knobs or toggles) that describes this child. */
template <typename Table>
const typename Table::value_type& rowOf (const Table& table, Child c, const char* kind)
{
    for (const auto& row : table)
        if (row.child == c)
            return row;

    ADD_FAILURE() << "child " << (int) c << " is no " << kind;
    return table[0];
}

inline const KnobRow& knobRow (Child c)
{
    return rowOf (knobTable(), c, "knob");
}

/** A picture toggle and the switch it drives. */
struct ToggleRow
{
    const char* name;
    Child child;
    const juce::String& parameterId;
    juce::Rectangle<int> bounds;
};

/** The three toggles, in the order the window lays them out. */
inline const std::array<ToggleRow, 3>& toggleTable()
{
    static const std::array<ToggleRow, 3> rows {{
        { "stutter sync", stutterSync, ParameterIds::stutterSync, { 173, 375, 45, 16 } },
        { "refresh sync", refreshSync, ParameterIds::refreshSync, { 513, 375, 45, 16 } },
        { "grid lock",    gridLock,    ParameterIds::gridLock,    { 362, 126, 45, 16 } },
    }};
    return rows;
}

inline const ToggleRow& toggleRow (Child c)
{
    return rowOf (toggleTable(), c, "toggle");
}

/** One time pair and its sync toggle. */
struct PairRow
{
    const char* name;
    Child toggle, freeKnob, tempoKnob;
    const juce::String& syncId;
};

inline const std::array<PairRow, 2>& pairTable()
{
    static const std::array<PairRow, 2> rows {{
        { "stutter", stutterSync, stutterTimeFree, stutterTimeBpm, ParameterIds::stutterSync },
        { "refresh", refreshSync, refreshTimeFree, refreshTimeBpm, ParameterIds::refreshSync },
    }};
    return rows;
}

inline const PairRow& otherPair (const PairRow& pair)
{
    return &pair == &pairTable()[0] ? pairTable()[1] : pairTable()[0];
}

/** A processor with its editor open, as a host has it after opening the view. */
class EditorFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        processor = std::make_unique<BrakkleAudioProcessor>();
        openEditor();
    }

    void TearDown() override
    {
        editor.reset();
        processor.reset();
    }

    void openEditor()
    {
        editor.reset (dynamic_cast<BrakkleAudioProcessorEditor*> (processor->createEditor()));
        ASSERT_NE (editor, nullptr);
        ASSERT_EQ (editor->getNumChildComponents(), (int) numChildren);
    }

    juce::Component& child (Child c) const { return *editor->getChildComponent ((int) c); }

    juce::Slider& knob (Child c) const
    {
        auto* s = dynamic_cast<juce::Slider*> (editor->getChildComponent ((int) c));
        EXPECT_NE (s, nullptr) << "child " << (int) c << " is no knob";
        return *s;
    }

    juce::ImageButton& toggle (Child c) const
    {
        auto* b = dynamic_cast<juce::ImageButton*> (editor->getChildComponent ((int) c));
        EXPECT_NE (b, nullptr) << "child " << (int) c << " is no picture toggle";
        return *b;
    }

    juce::RangedAudioParameter& parameter (const juce::String& id) const
    {
        auto* p = processor->parameters.getParameter (id);
        EXPECT_NE (p, nullptr) << id;
        return *p;
    }

    float rawValue (const juce::String& id) const
    {
        return processor->parameters.getRawParameterValue (id)->load();
    }

    /** Sets a parameter by its value in its own units, as a host or the audio thread would. */
    void setParameter (const juce::String& id, float value) const
    {
        auto& p = parameter (id);
        p.setValueNotifyingHost (p.convertTo0to1 (value));
    }

    /** The value box a knob shows. */
    static juce::Label* valueBox (juce::Slider& s)
    {
        for (auto* c : s.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (c))
                return label;

        return nullptr;
    }

    std::unique_ptr<BrakkleAudioProcessor> processor;
    std::unique_ptr<BrakkleAudioProcessorEditor> editor;
};

//==============================================================================
inline juce::File resourceFile (const juce::String& name)
{
    return juce::File (BRAKKLE_RESOURCES_DIR).getChildFile (name);
}

inline juce::Image loadResourceImage (const juce::String& name)
{
    return juce::ImageFileFormat::loadFrom (resourceFile (name));
}

/** A component's own pixels, with a transparent background. */
inline juce::Image snapshot (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
}

/** The largest difference of any colour channel (alpha included). */
inline int channelDistance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs ((int) a.getRed() - (int) b.getRed()),
                       std::abs ((int) a.getGreen() - (int) b.getGreen()),
                       std::abs ((int) a.getBlue() - (int) b.getBlue()),
                       std::abs ((int) a.getAlpha() - (int) b.getAlpha()));
}

/** Centre of mass of the white, opaque-ish pixels inside an area of an ARGB
    picture, weighted by alpha; the number of such pixels goes into count. */
inline juce::Point<double> whiteCentroid (const juce::Image& image, juce::Rectangle<int> area, int& count)
{
    double sx = 0.0, sy = 0.0, sw = 0.0;
    count = 0;

    const juce::Image::BitmapData bits (image, juce::Image::BitmapData::readOnly);

    for (int y = juce::jmax (0, area.getY()); y < juce::jmin (image.getHeight(), area.getBottom()); ++y)
    {
        for (int x = juce::jmax (0, area.getX()); x < juce::jmin (image.getWidth(), area.getRight()); ++x)
        {
            const auto c = bits.getPixelColour (x, y);
            const double a = c.getFloatAlpha();

            // Pure white paint at partial coverage stays white after un-premultiplying.
            if (a > 0.0 && c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200)
            {
                sx += a * (x + 0.5);
                sy += a * (y + 0.5);
                sw += a;
                ++count;
            }
        }
    }

    return sw > 0.0 ? juce::Point<double> (sx / sw, sy / sw) : juce::Point<double>();
}

} // namespace brakkle::editortest
