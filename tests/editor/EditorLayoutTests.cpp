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
        EXPECT_EQ (isLarge, row.large) << row.parameterId;
        EXPECT_EQ (isSmall, ! row.large) << row.parameterId;
    }
}

TEST_F (EditorFixture, KnobsAreVerticalDragRotariesWithEditableBoxesAndNoOutline)
{
    for (const auto& row : knobTable())
    {
        auto& s = knob (row.child);
        SCOPED_TRACE (row.parameterId.toStdString());

        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::TextBoxAbove);
        EXPECT_TRUE (s.isTextBoxEditable());
        EXPECT_EQ (s.getTextBoxWidth(), 40);
        EXPECT_EQ (s.getTextBoxHeight(), 80);
        EXPECT_EQ (s.findColour (juce::Slider::textBoxOutlineColourId).getARGB(), 0x00ffffffu);

        // The value box really lands where the look-and-feel says.
        auto* box = EditorFixture::valueBox (s);
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->getBounds(), row.large ? juce::Rectangle<int> (72, 4, 80, 20)
                                               : juce::Rectangle<int> (29, 20, 80, 20));
    }
}

//==============================================================================
// The two look-and-feels on their own.

struct LayoutRow
{
    const char* name;
    bool large;
    int size;
    juce::Rectangle<int> knobArea, valueBox;
    juce::Point<float> dotPathCentre;
    float dotPathRadius;
};

const LayoutRow layoutRows[] = {
    { "large 235", true,  235, { -5, 40, 235, 155 }, { 72, 4, 80, 20 }, { 112.5f, 117.5f }, 63.5f },
    { "small 150", false, 150, { -5, 40, 150, 70 },  { 29, 20, 80, 20 }, { 70.0f, 75.0f }, 21.0f },
};

void PrintTo (const LayoutRow& row, std::ostream* os) { *os << row.name; }

class LookAndFeelLayout : public ::testing::TestWithParam<LayoutRow>
{
protected:
    void SetUp() override
    {
        lookAndFeel = GetParam().large ? std::unique_ptr<juce::LookAndFeel_V4> (std::make_unique<Editor::LargeSliderLookAndFeel>())
                                       : std::unique_ptr<juce::LookAndFeel_V4> (std::make_unique<Editor::SmallSliderLookAndFeel>());
        knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
        knob.setTextBoxStyle (juce::Slider::TextBoxAbove, false, 40, 80);
        knob.setLookAndFeel (lookAndFeel.get());
        knob.setRange (0.0, 100.0, 0.5);
        knob.setSize (GetParam().size, GetParam().size);
    }

    void TearDown() override { knob.setLookAndFeel (nullptr); }

    /** The part of the knob under its value box, where the box's white text can't count as dot. */
    juce::Rectangle<int> belowValueBox() const
    {
        const auto top = GetParam().valueBox.getBottom();
        return { 0, top, GetParam().size, GetParam().size - top };
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

        EXPECT_GT (count, 100) << "no dot at proportion " << proportion;
        EXPECT_NEAR (centroid.x, expected.x, 0.3) << row.name << " at proportion " << proportion;
        EXPECT_NEAR (centroid.y, expected.y, 0.3) << row.name << " at proportion " << proportion;
    }
}

TEST_P (LookAndFeelLayout, DotAtMidTravelStandsStraightAboveTheCentreAt54)
{
    const auto& row = GetParam();
    knob.setValue (50.0, juce::dontSendNotification);

    const auto image = snapshot (knob);
    int count = 0;
    const auto centroid = whiteCentroid (image, belowValueBox(), count);

    // The 16 pixel dot: about 200 fully or partly covered pixels.
    EXPECT_NEAR ((double) count, 16.0 * 16.0 * juce::MathConstants<double>::pi / 4.0, 40.0);
    EXPECT_NEAR (centroid.x, row.dotPathCentre.x, 0.3);
    EXPECT_NEAR (centroid.y, 54.0, 0.3);

    // And nothing else is painted between the value box and the bottom: only the dot.
    const juce::Image::BitmapData bits (image, juce::Image::BitmapData::readOnly);
    for (int y = belowValueBox().getY(); y < row.size; ++y)
    {
        for (int x = 0; x < row.size; ++x)
        {
            if (bits.getPixelColour (x, y).getAlpha() > 0)
            {
                ASSERT_LT (juce::Point<double> (x + 0.5, y + 0.5).getDistanceFrom (centroid), 9.5)
                    << "paint outside the dot at " << x << ", " << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P (BothSizes, LookAndFeelLayout, ::testing::ValuesIn (layoutRows),
                          [] (const auto& row) { return row.param.large ? std::string ("Large") : std::string ("Small"); });

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
    };

    for (const auto& face : faces)
    {
        auto& s = knob (face.knob);
        s.setValue (s.proportionOfLengthToValue (0.5), juce::sendNotificationSync);

        const int boxBottom = s.getWidth() == 235 ? 24 : 40;
        int count = 0;
        const auto dot = whiteCentroid (snapshot (s), { 0, boxBottom, s.getWidth(), s.getHeight() - boxBottom }, count);
        const auto inWindow = dot + s.getPosition().toDouble();
        const double radius = s.getWidth() == 235 ? 63.5 : 21.0;

        EXPECT_NEAR (inWindow.x, face.centre.x, 0.3) << "knob " << (int) face.knob;
        EXPECT_NEAR (inWindow.y, face.centre.y - radius, 0.3) << "knob " << (int) face.knob;
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
