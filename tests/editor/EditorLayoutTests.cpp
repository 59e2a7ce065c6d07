// Where the window puts its controls and where the knobs draw: everything here
// must line up with the painted faces and toggle wells of the background.

#include "EditorTestSupport.h"

namespace brakkle::editortest
{
namespace
{

using Editor = BrakkleAudioProcessorEditor;

TEST_F (EditorFixture, WindowIsFixedAt800By600)
{
    EXPECT_EQ (editor->getWidth(), 800);
    EXPECT_EQ (editor->getHeight(), 600);
    EXPECT_FALSE (editor->isResizable());
}

TEST_F (EditorFixture, EveryChildSitsOnItsTableRectangle)
{
    for (const auto& row : knobTable())
        EXPECT_EQ (child (row.child).getBounds(), row.bounds) << "knob for " << row.parameterId;

    for (const auto& row : toggleTable())
        EXPECT_EQ (child (row.child).getBounds(), row.bounds) << row.name << " toggle";
}

TEST_F (EditorFixture, ChildrenAreStackedInTheirAddingOrder)
{
    // Later children lie in front where rectangles overlap and take the mouse
    // there: the small knobs in front of the time knobs, and the right knob of
    // each bottom pair in front of the left one.
    struct Overlap
    {
        juce::Point<int> at;
        Child front, behind;
    };
    const Overlap overlaps[] = {
        { { 120, 300 }, input, stutterTimeBpm },
        { { 335, 300 }, mix, stutterTimeBpm },
        { { 470, 300 }, mix, refreshTimeBpm },
        { { 680, 300 }, output, refreshTimeBpm },
        { { 140, 500 }, filterMix, filterFreq },
        { { 400, 500 }, fadeMix, fadeVol },
        { { 660, 500 }, stereoMix, stereoWidth },
    };

    editor->setVisible (true);   // as in a host's window, so that it takes the mouse at all
    for (const auto& o : overlaps)
    {
        ASSERT_TRUE (child (o.front).getBounds().contains (o.at) && child (o.behind).getBounds().contains (o.at)) << o.at.toString();

        auto* hit = editor->getComponentAt (o.at);
        while (hit != nullptr && hit->getParentComponent() != editor.get())
            hit = hit->getParentComponent();
        EXPECT_EQ (hit, &child (o.front)) << "at " << o.at.toString() << " the mouse reaches child "
                                          << editor->getIndexOfChildComponent (hit) << ", not " << (int) o.front;
    }
}

TEST_F (EditorFixture, GridLockToggleOverlapsNoOtherControl)
{
    // It sits in the free band between the title and the knobs: no knob's
    // rectangle (and so no knob's mouse area) reaches into its place.
    const auto& grid = toggleRow (gridLock);

    for (const auto& row : knobTable())
        EXPECT_FALSE (row.bounds.intersects (grid.bounds)) << row.parameterId;

    for (const auto& row : toggleTable())
    {
        if (row.child != gridLock)
        {
            EXPECT_FALSE (row.bounds.intersects (grid.bounds)) << row.name;
        }
    }

    // And the mouse finds it there (a window shown by a host is visible).
    editor->setVisible (true);
    EXPECT_EQ (editor->getComponentAt (grid.bounds.getCentre()), &child (gridLock));
}

TEST_F (EditorFixture, FillAndShapeKnobsLieInTheWindowAndOverlapNoOtherControl)
{
    // In the title band (the shape group reaching below it), clear of every
    // other control and of each other: each takes the mouse over its whole
    // place (a window shown by a host is visible).
    editor->setVisible (true);
    auto fills = knobsOfSize (KnobSize::mini);
    fills.push_back (knobRow (reverse));
    ASSERT_EQ (fills.size(), 8u);

    for (const auto& fill : fills)
    {
        SCOPED_TRACE (fill.parameterId.toStdString());
        EXPECT_TRUE (editor->getLocalBounds().contains (fill.bounds)) << fill.bounds.toString();

        for (const auto& row : knobTable())
        {
            if (row.child != fill.child)
            {
                EXPECT_FALSE (row.bounds.intersects (fill.bounds)) << row.parameterId;
            }
        }

        for (const auto& row : toggleTable())
            EXPECT_FALSE (row.bounds.intersects (fill.bounds)) << row.name;

        for (auto corner : { fill.bounds.getTopLeft(), fill.bounds.getBottomRight() - juce::Point<int> (1, 1), fill.bounds.getCentre() })
        {
            auto* hit = editor->getComponentAt (corner);
            while (hit != nullptr && hit->getParentComponent() != editor.get())
                hit = hit->getParentComponent();
            EXPECT_EQ (hit, &child (fill.child)) << "at " << corner.toString();
        }
    }
}

TEST_F (EditorFixture, LayoutIgnoresTheWindowSize)
{
    for (auto size : { juce::Point<int> (400, 300), juce::Point<int> (1200, 900), juce::Point<int> (800, 600) })
    {
        editor->setBounds (0, 0, size.x, size.y);
        editor->resized();

        for (const auto& row : knobTable())
            EXPECT_EQ (child (row.child).getBounds(), row.bounds) << row.parameterId << " at " << size.toString();

        for (const auto& row : toggleTable())
            EXPECT_EQ (child (row.child).getBounds(), row.bounds) << row.name << " at " << size.toString();
    }
}

TEST_F (EditorFixture, KnobsUseTheLookAndFeelOfTheirSize)
{
    for (const auto& row : knobTable())
    {
        auto& lf = knob (row.child).getLookAndFeel();
        const bool isLarge = dynamic_cast<Editor::LargeSliderLookAndFeel*> (&lf) != nullptr;
        const bool isSmall = dynamic_cast<Editor::SmallSliderLookAndFeel*> (&lf) != nullptr;
        const bool isWideBox = dynamic_cast<Editor::WideBoxSliderLookAndFeel*> (&lf) != nullptr;
        const bool isMini = dynamic_cast<Editor::MiniSliderLookAndFeel*> (&lf) != nullptr && ! isWideBox;
        EXPECT_EQ (isLarge, row.size == KnobSize::large) << row.parameterId;
        EXPECT_EQ (isSmall, row.size == KnobSize::small) << row.parameterId;
        EXPECT_EQ (isMini, row.size == KnobSize::mini) << row.parameterId;
        EXPECT_EQ (isWideBox, row.size == KnobSize::wideBox) << row.parameterId;
    }
}

//==============================================================================
// The three look-and-feels on their own.

struct LayoutRow
{
    const char* name;
    KnobSize size;
    int width, height;
    int textBoxWidth, textBoxHeight;   // as the window sets them
    juce::Rectangle<int> knobArea, valueBox;
    juce::Point<float> dotPathCentre;
    float dotPathRadius, dotDiameter;
};

const LayoutRow layoutRows[] = {
    { "large 235", KnobSize::large, 235, 235, 40, 80, { -5, 40, 235, 155 }, { 72, 4, 80, 20 }, { 112.5f, 117.5f }, 63.5f, 16.0f },
    { "small 150", KnobSize::small, 150, 150, 40, 80, { -5, 40, 150, 70 },  { 29, 20, 80, 20 }, { 70.0f, 75.0f }, 21.0f, 16.0f },
    // The fill knob's face is 38 below its place's top, centred across it: the
    // knob area is the 22 pixel square that the dot's circle (8 out, 6 across) fills.
    { "mini 56 x 54", KnobSize::mini, 56, 54, 48, 16, { 17, 27, 22, 22 }, { 4, 0, 48, 16 }, { 28.0f, 38.0f }, 8.0f, 6.0f },
    // Reverse: the mini knob's face, a box wide enough for "Alternate".
    { "wide box 80 x 54", KnobSize::wideBox, 80, 54, 64, 16, { 29, 27, 22, 22 }, { 8, 0, 64, 16 }, { 40.0f, 38.0f }, 8.0f, 6.0f },
};

/** Where only the dot is drawn: under the value box. */
juce::Rectangle<int> dotRegionOf (const LayoutRow& row)
{
    const auto top = row.valueBox.getBottom();
    return { 0, top, row.width, row.height - top };
}

const LayoutRow& layoutOf (KnobSize size)
{
    for (const auto& row : layoutRows)
        if (row.size == size)
            return row;

    ADD_FAILURE() << "no layout row for knob size " << (int) size;
    return layoutRows[0];
}

void PrintTo (const LayoutRow& row, std::ostream* os) { *os << row.name; }

TEST_F (EditorFixture, KnobsAreVerticalDragRotariesWithEditableBoxesAndNoOutline)
{
    for (const auto& row : knobTable())
    {
        auto& s = knob (row.child);
        const auto& look = layoutOf (row.size);
        SCOPED_TRACE (row.parameterId.toStdString());

        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::TextBoxAbove);
        EXPECT_TRUE (s.isTextBoxEditable());
        EXPECT_EQ (s.getTextBoxWidth(), look.textBoxWidth);
        EXPECT_EQ (s.getTextBoxHeight(), look.textBoxHeight);
        EXPECT_EQ (s.findColour (juce::Slider::textBoxOutlineColourId).getARGB(), 0x00ffffffu);

        // The value box really lands where the look-and-feel says.
        auto* box = EditorFixture::valueBox (s);
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->getBounds(), look.valueBox);
    }
}

TEST_F (EditorFixture, FillBoxesShowTheirWidestTextsUnsqueezed)
{
    // The widest text each fill can show fits its box's text area in the box's
    // own type; a wider one JUCE would squeeze sideways.
    struct Row { Child knob; float value; const char* text; };
    const Row widest[] = {
        { fillOffset, 15.0f, "15/16" }, { fillGate, 16.0f, "16/16" },
        { fillChance, 100.0f, "100 %" }, { fillSeed, 128.0f, "128" },
        { variation, 100.0f, "100 %" }, { pitch, -24.0f, "-24 st" },
        { pitchDecay, 100.0f, "100 %" }, { reverse, 2.0f, "Alternate" },
    };

    for (const auto& row : widest)
    {
        setParameter (knobRow (row.knob).parameterId, row.value);
        auto* box = valueBox (knob (row.knob));
        ASSERT_NE (box, nullptr);
        ASSERT_EQ (box->getText(), juce::String (row.text));

        const auto textArea = box->getBorderSize().subtractedFrom (box->getLocalBounds());
        const auto font = box->getLookAndFeel().getLabelFont (*box);
        EXPECT_LE (juce::GlyphArrangement::getStringWidth (font, row.text), (float) textArea.getWidth()) << row.text;
        EXPECT_LE (font.getHeight(), (float) textArea.getHeight()) << row.text;
    }
}

class LookAndFeelLayout : public ::testing::TestWithParam<LayoutRow>
{
protected:
    void SetUp() override
    {
        lookAndFeel = makeLookAndFeel (GetParam().size);
        knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
        knob.setTextBoxStyle (juce::Slider::TextBoxAbove, false, GetParam().textBoxWidth, GetParam().textBoxHeight);
        knob.setLookAndFeel (lookAndFeel.get());
        knob.setRange (0.0, 100.0, 0.5);
        knob.setSize (GetParam().width, GetParam().height);
    }

    void TearDown() override { knob.setLookAndFeel (nullptr); }

    static std::unique_ptr<juce::LookAndFeel_V4> makeLookAndFeel (KnobSize size)
    {
        switch (size)
        {
            case KnobSize::large: return std::make_unique<Editor::LargeSliderLookAndFeel>();
            case KnobSize::small: return std::make_unique<Editor::SmallSliderLookAndFeel>();
            case KnobSize::mini:  return std::make_unique<Editor::MiniSliderLookAndFeel>();
            case KnobSize::wideBox: return std::make_unique<Editor::WideBoxSliderLookAndFeel>();
        }
        return nullptr;
    }

    /** The part of the knob away from its value box, where the box's white text can't count as dot. */
    juce::Rectangle<int> belowValueBox() const
    {
        return dotRegionOf (GetParam());
    }

    /** How many pixels the dot covers in full. */
    double dotArea() const
    {
        const double d = GetParam().dotDiameter;
        return d * d * juce::MathConstants<double>::pi / 4.0;
    }

    std::unique_ptr<juce::LookAndFeel_V4> lookAndFeel;
    juce::Slider knob;
};

TEST_P (LookAndFeelLayout, PlacesKnobAreaAndValueBox)
{
    const auto layout = lookAndFeel->getSliderLayout (knob);
    EXPECT_EQ (layout.sliderBounds, GetParam().knobArea);
    EXPECT_EQ (layout.textBoxBounds, GetParam().valueBox);
}

TEST_P (LookAndFeelLayout, DrawsOnlyAWhiteDotNoArcs)
{
    EXPECT_EQ (lookAndFeel->findColour (juce::Slider::thumbColourId).getARGB(), 0xffffffffu);
    EXPECT_EQ (lookAndFeel->findColour (juce::Slider::rotarySliderOutlineColourId).getARGB(), 0x00ffffffu);
    EXPECT_EQ (lookAndFeel->findColour (juce::Slider::rotarySliderFillColourId).getARGB(), 0x00ffffffu);
}

TEST_P (LookAndFeelLayout, DotTravelsTheCircleFromStartToEnd)
{
    const auto& row = GetParam();
    constexpr float pi = juce::MathConstants<float>::pi;

    // Proportion of travel -> angle clockwise from twelve o'clock.
    const std::pair<double, float> stops[] = { { 0.0, 1.2f * pi }, { 0.25, 1.6f * pi }, { 0.5, 2.0f * pi },
                                               { 0.75, 2.4f * pi }, { 1.0, 2.8f * pi } };

    for (const auto& [proportion, angle] : stops)
    {
        knob.setValue (knob.proportionOfLengthToValue (proportion), juce::dontSendNotification);

        int count = 0;
        const auto centroid = whiteCentroid (snapshot (knob), belowValueBox(), count);
        const auto expected = row.dotPathCentre.getPointOnCircumference (row.dotPathRadius, angle);

        EXPECT_GT ((double) count, dotArea() / 2.0) << "no dot at proportion " << proportion;
        EXPECT_NEAR (centroid.x, expected.x, 0.3) << row.name << " at proportion " << proportion;
        EXPECT_NEAR (centroid.y, expected.y, 0.3) << row.name << " at proportion " << proportion;
    }
}

TEST_P (LookAndFeelLayout, DotAtMidTravelStandsStraightAboveTheCentre)
{
    // 54 from the top for the large and the small knob alike, 30 for the mini.
    const auto& row = GetParam();
    knob.setValue (50.0, juce::dontSendNotification);

    const auto image = snapshot (knob);
    int count = 0;
    const auto centroid = whiteCentroid (image, belowValueBox(), count);

    // The dot's fully or partly covered pixels: about 200 for a 16 pixel dot,
    // give or take its rim (2.5 pixels of tolerance a pixel of diameter).
    EXPECT_NEAR ((double) count, dotArea(), 2.5 * row.dotDiameter);
    EXPECT_NEAR (centroid.x, row.dotPathCentre.x, 0.3);
    EXPECT_NEAR (centroid.y, row.dotPathCentre.y - row.dotPathRadius, 0.3);

    // And nothing else is painted between the value box and the bottom: only the dot.
    const juce::Image::BitmapData bits (image, juce::Image::BitmapData::readOnly);
    for (int y = belowValueBox().getY(); y < belowValueBox().getBottom(); ++y)
    {
        for (int x = belowValueBox().getX(); x < belowValueBox().getRight(); ++x)
        {
            if (bits.getPixelColour (x, y).getAlpha() > 0)
            {
                ASSERT_LT (juce::Point<double> (x + 0.5, y + 0.5).getDistanceFrom (centroid), row.dotDiameter / 2.0 + 1.5)
                    << "paint outside the dot at " << x << ", " << y;
            }
        }
    }
}

const char* sizeName (KnobSize size)
{
    switch (size)
    {
        case KnobSize::large: return "Large";
        case KnobSize::small: return "Small";
        case KnobSize::mini:  return "Mini";
        case KnobSize::wideBox: return "WideBox";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P (EverySize, LookAndFeelLayout, ::testing::ValuesIn (layoutRows),
                          [] (const auto& row) { return std::string (sizeName (row.param.size)); });

//==============================================================================
// The knobs in the window: their dots circle the centres the background's faces use.

TEST_F (EditorFixture, DotsCircleThePaintedFaceCentres)
{
    // Millisecond knobs shown so that every knob can be checked at mid travel.
    setParameter (ParameterIds::stutterSync, 0.0f);
    setParameter (ParameterIds::refreshSync, 0.0f);

    struct Face { Child knob; juce::Point<float> centre; };
    const Face faces[] = {
        { stutterTimeFree, { 222.5f, 237.5f } }, { refreshTimeFree, { 576.5f, 237.5f } },
        { input, { 61.0f, 337.0f } }, { mix, { 400.0f, 337.0f } }, { output, { 739.0f, 337.0f } },
        { filterFreq, { 84.0f, 505.0f } }, { filterMix, { 182.0f, 505.0f } },
        { fadeVol, { 351.0f, 505.0f } }, { fadeMix, { 449.0f, 505.0f } },
        { stereoWidth, { 617.0f, 505.0f } }, { stereoMix, { 714.0f, 505.0f } },
        { fillOffset, { 392.0f, 58.0f } }, { fillGate, { 450.0f, 58.0f } },
        { fillChance, { 508.0f, 58.0f } }, { fillSeed, { 566.0f, 58.0f } },
        { variation, { 644.0f, 68.0f } }, { pitch, { 701.0f, 68.0f } }, { pitchDecay, { 758.0f, 68.0f } },
        { reverse, { 744.0f, 136.0f } },
    };

    for (const auto& face : faces)
    {
        auto& s = knob (face.knob);
        const auto& look = layoutOf (knobRow (face.knob).size);
        constexpr float pi = juce::MathConstants<float>::pi;

        // Both ends and the middle of the travel. A knob of whole steps may
        // only come near the middle (Offset has sixteen values, none straight
        // up): the dot then stands at the share of the travel its value has.
        for (auto proportion : { 0.5, 0.0, 1.0 })
        {
            s.setValue (s.proportionOfLengthToValue (proportion), juce::sendNotificationSync);
            const auto travelled = (float) s.valueToProportionOfLength (s.getValue());
            const auto expected = face.centre.getPointOnCircumference (look.dotPathRadius, (1.2f + 1.6f * travelled) * pi);

            int count = 0;
            const auto dot = whiteCentroid (snapshot (s), dotRegionOf (look), count);
            const auto inWindow = dot + s.getPosition().toDouble();

            EXPECT_NEAR (inWindow.x, expected.x, 0.3) << "knob " << (int) face.knob << " at proportion " << proportion;
            EXPECT_NEAR (inWindow.y, expected.y, 0.3) << "knob " << (int) face.knob << " at proportion " << proportion;
        }
    }
}

//==============================================================================
TEST_F (EditorFixture, TogglesGetTheirPicturesAndShowThemAt34By16FivePixelsIn)
{
    for (const auto& row : toggleTable())
    {
        auto& b = toggle (row.child);
        SCOPED_TRACE (row.name);

        ASSERT_TRUE (b.getNormalImage().isValid());
        ASSERT_TRUE (b.getDownImage().isValid());
        EXPECT_EQ (b.getNormalImage().getBounds(), juce::Rectangle<int> (0, 0, 1080, 512));
        EXPECT_TRUE (b.getNormalImage().hasAlphaChannel());
        EXPECT_EQ (b.getOverImage(), b.getNormalImage());      // mouse-over shows the off picture
        EXPECT_NE (b.getDownImage(), b.getNormalImage());
        EXPECT_TRUE (b.getClickingTogglesState());

        // Painted columns and rows of the toggle on its own.
        const auto image = snapshot (b);
        const juce::Image::BitmapData bits (image, juce::Image::BitmapData::readOnly);
        int left = 1000, right = -1, top = 1000, bottom = -1;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (bits.getPixelColour (x, y).getAlpha() > 8)
                {
                    left = juce::jmin (left, x);  right = juce::jmax (right, x);
                    top = juce::jmin (top, y);    bottom = juce::jmax (bottom, y);
                }

        EXPECT_EQ (left, 5);
        EXPECT_EQ (right, 38);
        EXPECT_EQ (top, 0);
        EXPECT_EQ (bottom, 15);
        EXPECT_EQ (b.getX() + left, row.bounds.getX() + 5);
    }
}

} // namespace
} // namespace brakkle::editortest
