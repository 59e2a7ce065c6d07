// The three pictures in resources/ and the window drawn from them.

#include "EditorTestSupport.h"

#include <cstring>
#include <vector>

namespace brakkle::editortest
{
namespace
{

struct PngRow
{
    const char* file;
    juce::uint32 width, height;
    int colourType;   // 2 = RGB, 6 = RGBA
};

const PngRow pngRows[] = {
    { "Brakkle Skin.png", 1600, 1200, 2 },
    { "Toggle Button Off.png", 1080, 512, 6 },
    { "Toggle Button On.png", 1080, 512, 6 },
};

juce::uint32 bigEndian (const juce::uint8* p)
{
    return ((juce::uint32) p[0] << 24) | ((juce::uint32) p[1] << 16) | ((juce::uint32) p[2] << 8) | (juce::uint32) p[3];
}

TEST (ResourcePictures, HeadersGiveSizeEightBitColourTypeAndNoInterlace)
{
    const juce::uint8 signature[] = { 0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a };

    for (const auto& row : pngRows)
    {
        SCOPED_TRACE (row.file);
        juce::MemoryBlock data;
        ASSERT_TRUE (resourceFile (row.file).loadFileAsData (data));
        ASSERT_GE (data.getSize(), (size_t) 33);

        const auto* bytes = static_cast<const juce::uint8*> (data.getData());
        EXPECT_EQ (std::memcmp (bytes, signature, sizeof (signature)), 0);
        EXPECT_EQ (bigEndian (bytes + 8), 13u);                     // IHDR length
        EXPECT_EQ (std::memcmp (bytes + 12, "IHDR", 4), 0);
        EXPECT_EQ (bigEndian (bytes + 16), row.width);
        EXPECT_EQ (bigEndian (bytes + 20), row.height);
        EXPECT_EQ ((int) bytes[24], 8);                             // bits per channel
        EXPECT_EQ ((int) bytes[25], row.colourType);
        EXPECT_EQ ((int) bytes[28], 0);                             // not interlaced
    }
}

TEST (ResourcePictures, TogglesArePillsWithTheDiscAtTheirEnd)
{
    struct Row { const char* file; int discX, trackX; bool green; };
    const Row rows[] = {
        { "Toggle Button Off.png", 256, 824, false },
        { "Toggle Button On.png", 824, 256, true },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.file);
        const auto image = loadResourceImage (row.file);
        ASSERT_TRUE (image.isValid());
        ASSERT_TRUE (image.hasAlphaChannel());

        // Transparent outside the pill, opaque where it fills the picture.
        for (auto corner : { juce::Point<int> (0, 0), { 1079, 0 }, { 0, 511 }, { 1079, 511 }, { 40, 40 } })
            EXPECT_EQ (image.getPixelAt (corner.x, corner.y).getAlpha(), 0) << corner.toString();
        for (auto inside : { juce::Point<int> (3, 256), { 1076, 256 }, { 540, 3 }, { 540, 508 } })
            EXPECT_GT (image.getPixelAt (inside.x, inside.y).getAlpha(), 200) << inside.toString();

        const auto disc = image.getPixelAt (row.discX, 256);
        EXPECT_GT (juce::jmin (disc.getRed(), disc.getGreen(), disc.getBlue()), 220) << "white disc";

        const auto track = image.getPixelAt (row.trackX, 256);
        EXPECT_EQ (track.getAlpha(), 255);
        EXPECT_LT (track.getRed(), 200) << "the track is not white";

        if (row.green)
        {
            EXPECT_GT ((int) track.getGreen(), (int) track.getRed() + 50);
            EXPECT_GT ((int) track.getGreen(), (int) track.getBlue() + 50);
        }
        else
        {
            EXPECT_LT (std::abs ((int) track.getGreen() - (int) track.getRed()), 16) << "grey";
            EXPECT_LT (std::abs ((int) track.getBlue() - (int) track.getRed()), 16) << "grey";
        }
    }
}

TEST (ResourcePictures, BackgroundDecodesWithoutAlpha)
{
    const auto skin = loadResourceImage ("Brakkle Skin.png");
    ASSERT_TRUE (skin.isValid());
    EXPECT_EQ (skin.getBounds(), juce::Rectangle<int> (0, 0, 1600, 1200));
    EXPECT_FALSE (skin.hasAlphaChannel());
}

TEST (ResourcePictures, KnobFacesAreGraduatedAroundTheDotCentres)
{
    // The faces' scales have a bright graduation at both ends of the travel and
    // straight up; sampling all three at the scale's radius around each knob's
    // dot centre (at twice the window's scale) finds them only if the face is
    // centred there.
    const auto skin = loadResourceImage ("Brakkle Skin.png");
    ASSERT_TRUE (skin.isValid());

    // Eleven graduations put one straight up; the sixteen of the Offset and
    // Gate faces (one a step) have none there.
    struct Face { float x, y, scaleRadius; bool graduationStraightUp; };
    const Face faces[] = {
        { 222.5f, 237.5f, 86.0f, true }, { 576.5f, 237.5f, 86.0f, true },
        { 61.0f, 337.0f, 34.8f, true }, { 400.0f, 337.0f, 34.8f, true }, { 739.0f, 337.0f, 34.8f, true },
        { 84.0f, 505.0f, 34.8f, true }, { 182.0f, 505.0f, 34.8f, true }, { 351.0f, 505.0f, 34.8f, true },
        { 449.0f, 505.0f, 34.8f, true }, { 617.0f, 505.0f, 34.8f, true }, { 714.0f, 505.0f, 34.8f, true },
        { 392.0f, 58.0f, 14.8f, false }, { 450.0f, 58.0f, 14.8f, false },
        { 508.0f, 58.0f, 14.8f, true }, { 566.0f, 58.0f, 14.8f, true },
    };
    constexpr float pi = juce::MathConstants<float>::pi;

    for (const auto& face : faces)
    {
        std::vector<float> graduations { 1.2f * pi, 2.8f * pi };
        if (face.graduationStraightUp)
            graduations.push_back (2.0f * pi);

        for (auto angle : graduations)
        {
            const auto at = juce::Point<float> (face.x, face.y).getPointOnCircumference (face.scaleRadius, angle) * 2.0f;
            const auto c = skin.getPixelAt ((int) at.x, (int) at.y);
            EXPECT_GT (juce::jmax (c.getRed(), c.getGreen(), c.getBlue()), 170)
                << "no graduation at " << at.toString() << " around " << face.x << ", " << face.y;
        }

        // Just beyond the scale, straight up, it is dark again (panel or value
        // well): the bright samples were graduations, not a bright area.
        const auto off = juce::Point<float> (face.x, face.y).getPointOnCircumference (face.scaleRadius + 8.0f, 2.0f * pi) * 2.0f;
        const auto c = skin.getPixelAt ((int) off.x, (int) off.y);
        EXPECT_LT (juce::jmax (c.getRed(), c.getGreen(), c.getBlue()), 120) << "around " << face.x << ", " << face.y;
    }
}

TEST (ResourcePictures, EveryTogglePlaceHasADarkWellAndACaptionBesideIt)
{
    // At twice the window's scale: the recessed well under the toggle's 34 x 16
    // picture is near black, and the caption right of the place (SYNC, SYNC,
    // GRID) puts light pixels on the place's middle row.
    const auto skin = loadResourceImage ("Brakkle Skin.png");
    ASSERT_TRUE (skin.isValid());

    for (const auto& row : toggleTable())
    {
        SCOPED_TRACE (row.name);
        const auto well = skin.getPixelAt ((row.bounds.getX() + 22) * 2, row.bounds.getCentreY() * 2);
        EXPECT_LT (juce::jmax (well.getRed(), well.getGreen(), well.getBlue()), 40);

        int lightPixels = 0;
        for (int x = row.bounds.getRight() * 2; x < (row.bounds.getRight() + 30) * 2; ++x)
            for (int y = row.bounds.getY() * 2 + 8; y < row.bounds.getBottom() * 2 - 8; ++y)
                if (skin.getPixelAt (x, y).getBrightness() > 0.55f)
                    ++lightPixels;

        EXPECT_GT (lightPixels, 60) << "no caption right of " << row.bounds.toString();
    }
}

TEST (ResourcePictures, EveryFillAndShapePlaceHasAValueWellAndACaptionInItsFrame)
{
    // At twice the window's scale. Each fill and shape knob's value box (across
    // the top of its place) sits on a recessed well; its caption (OFFSET, GATE,
    // CHANCE, SEED, VARIATION, PITCH, DECAY under the place, REVERSE left of
    // its face) puts light pixels where no control lies; and each group's
    // caption, FILLS and SHAPE, stands in the accent colour above it.
    const auto skin = loadResourceImage ("Brakkle Skin.png");
    ASSERT_TRUE (skin.isValid());

    // The brightest channel of a picture pixel.
    const auto brightest = [&skin] (int x, int y)
    {
        const auto c = skin.getPixelAt (x, y);
        return (int) juce::jmax (c.getRed(), c.getGreen(), c.getBlue());
    };

    const auto under = [] (Child c)
    {
        const auto& b = knobRow (c).bounds;
        return juce::Rectangle<int> (b.getX(), b.getBottom() + 4, b.getWidth(), 14);
    };

    struct Place { Child knob; int boxWidth; juce::Rectangle<int> caption; };
    const Place places[] = {
        { fillOffset, 48, under (fillOffset) }, { fillGate, 48, under (fillGate) },
        { fillChance, 48, under (fillChance) }, { fillSeed, 48, under (fillSeed) },
        { variation, 48, { 616, 88, 56, 10 } }, { pitch, 48, { 673, 88, 56, 10 } },
        { pitchDecay, 48, { 730, 88, 56, 10 } }, { reverse, 64, { 660, 130, 42, 12 } },
    };

    for (const auto& place : places)
    {
        const auto& row = knobRow (place.knob);
        SCOPED_TRACE (row.parameterId.toStdString());
        const juce::Rectangle<int> box (row.bounds.getCentreX() - place.boxWidth / 2, row.bounds.getY(), place.boxWidth, 16);

        // The well's dark rim crosses the box's middle row, and inside the
        // rim it is darker than the band just above the box.
        int rim = 255;
        for (int x = box.getX() * 2; x < box.getCentreX() * 2; ++x)
            rim = juce::jmin (rim, brightest (x, box.getCentreY() * 2));
        EXPECT_LT (rim, 16) << "no well under the value box";
        EXPECT_LT (brightest (box.getCentreX() * 2, box.getCentreY() * 2), brightest (box.getCentreX() * 2, (box.getY() - 4) * 2));

        const auto& captionStrip = place.caption;
        int lightPixels = 0;
        for (int x = captionStrip.getX() * 2; x < captionStrip.getRight() * 2; ++x)
            for (int y = captionStrip.getY() * 2; y < captionStrip.getBottom() * 2; ++y)
                if (skin.getPixelAt (x, y).getBrightness() > 0.55f)
                    ++lightPixels;
        EXPECT_GT (lightPixels, 40) << "no caption at " << captionStrip.toString();

        for (const auto& other : knobTable())
        {
            // The refresh knob's square reaches under REVERSE; it draws only its
            // dot there, which circles its face 63.5 pixels out, far from it.
            const bool refreshSquare = other.child == refreshTimeFree || other.child == refreshTimeBpm;
            if (! (place.knob == reverse && refreshSquare))
            {
                EXPECT_FALSE (other.bounds.intersects (captionStrip)) << other.parameterId << " covers the caption";
            }
        }
        for (const auto& other : toggleTable())
            EXPECT_FALSE (other.bounds.intersects (captionStrip)) << other.name << " covers the caption";
    }

    // FILLS, centred over the four places (x 364 to 594), above their tops;
    // SHAPE over its group's (x 612 to 790).
    struct GroupCaption { const char* name; juce::Rectangle<int> area; };
    for (const auto& caption : { GroupCaption { "FILLS", { 459, 4, 40, 13 } }, GroupCaption { "SHAPE", { 680, 16, 42, 13 } } })
    {
        int accentPixels = 0;
        for (int x = caption.area.getX() * 2; x < caption.area.getRight() * 2; ++x)
            for (int y = caption.area.getY() * 2; y < caption.area.getBottom() * 2; ++y)
            {
                const auto c = skin.getPixelAt (x, y);
                if (c.getRed() > 200 && c.getRed() > c.getBlue() + 100)
                    ++accentPixels;
            }
        EXPECT_GT (accentPixels, 60) << "no " << caption.name << " caption";
    }
}

//==============================================================================
// The window as a host shows it, snapshotted in-process.

class WindowPicture : public EditorFixture
{
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        skin = loadResourceImage ("Brakkle Skin.png");
        pictures[0] = loadResourceImage ("Toggle Button Off.png");
        pictures[1] = loadResourceImage ("Toggle Button On.png");
        ASSERT_TRUE (skin.isValid() && pictures[0].isValid() && pictures[1].isValid());
    }

    /** On or off for each toggle, in the toggle table's order. */
    using ToggleStates = std::array<bool, 3>;

    static ToggleStates flipped (ToggleStates states)
    {
        for (auto& on : states)
            on = ! on;
        return states;
    }

    /** The background drawn the way the window draws it, with each toggle's
        picture (off or on) drawn 34 x 16 five pixels into its place. */
    juce::Image expectedWindow (ToggleStates states) const
    {
        juce::Image image (juce::Image::ARGB, 800, 600, true);
        juce::Graphics g (image);
        g.drawImage (skin, image.getBounds().toFloat(), juce::RectanglePlacement::stretchToFit);

        for (size_t i = 0; i < toggleTable().size(); ++i)
        {
            const auto& bounds = toggleTable()[i].bounds;
            const auto& picture = pictures[states[i] ? 1 : 0];
            const juce::Rectangle<float> place ((float) bounds.getX() + 5.0f, (float) bounds.getY(), 34.0f, 16.0f);
            g.drawImageTransformed (picture, juce::RectanglePlacement (juce::RectanglePlacement::stretchToFit)
                                                 .getTransformToFit (picture.getBounds().toFloat(), place));
        }

        return image;
    }

    /** Largest channel difference over an area of two pictures. */
    static int worstDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
    {
        int worst = 0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                worst = juce::jmax (worst, channelDistance (a.getPixelAt (x, y), b.getPixelAt (x, y)));
        return worst;
    }

    void expectMatches (ToggleStates states)
    {
        const auto window = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
        ASSERT_EQ (window.getBounds(), juce::Rectangle<int> (0, 0, 800, 600));
        const auto expected = expectedWindow (states);

        // Knob-face centres: the knobs draw nothing there, the background shows through.
        const juce::Point<int> faceCentres[] = {
            { 222, 237 }, { 576, 237 }, { 61, 337 }, { 400, 337 }, { 739, 337 },
            { 84, 505 }, { 182, 505 }, { 351, 505 }, { 449, 505 }, { 617, 505 }, { 714, 505 },
            { 392, 58 }, { 450, 58 }, { 508, 58 }, { 566, 58 },
        };
        for (auto c : faceCentres)
            EXPECT_LE (worstDifference (window, expected, juce::Rectangle<int> (5, 5).withCentre (c)), 1)
                << "face at " << c.toString();

        // Toggle places, whole rectangles, picture and background around it.
        for (const auto& row : toggleTable())
            EXPECT_LE (worstDifference (window, expected, row.bounds), 3) << row.name << " toggle";

        // The pictures differ enough there that a wrong one could not pass.
        const auto other = expectedWindow (flipped (states));
        for (const auto& row : toggleTable())
            EXPECT_GT (worstDifference (window, other, row.bounds), 100) << row.name;
    }

    juce::Image skin;
    juce::Image pictures[2];
};

TEST_F (WindowPicture, FreshWindowShowsBackgroundAndOnToggles)
{
    // Both sync switches start on, Grid Lock off.
    expectMatches ({ true, true, false });
}

TEST_F (WindowPicture, ClickedToggleShowsItsOffPicture)
{
    auto& b = toggle (stutterSync);
    b.triggerClick();
    deliverPendingMessages();
    b.setState (juce::Button::buttonNormal);

    expectMatches ({ false, true, false });

    // Off, but held down: the on picture.
    b.setState (juce::Button::buttonDown);
    const auto window = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    EXPECT_LE (worstDifference (window, expectedWindow ({ true, true, false }), toggleRow (stutterSync).bounds), 3);
    b.setState (juce::Button::buttonNormal);
}

TEST_F (WindowPicture, ClickedGridLockToggleShowsItsOnPicture)
{
    auto& b = toggle (gridLock);
    b.triggerClick();
    deliverPendingMessages();
    b.setState (juce::Button::buttonNormal);

    EXPECT_EQ (rawValue (ParameterIds::gridLock), 1.0f);
    expectMatches ({ true, true, true });

    // And back off: the off picture again, under the mouse too.
    b.triggerClick();
    deliverPendingMessages();
    b.setState (juce::Button::buttonOver);

    EXPECT_EQ (rawValue (ParameterIds::gridLock), 0.0f);
    expectMatches ({ true, true, false });
    b.setState (juce::Button::buttonNormal);
}

TEST_F (WindowPicture, BackgroundCoversTheWholeWindow)
{
    const auto window = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    const juce::Image::BitmapData bits (window, juce::Image::BitmapData::readOnly);

    // JUCE's halving filter reads one column past the picture's right edge, so
    // the last column comes out at 253 of 255; everything else is fully covered.
    for (int y = 0; y < 600; ++y)
    {
        for (int x = 0; x < 800; ++x)
        {
            const int alpha = bits.getPixelColour (x, y).getAlpha();
            ASSERT_GE (alpha, x == 799 ? 250 : 255) << x << ", " << y;
        }
    }
}

} // namespace
} // namespace brakkle::editortest
