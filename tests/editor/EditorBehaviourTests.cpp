// What the window does: which knob of each time pair shows, what the value
// boxes read, how typing and dragging reach the parameters, and closing.

#include "EditorTestSupport.h"

#include <limits>
#include <thread>

namespace brakkle::editortest
{
namespace
{

class PairFixture : public EditorFixture
{
protected:
    /** The pair shows the knob its sync value asks for, and the toggle and the tree agree. */
    void expectPair (const PairRow& pair, bool synced)
    {
        SCOPED_TRACE (std::string (pair.name) + (synced ? " pair, synced" : " pair, free"));
        EXPECT_EQ (knob (pair.freeKnob).isVisible(), ! synced);
        EXPECT_EQ (knob (pair.tempoKnob).isVisible(), synced);
        EXPECT_EQ (toggle (pair.toggle).getToggleState(), synced);
        EXPECT_EQ (rawValue (pair.syncId), synced ? 1.0f : 0.0f);
    }
};

TEST_F (PairFixture, FreshWindowShowsBothNoteValueKnobs)
{
    for (const auto& pair : pairTable())
        expectPair (pair, true);
}

TEST_F (PairFixture, WindowOpenedWithSyncOffShowsMilliseconds)
{
    editor.reset();
    setParameter (ParameterIds::stutterSync, 0.0f);
    openEditor();

    expectPair (pairTable()[0], false);
    expectPair (pairTable()[1], true);
}

//==============================================================================
// A sync switch changes; from wherever it comes, its pair ends up showing the
// knob of the new value and the other pair stays as it was.

enum class Source { click, hostOnMessageThread, restoredState, audioThread };

struct SwitchRow
{
    const char* name;
    Source source;
    size_t pair;
};

const SwitchRow switchRows[] = {
    { "ClickStutter", Source::click, 0 },                    { "ClickRefresh", Source::click, 1 },
    { "HostStutter", Source::hostOnMessageThread, 0 },       { "HostRefresh", Source::hostOnMessageThread, 1 },
    { "RestoreStutter", Source::restoredState, 0 },          { "RestoreRefresh", Source::restoredState, 1 },
    { "AudioThreadStutter", Source::audioThread, 0 },        { "AudioThreadRefresh", Source::audioThread, 1 },
};

void PrintTo (const SwitchRow& row, std::ostream* os) { *os << row.name; }

/** Moves a toggle's switch, or any parameter, from one of the places a change comes from. */
class SwitchFixture : public PairFixture
{
protected:
    void switchFrom (Source source, Child toggleChild, const juce::String& id, bool on)
    {
        if (source != Source::click)
        {
            changeFrom (source, id, on ? 1.0f : 0.0f);
            return;
        }

        auto& b = toggle (toggleChild);
        ASSERT_NE (b.getToggleState(), on);
        b.triggerClick();
        deliverPendingMessages();
        b.setState (juce::Button::buttonNormal);   // the click's flash would end here
    }

    /** A change that does not come from the window: a host, a restored project or the audio thread. */
    void changeFrom (Source source, const juce::String& id, float value)
    {
        switch (source)
        {
            case Source::click:
                ADD_FAILURE() << "a click comes from the window";
                break;

            case Source::hostOnMessageThread:
                setParameter (id, value);
                break;

            case Source::restoredState:
            {
                // A saved project in which only this parameter differs.
                BrakkleAudioProcessor saved;
                juce::MemoryBlock blob;
                processor->getStateInformation (blob);
                saved.setStateInformation (blob.getData(), (int) blob.getSize());
                auto& p = *saved.parameters.getParameter (id);
                p.setValueNotifyingHost (p.convertTo0to1 (value));
                blob.reset();
                saved.getStateInformation (blob);

                processor->setStateInformation (blob.getData(), (int) blob.getSize());
                break;
            }

            case Source::audioThread:
            {
                std::thread audio ([&] { setParameter (id, value); });
                audio.join();
                deliverPendingMessages();
                break;
            }
        }
    }
};

class SyncSwitch : public SwitchFixture, public ::testing::WithParamInterface<SwitchRow>
{
protected:
    void switchTo (const PairRow& pair, bool synced)
    {
        switchFrom (GetParam().source, pair.toggle, pair.syncId, synced);
    }
};

TEST_P (SyncSwitch, SwapsOnlyItsOwnPairBothWays)
{
    const auto& pair = pairTable()[GetParam().pair];
    const auto& other = otherPair (pair);

    switchTo (pair, false);
    expectPair (pair, false);
    expectPair (other, true);

    switchTo (pair, true);
    expectPair (pair, true);
    expectPair (other, true);
}

TEST_P (SyncSwitch, HiddenKnobKeepsFollowingItsParameter)
{
    const auto& pair = pairTable()[GetParam().pair];
    const auto& freeId = knobRow (pair.freeKnob).parameterId;

    // While the note-value knob shows, the millisecond parameter moves.
    setParameter (freeId, 640.0f);
    switchTo (pair, false);

    EXPECT_TRUE (knob (pair.freeKnob).isVisible());
    EXPECT_EQ (knob (pair.freeKnob).getValue(), 640.0);
    EXPECT_EQ (valueBox (knob (pair.freeKnob))->getText(), "640 ms");
}

INSTANTIATE_TEST_SUITE_P (FromEverySource, SyncSwitch, ::testing::ValuesIn (switchRows),
                          [] (const auto& row) { return std::string (row.param.name); });

//==============================================================================
// The Grid Lock toggle follows its switch from every source and touches no pair.

class GridLockSwitch : public SwitchFixture, public ::testing::WithParamInterface<Source> {};

TEST_P (GridLockSwitch, FollowsItsSwitchBothWaysAndLeavesThePairsAlone)
{
    for (bool on : { true, false })
    {
        SCOPED_TRACE (on ? "switched on" : "switched off");
        switchFrom (GetParam(), gridLock, ParameterIds::gridLock, on);

        EXPECT_EQ (toggle (gridLock).getToggleState(), on);
        EXPECT_EQ (rawValue (ParameterIds::gridLock), on ? 1.0f : 0.0f);

        for (const auto& pair : pairTable())
            expectPair (pair, true);
    }
}

const char* sourceName (Source source)
{
    switch (source)
    {
        case Source::click:               return "Click";
        case Source::hostOnMessageThread: return "Host";
        case Source::restoredState:       return "Restore";
        case Source::audioThread:         return "AudioThread";
    }
    return "Unknown";
}

void PrintTo (Source source, std::ostream* os) { *os << sourceName (source); }

INSTANTIATE_TEST_SUITE_P (FromEverySource, GridLockSwitch,
                          ::testing::Values (Source::click, Source::hostOnMessageThread,
                                             Source::restoredState, Source::audioThread),
                          [] (const auto& row) { return std::string (sourceName (row.param)); });

//==============================================================================
// The four fill knobs: their parameter's own text in the box, and bound both
// ways to their parameter.

struct FillRow
{
    Child knob;
    float value;
    const char* text;
};

/** A value of each fill away from its default, and how its box shows it. */
const FillRow fillRows[] = {
    { fillOffset, 12.0f, "12/16" },
    { fillGate, 4.0f, "4/16" },
    { fillChance, 50.0f, "50 %" },
    { fillSeed, 7.0f, "7" },
    { variation, 50.0f, "50 %" },
    { pitch, -12.0f, "-12 st" },
    { pitchDecay, 25.0f, "25 %" },
    { reverse, 2.0f, "Alternate" },
};

class FillKnobChange : public SwitchFixture, public ::testing::WithParamInterface<Source> {};

TEST_P (FillKnobChange, MovesTheKnobAndItsBoxAndNothingElse)
{
    for (const auto& row : fillRows)
    {
        const auto& id = knobRow (row.knob).parameterId;
        SCOPED_TRACE (id.toStdString());

        changeFrom (GetParam(), id, row.value);

        EXPECT_EQ (knob (row.knob).getValue(), (double) row.value);
        EXPECT_EQ (valueBox (knob (row.knob))->getText(), juce::String (row.text));
        EXPECT_EQ (rawValue (id), row.value);
    }

    // Each change reached only its own knob: all four hold their own value.
    for (const auto& row : fillRows)
        EXPECT_EQ (knob (row.knob).getValue(), (double) row.value) << (int) row.knob;

    for (const auto& pair : pairTable())
        expectPair (pair, true);
}

INSTANTIATE_TEST_SUITE_P (FromEverySource, FillKnobChange,
                          ::testing::Values (Source::hostOnMessageThread, Source::restoredState, Source::audioThread),
                          [] (const auto& row) { return std::string (sourceName (row.param)); });

TEST_F (EditorFixture, MovingAFillKnobSetsItsParameter)
{
    for (const auto& row : fillRows)
    {
        const auto& id = knobRow (row.knob).parameterId;
        knob (row.knob).setValue (row.value, juce::sendNotificationSync);

        EXPECT_EQ (rawValue (id), row.value) << id;
        EXPECT_EQ (parameter (id).getCurrentValueAsText(), juce::String (row.text)) << id;
    }
}

TEST_F (EditorFixture, TypingIntoAFillBoxTakesTheParametersOwnForms)
{
    struct Row { Child knob; float before; const char* typed; float expected; const char* shown; };
    const Row rows[] = {
        { fillOffset, 0.0f, "12/16", 12.0f, "12/16" },
        { fillOffset, 0.0f, "3/4", 12.0f, "12/16" },
        { fillOffset, 0.0f, "12", 12.0f, "12/16" },
        { fillOffset, 3.0f, "zzz", 3.0f, "3/16" },
        { fillGate, 16.0f, "4/16", 4.0f, "4/16" },
        { fillGate, 16.0f, "3/4", 12.0f, "12/16" },
        { fillGate, 9.0f, "zzz", 9.0f, "9/16" },
        { fillChance, 100.0f, "50 %", 50.0f, "50 %" },
        { fillChance, 100.0f, "50", 50.0f, "50 %" },
        { fillChance, 30.0f, "zzz", 30.0f, "30 %" },
        { fillSeed, 1.0f, "7", 7.0f, "7" },
        { fillSeed, 20.0f, "zzz", 20.0f, "20" },
        { variation, 0.0f, "50 %", 50.0f, "50 %" },
        { variation, 0.0f, "50", 50.0f, "50 %" },
        { pitch, 0.0f, "-12 st", -12.0f, "-12 st" },
        { pitch, 0.0f, "-12", -12.0f, "-12 st" },
        { pitch, -5.0f, "zzz", -5.0f, "-5 st" },
        { pitchDecay, 0.0f, "25 %", 25.0f, "25 %" },
        { reverse, 0.0f, "Alternate", 2.0f, "Alternate" },
        { reverse, 2.0f, "On", 1.0f, "On" },
        { reverse, 1.0f, "Off", 0.0f, "Off" },
    };

    for (const auto& row : rows)
    {
        auto& s = knob (row.knob);
        const auto& id = knobRow (row.knob).parameterId;
        SCOPED_TRACE (id.toStdString() + " typed " + row.typed);

        setParameter (id, row.before);
        ASSERT_EQ (s.getValue(), (double) row.before);

        // Typed and committed in the box, as a user does.
        valueBox (s)->setText (row.typed, juce::sendNotificationSync);

        EXPECT_EQ (rawValue (id), row.expected);
        EXPECT_EQ (s.getValue(), (double) row.expected);
        EXPECT_EQ (valueBox (s)->getText(), juce::String (row.shown));
    }
}

/** Why the pair rule follows the toggle and not the tree's stored value: with a
    message-thread change JUCE notifies the attachment (and so the toggle) before
    the tree's own copy of the value moves. If this ever stops being true the
    mended behaviour still holds, but the restore and host cases above no longer
    exercise the old fault. */
TEST (SyncSwitchOrder, MessageThreadChangeReachesTheToggleBeforeTheTreeValue)
{
    BrakkleAudioProcessor processor;
    juce::ImageButton button;
    button.setClickingTogglesState (true);
    juce::AudioProcessorValueTreeState::ButtonAttachment attachment (processor.parameters, ParameterIds::refreshSync, button);

    float rawSeenByToggle = -1.0f;
    bool toggleSeen = true;
    button.onStateChange = [&]
    {
        rawSeenByToggle = processor.parameters.getRawParameterValue (ParameterIds::refreshSync)->load();
        toggleSeen = button.getToggleState();
    };

    processor.parameters.getParameter (ParameterIds::refreshSync)->setValueNotifyingHost (0.0f);

    EXPECT_FALSE (toggleSeen);
    EXPECT_EQ (rawSeenByToggle, 1.0f);
    EXPECT_EQ (processor.parameters.getRawParameterValue (ParameterIds::refreshSync)->load(), 0.0f);
}

//==============================================================================
TEST_F (PairFixture, HoverAndPressWithoutClickChangeNothing)
{
    setParameter (ParameterIds::stutterSync, 0.0f);   // one pair free, one synced

    for (const auto& row : toggleTable())
    {
        auto& b = toggle (row.child);

        for (auto state : { juce::Button::buttonOver, juce::Button::buttonNormal,
                            juce::Button::buttonOver, juce::Button::buttonDown,
                            juce::Button::buttonOver, juce::Button::buttonNormal })
        {
            b.setState (state);
            expectPair (pairTable()[0], false);
            expectPair (pairTable()[1], true);
            EXPECT_FALSE (toggle (gridLock).getToggleState());
        }
    }
}

TEST_F (PairFixture, HoverWhileAnAudioThreadChangeIsOnItsWay)
{
    const auto& pair = pairTable()[1];
    std::thread audio ([&] { setParameter (pair.syncId, 0.0f); });
    audio.join();

    // The mouse crosses the toggle before the change has reached the window.
    toggle (pair.toggle).setState (juce::Button::buttonOver);
    toggle (pair.toggle).setState (juce::Button::buttonNormal);

    deliverPendingMessages();
    expectPair (pair, false);
    expectPair (otherPair (pair), true);
}

//==============================================================================
TEST_F (EditorFixture, FreshValueBoxesReadTheDefaults)
{
    struct Row { Child knob; const char* text; };
    const Row visible[] = {
        { stutterTimeBpm, "1/8 D" }, { refreshTimeBpm, "1/4" },
        { input, "0 dB" }, { mix, "100.00 %" }, { output, "0 dB" },
        { filterFreq, "8.00 kHz" }, { filterMix, "0 %" },
        { fadeVol, "-12.00 dB" }, { fadeMix, "0 %" },
        { stereoWidth, "100.00 %" }, { stereoMix, "0 %" },
        { fillOffset, "0/16" }, { fillGate, "16/16" }, { fillChance, "100 %" }, { fillSeed, "1" },
        { variation, "0 %" }, { pitch, "0 st" }, { pitchDecay, "0 %" }, { reverse, "Off" },
    };

    int shown = 0;
    for (const auto& row : knobTable())
        shown += knob (row.child).isVisible() ? 1 : 0;
    EXPECT_EQ (shown, 19);

    for (const auto& row : visible)
    {
        auto& s = knob (row.knob);
        EXPECT_TRUE (s.isVisible()) << (int) row.knob;
        ASSERT_NE (valueBox (s), nullptr);
        EXPECT_EQ (valueBox (s)->getText(), row.text) << "knob " << (int) row.knob;
    }

    // Switched to milliseconds, both pairs read the free-time default.
    setParameter (ParameterIds::stutterSync, 0.0f);
    setParameter (ParameterIds::refreshSync, 0.0f);

    for (auto c : { stutterTimeFree, refreshTimeFree })
    {
        EXPECT_TRUE (knob (c).isVisible());
        EXPECT_EQ (valueBox (knob (c))->getText(), "200 ms");
    }
}

TEST_F (EditorFixture, ValueBoxesAddOnlyTheirSuffix)
{
    struct Row { Child knob; float value; const char* text; };
    const Row rows[] = {
        { stutterTimeFree, 10.0f, "10 ms" },        { refreshTimeFree, 1000.0f, "1000 ms" },
        { stutterTimeBpm, 0.0f, "1/64 T" },         { refreshTimeBpm, 19.0f, "2 BARS" },
        { filterFreq, 500.0f, "500 Hz" },           { filterFreq, 12000.0f, "12.00 kHz" },
        { input, -24.0f, "-24.00 dB" },             { filterMix, -50.0f, "-50.00 %" },
        // The fills add none: their parameters' texts carry the unit.
        { fillOffset, 15.0f, "15/16" },             { fillGate, 1.0f, "1/16" },
        { fillChance, 0.0f, "0 %" },                { fillSeed, 128.0f, "128" },
    };

    for (const auto& row : rows)
    {
        setParameter (knobRow (row.knob).parameterId, row.value);
        EXPECT_EQ (valueBox (knob (row.knob))->getText(), row.text);
    }
}

TEST_F (EditorFixture, TypingIntoAMillisecondBoxWithOrWithoutTheSuffix)
{
    struct Row { Child knob; const char* typed; float expected; };
    const Row rows[] = {
        { stutterTimeFree, "250 ms", 250.0f }, { stutterTimeFree, "330", 330.0f },
        { refreshTimeFree, "250 ms", 250.0f }, { refreshTimeFree, "480", 480.0f },
    };

    for (const auto& row : rows)
    {
        auto& s = knob (row.knob);
        const auto& id = knobRow (row.knob).parameterId;

        EXPECT_EQ (s.getValueFromText (row.typed), (double) row.expected) << row.typed;

        // Typed and committed in the box, as a user does.
        valueBox (s)->setText (row.typed, juce::sendNotificationSync);
        EXPECT_EQ (rawValue (id), row.expected) << row.typed;
        EXPECT_EQ (s.getValue(), (double) row.expected) << row.typed;
        EXPECT_EQ (valueBox (s)->getText(), juce::String (row.expected, 0) + " ms");
    }
}

TEST_F (EditorFixture, TypingANoteNameSelectsItsDivision)
{
    auto& s = knob (stutterTimeBpm);
    valueBox (s)->setText ("1/2", juce::sendNotificationSync);

    EXPECT_EQ (valueBox (s)->getText(), "1/2");
    EXPECT_EQ (parameter (ParameterIds::stutterTimeBpm).getCurrentValueAsText(), "1/2");
}

TEST_F (EditorFixture, AHostSendingNoNumberLeavesTheControlsOnTheirValues)
{
    // The parameters refuse a value that is no number and keep theirs; the
    // knobs, their boxes and the toggles must keep showing them, or a later
    // drag would start from no number and hand one on.
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    setParameter (ParameterIds::mix, 42.0f);
    setParameter (ParameterIds::filterFreq, 2500.0f);

    for (const auto& id : { ParameterIds::mix, ParameterIds::filterFreq, ParameterIds::stutterSync })
        parameter (id).setValueNotifyingHost (nan);

    EXPECT_EQ (knob (mix).getValue(), 42.0);
    EXPECT_EQ (valueBox (knob (mix))->getText(), "42.00 %");
    EXPECT_EQ (knob (filterFreq).getValue(), 2500.0);
    EXPECT_EQ (valueBox (knob (filterFreq))->getText(), "2.50 kHz");
    EXPECT_TRUE (toggle (stutterSync).getToggleState());
    EXPECT_TRUE (knob (stutterTimeBpm).isVisible());
}

//==============================================================================
// Dragging: every knob turns with vertical drags only.

void drag (juce::Slider& s, juce::Point<float> from, juce::Point<float> to)
{
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto mods = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);
    const auto t0 = juce::Time::getCurrentTime();

    const auto event = [&] (juce::Point<float> at, bool dragged)
    {
        return juce::MouseEvent (source, at, mods, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                 &s, &s, t0, from, t0, 1, dragged);
    };

    s.mouseDown (event (from, false));
    s.mouseDrag (event (juce::Point<float> (juce::jmap (0.5f, from.x, to.x), juce::jmap (0.5f, from.y, to.y)), true));
    s.mouseDrag (event (to, true));
    s.mouseUp (event (to, true));
}

TEST_F (EditorFixture, KnobsTurnWithVerticalDragsOnly)
{
    struct Move { const char* name; juce::Point<float> by; int direction; };
    const Move moves[] = {
        { "up", { 0.0f, -40.0f }, 1 }, { "down", { 0.0f, 40.0f }, -1 },
        { "right", { 80.0f, 0.0f }, 0 }, { "left", { -80.0f, 0.0f }, 0 },
    };

    for (const auto& row : knobTable())
    {
        auto& s = knob (row.child);
        const auto middle = s.proportionOfLengthToValue (0.5);
        const auto centre = s.getLocalBounds().getCentre().toFloat();

        for (const auto& move : moves)
        {
            s.setValue (middle, juce::sendNotificationSync);
            const auto before = s.getValue();
            drag (s, centre, centre + move.by);
            const auto after = s.getValue();

            SCOPED_TRACE (row.parameterId.toStdString() + " dragged " + move.name);
            if (move.direction > 0)       EXPECT_GT (after, before);
            else if (move.direction < 0)  EXPECT_LT (after, before);
            else                          EXPECT_EQ (after, before);

            // The parameter follows the knob.
            EXPECT_FLOAT_EQ (rawValue (row.parameterId), (float) after);
        }
    }
}

TEST_F (EditorFixture, AFullDragExtentIsAboutTheWholeRange)
{
    auto& s = knob (mix);
    s.setValue (0.0, juce::sendNotificationSync);
    drag (s, { 70.0f, 120.0f }, { 70.0f, 120.0f - 125.0f });   // half of JUCE's 250 pixel extent

    EXPECT_NEAR (rawValue (ParameterIds::mix), 50.0f, 1.0f);
}

//==============================================================================
TEST_F (EditorFixture, ClosingAndReopeningShowsTheSameKnobsAndValues)
{
    setParameter (ParameterIds::refreshSync, 0.0f);
    setParameter (ParameterIds::refreshTimeFree, 375.0f);
    setParameter (ParameterIds::fadeMix, -40.0f);
    setParameter (ParameterIds::gridLock, 1.0f);
    setParameter (ParameterIds::fillGate, 4.0f);

    const auto describe = [this]
    {
        juce::StringArray seen;
        for (const auto& row : knobTable())
            seen.add (juce::String (row.parameterId) + (knob (row.child).isVisible() ? " shown " : " hidden ")
                      + valueBox (knob (row.child))->getText());
        for (const auto& row : toggleTable())
            seen.add (juce::String (row.name) + (toggle (row.child).getToggleState() ? " on" : " off"));
        return seen.joinIntoString ("\n");
    };

    const auto before = describe();
    editor.reset();
    openEditor();

    EXPECT_EQ (describe(), before);
    EXPECT_TRUE (before.contains ("refreshTimeFree shown 375 ms"));
    EXPECT_TRUE (before.contains ("fadeMix shown -40.00 %"));
    EXPECT_TRUE (before.contains ("grid lock on"));
    EXPECT_TRUE (before.contains ("fillGate shown 4/16"));
}

/** Watches one knob while its window is destroyed: a knob that lets go of the
    window's look-and-feel rebuilds its value box with another one, which shows
    as a child added while the knob still lives (a knob that is merely deleted
    only loses its box). */
struct LetGoWatch final : juce::ComponentListener
{
    explicit LetGoWatch (juce::Slider& s) : knob (&s), own (&s.getLookAndFeel()) { s.addComponentListener (this); }

    void componentChildrenChanged (juce::Component&) override
    {
        if (! deleted && knob->getNumChildComponents() > 0 && &knob->getLookAndFeel() != own)
            letGo = true;
    }

    void componentBeingDeleted (juce::Component&) override { deleted = true; }

    juce::Slider* knob;
    const juce::LookAndFeel* own;
    bool letGo = false, deleted = false;
};

TEST_F (EditorFixture, DestroyingTheWindowLeavesNoKnobOnADeadLookAndFeel)
{
    // Each knob must give back the window's look-and-feel before the window
    // destroys it. Debug builds also hear JUCE's own complaint (an assertion in
    // juce_LookAndFeel.cpp, printed to stderr); every build sees each knob let
    // go while it still lives. Several windows in turn, each painted first, as
    // a host does. (No weak references to the look-and-feels here: they would
    // count as uses themselves.)
    ::testing::internal::CaptureStderr();

    for (int round = 0; round < 3; ++round)
    {
        editor->createComponentSnapshot (editor->getLocalBounds());

        std::vector<std::unique_ptr<LetGoWatch>> watches;
        for (const auto& row : knobTable())
        {
            EXPECT_NE (dynamic_cast<juce::LookAndFeel_V4*> (&knob (row.child).getLookAndFeel()),
                       &juce::LookAndFeel::getDefaultLookAndFeel()) << row.parameterId;
            watches.push_back (std::make_unique<LetGoWatch> (knob (row.child)));
        }

        editor.reset();

        for (size_t i = 0; i < watches.size(); ++i)
        {
            EXPECT_TRUE (watches[i]->deleted) << knobTable()[i].parameterId;
            EXPECT_TRUE (watches[i]->letGo) << knobTable()[i].parameterId << " still held the window's look-and-feel when it went";
        }

        openEditor();
    }

    editor.reset();
    const auto reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ (reported.find ("juce_LookAndFeel.cpp"), std::string::npos) << reported;

    // The processor lives on and opens a fresh window.
    openEditor();
    EXPECT_TRUE (knob (stutterTimeBpm).isVisible());
}

} // namespace
} // namespace brakkle::editortest
