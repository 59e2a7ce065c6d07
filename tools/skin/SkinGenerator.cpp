/*  brakkle-skin: draws Brakkle's panel artwork and writes the three PNG files
    that the plug-in embeds.

    Regenerate after changing this file (from the repository root, with the
    build folder configured):

        cmake --build build --target brakkle-skin-update

    which builds this program and runs it as `brakkle-skin <repo>/resources`.
    By hand: `brakkle-skin <output folder> [<font folder>]`; the font folder
    defaults to /usr/share/fonts/truetype/dejavu (Debian's fonts-dejavu-core).
    All captions are drawn as glyph outlines from those TTF files, and every bit
    of texture comes from a fixed random seed, so the same fonts give the same
    pixels on every machine.

    Outputs:
        "Brakkle Skin.png"       1600 x 1200 RGB (no alpha), the window at 2x
        "Toggle Button Off.png"  1080 x 512 RGBA, grey pill, disc left
        "Toggle Button On.png"   1080 x 512 RGBA, green pill, disc right

    The panel is drawn in window units (800 x 600) through a 2x transform, so
    every position below reads the same as the editor's layout: the knob faces
    sit on the value-dot centres of the knobs and the toggle wells on the
    toggles' places.
*/

#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <list>
#include <vector>

namespace
{
using juce::Colour;
using juce::Graphics;
using juce::Image;
using juce::Path;
using juce::Point;
using juce::Rectangle;

constexpr float pi = juce::MathConstants<float>::pi;
constexpr float twoPi = juce::MathConstants<float>::twoPi;
constexpr int scale = 2;

// The knobs' travel, clockwise from twelve o'clock (juce::Slider's defaults).
constexpr float startAngle = 1.2f * pi;
constexpr float endAngle = 2.8f * pi;

// Palette.
const Colour captionColour { 0xffdcdfe4 };
const Colour subCaptionColour { 0xffa9aeb6 };
const Colour accentColour { 0xfff2a33a };
const Colour tickColour { 0xffd2d5da };
const Colour minorTickColour { 0xff80858d };

//==============================================================================
struct Fonts
{
    juce::Typeface::Ptr bold, condensedBold, regular;

    bool load (const juce::File& folder)
    {
        bold = loadFace (folder.getChildFile ("DejaVuSans-Bold.ttf"));
        condensedBold = loadFace (folder.getChildFile ("DejaVuSansCondensed-Bold.ttf"));
        regular = loadFace (folder.getChildFile ("DejaVuSans.ttf"));
        return bold != nullptr && condensedBold != nullptr && regular != nullptr;
    }

private:
    juce::Typeface::Ptr loadFace (const juce::File& file)
    {
        juce::MemoryBlock data;

        if (! file.loadFileAsData (data))
        {
            std::cerr << "brakkle-skin: cannot read " << file.getFullPathName() << "\n";
            return nullptr;
        }

        fontData.push_back (data);   // FreeType reads the face from this memory
        const auto& kept = fontData.back();
        return juce::Typeface::createSystemTypefaceFor (kept.getData(), kept.getSize());
    }

    std::list<juce::MemoryBlock> fontData;
};

/** The outline of a line of text, tracked, with the start of its baseline at (0, 0). */
Path textPath (const juce::Typeface::Ptr& face, const juce::String& text, float height, float tracking)
{
    const juce::Font font { juce::FontOptions{}.withTypeface (face).withHeight (height).withKerningFactor (tracking) };

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);

    Path p;
    glyphs.createPath (p);
    return p;
}

enum class Align { left, centre, right };

/** Places a caption with its ink box aligned on x and its cap height centred on centreY. */
Path placedText (const juce::Typeface::Ptr& face, const juce::String& text, float height, float tracking,
                 float x, float centreY, Align align)
{
    auto p = textPath (face, text, height, tracking);
    const auto ink = p.getBounds();

    float dx = x - ink.getX();
    if (align == Align::centre) dx = x - ink.getCentreX();
    if (align == Align::right)  dx = x - ink.getRight();

    const float dy = centreY - ink.getCentreY();
    p.applyTransform (juce::AffineTransform::translation (dx, dy));
    return p;
}

/** Engraved text: a dark shadow below, a faint light edge above, then the fill. */
void drawCaption (Graphics& g, const Path& p, Colour fill)
{
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.fillPath (p, juce::AffineTransform::translation (0.0f, 1.0f));
    g.setColour (juce::Colours::white.withAlpha (0.06f));
    g.fillPath (p, juce::AffineTransform::translation (0.0f, -0.5f));
    g.setColour (fill);
    g.fillPath (p);
}

//==============================================================================
// Per-pixel helpers on the 2x picture. Coordinates passed in are window units.

/** Blends colour c with coverage a into the pixel. */
void blendPixel (Image::BitmapData& bits, int x, int y, Colour c, float a)
{
    if (a <= 0.0f || x < 0 || y < 0 || x >= bits.width || y >= bits.height)
        return;

    const auto old = bits.getPixelColour (x, y);
    const auto mixed = a >= 1.0f ? c.withAlpha (1.0f) : old.interpolatedWith (c.withAlpha (1.0f), a);
    bits.setPixelColour (x, y, mixed.withAlpha (old.getFloatAlpha()));
}

/** Shades a disc pixel by pixel: shade (r, angle) gives the colour at distance r
    (window units) and angle (clockwise from twelve o'clock). The rim is smoothed
    over one picture pixel. */
void shadeDisc (Image& image, Point<float> centre, float radius,
                const std::function<Colour (float r, float angle)>& shade)
{
    Image::BitmapData bits (image, Image::BitmapData::readWrite);

    const float cx = centre.x * scale, cy = centre.y * scale, rr = radius * scale;
    const int x0 = (int) std::floor (cx - rr - 1), x1 = (int) std::ceil (cx + rr + 1);
    const int y0 = (int) std::floor (cy - rr - 1), y1 = (int) std::ceil (cy + rr + 1);

    for (int y = y0; y <= y1; ++y)
    {
        for (int x = x0; x <= x1; ++x)
        {
            const float dx = (float) x + 0.5f - cx;
            const float dy = (float) y + 0.5f - cy;
            const float d = std::sqrt (dx * dx + dy * dy);
            const float coverage = juce::jlimit (0.0f, 1.0f, rr - d + 0.5f);

            if (coverage <= 0.0f)
                continue;

            float angle = std::atan2 (dx, -dy);   // clockwise from twelve o'clock
            if (angle < 0.0f)
                angle += twoPi;

            blendPixel (bits, x, y, shade (d / scale, angle), coverage);
        }
    }
}

Colour grey (float level, float coolness = 3.0f)
{
    const auto v = [] (float f) { return (juce::uint8) juce::jlimit (0, 255, juce::roundToInt (f)); };
    return Colour (v (level), v (level + coolness * 0.4f), v (level + coolness));
}

Point<float> onCircle (Point<float> centre, float radius, float angle)
{
    return centre.getPointOnCircumference (radius, angle);
}

//==============================================================================
/** Dark brushed metal: long horizontal streaks over a slow vertical swell. */
void brushedMetal (Image& image, juce::Random& random, float base, float streakDepth, float grain)
{
    const int w = image.getWidth(), h = image.getHeight();
    constexpr int streakLength = 96;

    std::vector<float> rowOffset ((size_t) h);
    float drift = 0.0f;
    for (auto& o : rowOffset)
    {
        drift = drift * 0.92f + (random.nextFloat() - 0.5f) * 0.9f;
        o = drift;
    }

    std::vector<float> noise ((size_t) (w + streakLength));
    std::vector<float> streak ((size_t) w);

    Image::BitmapData bits (image, Image::BitmapData::readWrite);

    for (int y = 0; y < h; ++y)
    {
        for (auto& n : noise)
            n = random.nextFloat() - 0.5f;

        // Moving average: each pixel is the mean of streakLength neighbours along the row.
        float sum = 0.0f;
        for (int i = 0; i < streakLength; ++i)
            sum += noise[(size_t) i];

        for (int x = 0; x < w; ++x)
        {
            streak[(size_t) x] = sum / std::sqrt ((float) streakLength) * 3.4f;
            sum += noise[(size_t) (x + streakLength)] - noise[(size_t) x];
        }

        const float vertical = 1.0f - 0.10f * ((float) y / (float) h);

        for (int x = 0; x < w; ++x)
        {
            const float level = base * vertical
                              + rowOffset[(size_t) y] * 2.0f
                              + streak[(size_t) x] * streakDepth
                              + (random.nextFloat() - 0.5f) * grain;
            bits.setPixelColour (x, y, grey (level, 4.0f));
        }
    }
}

//==============================================================================
/** A hex-socket screw head. */
void drawScrew (Graphics& g, Point<float> c)
{
    const float r = 6.0f;

    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.fillEllipse (Rectangle<float> (2 * r + 2, 2 * r + 2).withCentre (c.translated (0.0f, 1.0f)));

    juce::ColourGradient body (grey (175), c.translated (-r * 0.6f, -r * 0.7f), grey (60), c.translated (r * 0.7f, r * 0.8f), false);
    g.setGradientFill (body);
    g.fillEllipse (Rectangle<float> (2 * r, 2 * r).withCentre (c));

    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.drawEllipse (Rectangle<float> (2 * r, 2 * r).withCentre (c), 0.6f);

    Path hex;
    hex.addPolygon (c, 6, r * 0.48f, 0.3f);
    g.setColour (grey (28));
    g.fillPath (hex);
    g.setColour (juce::Colours::white.withAlpha (0.12f));
    g.strokePath (hex, juce::PathStrokeType (0.4f), juce::AffineTransform::translation (0.0f, 0.4f));
}

/** A recessed display well behind a knob's value box. */
void drawValueWell (Graphics& g, Rectangle<float> well)
{
    g.setColour (juce::Colours::white.withAlpha (0.07f));
    g.fillRoundedRectangle (well.translated (0.0f, 0.8f), 4.0f);

    juce::ColourGradient fill (Colour (0xff101113), well.getX(), well.getY(),
                               Colour (0xff1b1d20), well.getX(), well.getBottom(), false);
    g.setGradientFill (fill);
    g.fillRoundedRectangle (well, 4.0f);

    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawRoundedRectangle (well.reduced (0.25f), 4.0f, 0.5f);
}

/** The graduated scale around a knob face. */
void drawScale (Graphics& g, Point<float> c, float inner, float minorOuter, float majorOuter,
                int majors, int minorsBetween, float majorWidth, float minorWidth, int accentTick)
{
    const int steps = (majors - 1) * (minorsBetween + 1);

    for (int i = 0; i <= steps; ++i)
    {
        const float angle = startAngle + (endAngle - startAngle) * (float) i / (float) steps;
        const bool major = i % (minorsBetween + 1) == 0;
        const int majorIndex = i / (minorsBetween + 1);

        Path tick;
        tick.startNewSubPath (onCircle (c, inner, angle));
        tick.lineTo (onCircle (c, major ? majorOuter : minorOuter, angle));

        const auto width = major ? majorWidth : minorWidth;
        g.setColour (juce::Colours::black.withAlpha (0.6f));
        g.strokePath (tick, juce::PathStrokeType (width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded),
                      juce::AffineTransform::translation (0.0f, 0.7f));

        Colour colour = major ? tickColour : minorTickColour;
        if (major && majorIndex == accentTick)
            colour = accentColour;

        g.setColour (colour);
        g.strokePath (tick, juce::PathStrokeType (width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }
}

/** A soft shadow under a round object. */
void drawDiscShadow (Graphics& g, Point<float> c, float radius, float spread, float drop)
{
    const auto sc = c.translated (0.0f, drop);
    juce::ColourGradient shadow (juce::Colours::black.withAlpha (0.75f), sc,
                                 juce::Colours::transparentBlack, sc.translated (radius + spread, 0.0f), true);
    shadow.addColour ((double) ((radius - spread * 0.5f) / (radius + spread)), juce::Colours::black.withAlpha (0.7f));
    g.setGradientFill (shadow);
    g.fillEllipse (Rectangle<float> (2 * (radius + spread), 2 * (radius + spread)).withCentre (sc));
}

/** The metal cap of a knob: a chamfered chrome rim around a dark machined top
    with a spun sheen, a sunken track for the white value dot when dotRadius is
    above zero, and a shallow centre dish when dishRadius is. */
void drawKnobCap (Image& image, Graphics& g, Point<float> c, float radius, float rim, float dotRadius, float dishRadius)
{
    const float body = radius - rim;

    shadeDisc (image, c, radius, [=] (float r, float angle)
    {
        if (r > body)
        {
            // Chamfer lit from the upper left.
            const float light = 0.5f + 0.5f * std::cos (angle - 1.75f * pi);
            const float edge = (r - body) / rim;          // 0 inside .. 1 outside
            const float level = 62.0f + 150.0f * light * (1.0f - 0.35f * edge);
            return grey (level);
        }

        // Spun sheen: two soft highlights across the top, a machined ring pattern.
        const float sheen = 15.0f * std::pow (std::abs (std::cos (angle - 1.85f * pi)), 5.0f)
                          + 8.0f * std::pow (std::abs (std::cos (angle - 0.35f * pi)), 9.0f);
        const float rings = 1.6f * std::sin (r * scale * 1.7f);
        const float falloff = -7.0f * (r / body) * (r / body);
        return grey (36.0f + sheen + rings + falloff, 4.0f);
    });

    // Hairline where rim meets top.
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.drawEllipse (Rectangle<float> (2 * body, 2 * body).withCentre (c), 0.7f);

    // The dot's track, on the large caps only: on a small cap it would leave
    // little of the cap itself to see.
    if (dotRadius > 0.0f)
    {
        Path track;
        track.addCentredArc (c.x, c.y, dotRadius, dotRadius, 0.0f, startAngle, endAngle, true);
        const juce::PathStrokeType groove (17.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);

        g.setColour (juce::Colours::white.withAlpha (0.05f));
        g.strokePath (track, groove, juce::AffineTransform::translation (0.0f, 0.8f));
        g.setColour (juce::Colours::black.withAlpha (0.45f));
        g.strokePath (track, groove);
    }

    // A shallow centre dish.
    if (dishRadius > 0.0f)
    {
        const auto dish = Rectangle<float> (2 * dishRadius, 2 * dishRadius).withCentre (c);
        juce::ColourGradient dishFill (juce::Colours::black.withAlpha (0.28f), c.translated (0.0f, -dishRadius),
                                       juce::Colours::white.withAlpha (0.05f), c.translated (0.0f, dishRadius), false);
        g.setGradientFill (dishFill);
        g.fillEllipse (dish);
        g.setColour (juce::Colours::black.withAlpha (0.5f));
        g.drawEllipse (dish, 0.6f);
        g.setColour (juce::Colours::white.withAlpha (0.09f));
        g.drawEllipse (dish.translated (0.0f, 0.7f), 0.5f);
    }
}

struct KnobFace
{
    Point<float> centre;
    bool bipolar;   // the scale's accent marks the middle instead of the start
};

void drawLargeKnob (Image& image, Graphics& g, Point<float> c)
{
    drawDiscShadow (g, c, 78.0f, 9.0f, 5.0f);

    // Scale ring: a thin engraved arc with 11 major and 40 minor graduations.
    Path arc;
    arc.addCentredArc (c.x, c.y, 81.0f, 81.0f, 0.0f, startAngle, endAngle, true);
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.strokePath (arc, juce::PathStrokeType (1.2f), juce::AffineTransform::translation (0.0f, 0.6f));
    g.setColour (minorTickColour);
    g.strokePath (arc, juce::PathStrokeType (0.8f));

    drawScale (g, c, 81.0f, 87.0f, 91.5f, 11, 3, 2.2f, 1.1f, 0);

    drawKnobCap (image, g, c, 78.0f, 4.5f, 63.5f, 40.0f);
}

void drawSmallKnob (Image& image, Graphics& g, const KnobFace& face)
{
    const auto c = face.centre;
    drawDiscShadow (g, c, 31.5f, 5.0f, 3.0f);
    drawScale (g, c, 33.0f, 35.0f, 36.5f, 11, 0, 1.7f, 1.0f, face.bipolar ? 5 : 0);
    drawKnobCap (image, g, c, 31.5f, 2.5f, 0.0f, 9.0f);
}

/** A fill knob's place: its face, how many graduations its scale has and its caption. */
struct MiniKnobFace
{
    Point<float> centre;
    int graduations;   // one a step for the sixteenths, eleven for the others
    const char* caption;
};

void drawMiniKnob (Image& image, Graphics& g, const MiniKnobFace& face)
{
    const auto c = face.centre;
    drawDiscShadow (g, c, 12.0f, 3.0f, 2.0f);
    drawScale (g, c, 13.5f, 16.0f, 16.0f, face.graduations, 0, 1.2f, 1.2f, 0);
    drawKnobCap (image, g, c, 12.0f, 1.5f, 0.0f, 4.0f);
}

/** An engraved frame around a group of knobs, its caption set into the top edge. */
void drawGroupFrame (Graphics& g, const Fonts& fonts, Rectangle<float> frame, const juce::String& caption)
{
    const auto text = placedText (fonts.bold, caption, 12.0f, 0.28f, frame.getCentreX(), frame.getY(), Align::centre);
    const auto gap = text.getBounds().expanded (7.0f, 6.0f);

    // A slightly darker inlay inside the frame.
    g.setColour (juce::Colours::black.withAlpha (0.16f));
    g.fillRoundedRectangle (frame, 8.0f);

    {
        Graphics::ScopedSaveState save (g);
        g.excludeClipRegion (gap.getSmallestIntegerContainer());

        g.setColour (juce::Colours::white.withAlpha (0.08f));
        g.drawRoundedRectangle (frame.translated (0.0f, 1.0f), 8.0f, 1.0f);
        g.setColour (juce::Colours::black.withAlpha (0.65f));
        g.drawRoundedRectangle (frame, 8.0f, 1.0f);
    }

    drawCaption (g, text, accentColour);
}

/** The recessed slot a toggle sits in (the toggle draws at x + 5, 34 x 16). */
void drawToggleWell (Graphics& g, Rectangle<float> place)
{
    const auto pill = Rectangle<float> (place.getX() + 5.0f, place.getY(), 34.0f, 16.0f).expanded (1.5f);

    g.setColour (juce::Colours::white.withAlpha (0.08f));
    g.fillRoundedRectangle (pill.translated (0.0f, 1.0f), pill.getHeight() * 0.5f);
    g.setColour (Colour (0xff121315));
    g.fillRoundedRectangle (pill, pill.getHeight() * 0.5f);
}

//==============================================================================
/** The title band: a darker plate with the logo mark, the product name and the maker. */
void drawTitleBand (Graphics& g, const Fonts& fonts)
{
    const Rectangle<float> band (0.0f, 0.0f, 800.0f, 108.0f);

    juce::ColourGradient shade (juce::Colours::black.withAlpha (0.42f), 0.0f, 0.0f,
                                juce::Colours::black.withAlpha (0.22f), 0.0f, band.getBottom(), false);
    g.setGradientFill (shade);
    g.fillRect (band);

    // Chamfered lower edge of the plate.
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.fillRect (0.0f, band.getBottom(), 800.0f, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.10f));
    g.fillRect (0.0f, band.getBottom() + 1.0f, 800.0f, 1.0f);

    // An accent hairline that fades out towards both ends.
    juce::ColourGradient line (accentColour.withAlpha (0.0f), 30.0f, 0.0f, accentColour.withAlpha (0.0f), 770.0f, 0.0f, false);
    line.addColour (0.18, accentColour.withAlpha (0.85f));
    line.addColour (0.82, accentColour.withAlpha (0.85f));
    g.setGradientFill (line);
    g.fillRect (30.0f, band.getBottom() - 6.0f, 740.0f, 1.0f);

    // Logo mark: a slice and its two repeats, fading, in a rounded badge.
    const Rectangle<float> badge (34.0f, 24.0f, 58.0f, 58.0f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillRoundedRectangle (badge.translated (0.0f, 1.5f), 12.0f);
    juce::ColourGradient badgeFill (Colour (0xff2b2e33), badge.getX(), badge.getY(),
                                    Colour (0xff15171a), badge.getX(), badge.getBottom(), false);
    g.setGradientFill (badgeFill);
    g.fillRoundedRectangle (badge, 12.0f);
    g.setColour (accentColour);
    g.drawRoundedRectangle (badge.reduced (1.0f), 11.0f, 2.0f);

    const float heights[] = { 26.0f, 14.0f, 20.0f };
    const float alphas[] = { 1.0f, 0.62f, 0.32f };
    for (int repeat = 0; repeat < 3; ++repeat)
    {
        const float x0 = badge.getX() + 12.0f + (float) repeat * 12.5f;
        for (int bar = 0; bar < 3; ++bar)
        {
            const float h = heights[bar];
            const Rectangle<float> r (x0 + (float) bar * 3.9f, badge.getCentreY() - h * 0.5f, 2.6f, h);
            g.setColour (accentColour.withAlpha (alphas[repeat]));
            g.fillRoundedRectangle (r, 1.3f);
        }
    }

    // Product name, in brushed silver.
    auto name = placedText (fonts.bold, "BRAKKLE", 46.0f, 0.14f, 112.0f, 46.0f, Align::left);
    const auto nameBox = name.getBounds();
    g.setColour (juce::Colours::black.withAlpha (0.75f));
    g.fillPath (name, juce::AffineTransform::translation (0.0f, 2.0f));
    juce::ColourGradient silver (Colour (0xfff4f5f7), 0.0f, nameBox.getY(),
                                 Colour (0xff9ba1a9), 0.0f, nameBox.getBottom(), false);
    silver.addColour (0.55, Colour (0xffc9cdd3));
    silver.addColour (0.56, Colour (0xffb3b8bf));
    g.setGradientFill (silver);
    g.fillPath (name);

    auto subtitle = placedText (fonts.bold, "BEAT REPEATER", 11.0f, 0.62f, nameBox.getX() + 2.0f, 82.0f, Align::left);
    drawCaption (g, subtitle, accentColour);

    // Maker and line, small, under the subtitle (the band's right holds the shape group).
    auto maker = placedText (fonts.bold, "HALVORN", 9.0f, 0.42f, nameBox.getX() + 2.0f, 95.0f, Align::left);
    drawCaption (g, maker, captionColour);
    auto line2 = placedText (fonts.regular, "TEMPO-SYNCED STUTTER", 8.0f, 0.34f, maker.getBounds().getRight() + 10.0f, 95.0f, Align::left);
    drawCaption (g, line2, subCaptionColour);
}

/** The fills' group in the title band, between the name and the maker: four
    mini knobs in 56 x 54 places from (364, 20), 58 apart, each with its
    48 x 16 value box across the top of its place, its face 38 below that top
    and its caption under the face. */
void drawFillGroup (Image& image, Graphics& g, const Fonts& fonts)
{
    drawGroupFrame (g, fonts, { 358.0f, 10.0f, 242.0f, 86.0f }, "FILLS");

    const MiniKnobFace faces[] = {
        { { 392.0f, 58.0f }, 16, "OFFSET" }, { { 450.0f, 58.0f }, 16, "GATE" },
        { { 508.0f, 58.0f }, 11, "CHANCE" }, { { 566.0f, 58.0f }, 11, "SEED" },
    };

    for (const auto& face : faces)
    {
        drawValueWell (g, Rectangle<float> (face.centre.x - 24.0f, 20.0f, 48.0f, 16.0f).withSizeKeepingCentre (44.0f, 14.0f));
        drawMiniKnob (image, g, face);
        drawCaption (g, placedText (fonts.bold, face.caption, 8.0f, 0.25f, face.centre.x, 85.0f, Align::centre),
                     subCaptionColour);
    }
}

/** The shape group at the title band's right, reaching below the band where
    nothing else lies (right of the refresh knob's value box and above its
    scale): Variation, Pitch and Decay as mini knobs in 56 x 54 places from
    (616, 30), 57 apart, like the fills, their captions under them; below,
    Reverse in an 80 x 54 place at (704, 98) with a 64 x 16 value box across
    its top, its face 38 below that and its caption to the face's left. */
void drawShapeGroup (Image& image, Graphics& g, const Fonts& fonts)
{
    drawGroupFrame (g, fonts, { 612.0f, 22.0f, 178.0f, 132.0f }, "SHAPE");

    const MiniKnobFace faces[] = {
        { { 644.0f, 68.0f }, 11, "VARIATION" }, { { 701.0f, 68.0f }, 13, "PITCH" }, { { 758.0f, 68.0f }, 11, "DECAY" },
    };

    for (const auto& face : faces)
    {
        drawValueWell (g, Rectangle<float> (face.centre.x - 24.0f, 30.0f, 48.0f, 16.0f).withSizeKeepingCentre (44.0f, 14.0f));
        drawMiniKnob (image, g, face);
        drawCaption (g, placedText (fonts.bold, face.caption, 8.0f, 0.25f, face.centre.x, 92.0f, Align::centre),
                     subCaptionColour);
    }

    const MiniKnobFace reverse { { 744.0f, 136.0f }, 3, "REVERSE" };
    drawValueWell (g, Rectangle<float> (712.0f, 98.0f, 64.0f, 16.0f).withSizeKeepingCentre (60.0f, 14.0f));
    drawMiniKnob (image, g, reverse);
    drawCaption (g, placedText (fonts.bold, reverse.caption, 8.0f, 0.25f, 720.0f, 136.0f, Align::right), subCaptionColour);
}

//==============================================================================
Image drawSkin (const Fonts& fonts)
{
    Image image (Image::RGB, 800 * scale, 600 * scale, true, juce::SoftwareImageType());
    juce::Random random (0x6272616bLL);

    brushedMetal (image, random, 64.0f, 4.5f, 3.0f);

    Graphics g (image);
    g.setImageResamplingQuality (Graphics::highResamplingQuality);
    g.addTransform (juce::AffineTransform::scale ((float) scale));

    // A soft vignette towards the edges.
    {
        juce::ColourGradient vignette (juce::Colours::transparentBlack, 400.0f, 330.0f,
                                       juce::Colours::black.withAlpha (0.32f), 400.0f + 520.0f, 330.0f, true);
        g.setGradientFill (vignette);
        g.fillRect (0.0f, 0.0f, 800.0f, 600.0f);
    }

    drawTitleBand (g, fonts);
    drawFillGroup (image, g, fonts);
    drawShapeGroup (image, g, fonts);

    for (auto c : { Point<float> (13.0f, 13.0f), Point<float> (787.0f, 13.0f),
                    Point<float> (13.0f, 587.0f), Point<float> (787.0f, 587.0f) })
        drawScrew (g, c);

    // Bottom groups.
    drawGroupFrame (g, fonts, { 27.0f, 422.0f, 212.0f, 160.0f }, "FILTER");
    drawGroupFrame (g, fonts, { 294.0f, 422.0f, 212.0f, 160.0f }, "FADE");
    drawGroupFrame (g, fonts, { 559.0f, 422.0f, 213.0f, 160.0f }, "STEREO");

    // Value wells: the knobs' value boxes in window coordinates.
    const Rectangle<float> valueBoxes[] = {
        { 182.0f, 124.0f, 80.0f, 20.0f }, { 536.0f, 124.0f, 80.0f, 20.0f },
        { 20.0f, 282.0f, 80.0f, 20.0f }, { 359.0f, 282.0f, 80.0f, 20.0f }, { 698.0f, 282.0f, 80.0f, 20.0f },
        { 43.0f, 450.0f, 80.0f, 20.0f }, { 141.0f, 450.0f, 80.0f, 20.0f },
        { 310.0f, 450.0f, 80.0f, 20.0f }, { 408.0f, 450.0f, 80.0f, 20.0f },
        { 576.0f, 450.0f, 80.0f, 20.0f }, { 673.0f, 450.0f, 80.0f, 20.0f },
    };
    for (auto box : valueBoxes)
        drawValueWell (g, box.withSizeKeepingCentre (70.0f, 16.0f));

    // The two time knobs, their captions and their sync toggles.
    const Point<float> stutterCentre (222.5f, 237.5f), refreshCentre (576.5f, 237.5f);
    drawLargeKnob (image, g, stutterCentre);
    drawLargeKnob (image, g, refreshCentre);

    drawCaption (g, placedText (fonts.bold, "STUTTER", 15.0f, 0.3f, stutterCentre.x, 348.0f, Align::centre), captionColour);
    drawCaption (g, placedText (fonts.bold, "REFRESH", 15.0f, 0.3f, refreshCentre.x, 348.0f, Align::centre), captionColour);

    // The toggles' places and their captions, set just right of each place:
    // the two sync toggles under the time knobs' captions, Grid Lock's in the
    // band between the title and the knobs, level with the time knobs' value
    // wells and centred on the window (with its caption).
    struct TogglePlace { Rectangle<float> place; const char* caption; };
    const TogglePlace togglePlaces[] = {
        { { 173.0f, 375.0f, 45.0f, 16.0f }, "SYNC" },
        { { 513.0f, 375.0f, 45.0f, 16.0f }, "SYNC" },
        { { 362.0f, 126.0f, 45.0f, 16.0f }, "GRID" },
    };
    for (const auto& toggle : togglePlaces)
    {
        const auto place = toggle.place;
        drawToggleWell (g, place);
        drawCaption (g, placedText (fonts.condensedBold, toggle.caption, 10.0f, 0.2f, place.getRight() + 1.0f, place.getCentreY(), Align::left),
                     subCaptionColour);
    }

    // Small knobs.
    const KnobFace smallKnobs[] = {
        { { 61.0f, 337.0f }, true },  { { 400.0f, 337.0f }, false }, { { 739.0f, 337.0f }, true },
        { { 84.0f, 505.0f }, false }, { { 182.0f, 505.0f }, true },
        { { 351.0f, 505.0f }, false }, { { 449.0f, 505.0f }, true },
        { { 617.0f, 505.0f }, false }, { { 714.0f, 505.0f }, true },
    };
    for (const auto& knob : smallKnobs)
        drawSmallKnob (image, g, knob);

    const char* middleCaptions[] = { "IN", "MIX", "OUT" };
    for (int i = 0; i < 3; ++i)
        drawCaption (g, placedText (fonts.bold, middleCaptions[i], 12.0f, 0.3f, smallKnobs[i].centre.x, 388.0f, Align::centre),
                     captionColour);

    const char* groupCaptions[] = { "FREQ", "MIX", "VOL", "MIX", "WIDTH", "MIX" };
    for (int i = 0; i < 6; ++i)
        drawCaption (g, placedText (fonts.bold, groupCaptions[i], 10.0f, 0.3f, smallKnobs[i + 3].centre.x, 557.0f, Align::centre),
                     subCaptionColour);

    return image;
}

//==============================================================================
/** A toggle (sync and Grid Lock): a pill that fills the whole picture, the white disc at one end. */
Image drawToggle (bool on)
{
    constexpr int w = 1080, h = 512;
    Image image (Image::ARGB, w, h, true, juce::SoftwareImageType());
    Graphics g (image);

    const Rectangle<float> bounds (0.0f, 0.0f, (float) w, (float) h);
    Path pill;
    pill.addRoundedRectangle (bounds, (float) h * 0.5f);

    const Colour top = on ? Colour (0xff5fe07a) : Colour (0xff9a9fa6);
    const Colour bottom = on ? Colour (0xff2f9e4a) : Colour (0xff5d6168);
    juce::ColourGradient fill (top, 0.0f, 0.0f, bottom, 0.0f, (float) h, false);
    g.setGradientFill (fill);
    g.fillPath (pill);

    Graphics::ScopedSaveState save (g);
    g.reduceClipRegion (pill);

    // Inner shadow along the top, a soft glint along the bottom.
    juce::ColourGradient inner (juce::Colours::black.withAlpha (0.35f), 0.0f, 0.0f,
                                juce::Colours::transparentBlack, 0.0f, 90.0f, false);
    g.setGradientFill (inner);
    g.fillRect (bounds.withHeight (90.0f));
    juce::ColourGradient glint (juce::Colours::transparentWhite, 0.0f, (float) h - 110.0f,
                                juce::Colours::white.withAlpha (0.16f), 0.0f, (float) h, false);
    g.setGradientFill (glint);
    g.fillRect (bounds.withTop ((float) h - 110.0f));

    g.setColour (juce::Colours::black.withAlpha (0.28f));
    g.strokePath (pill, juce::PathStrokeType (10.0f));

    // The disc with its shadow.
    const float discRadius = 212.0f;
    const Point<float> discCentre (on ? (float) w - 256.0f : 256.0f, 256.0f);

    const auto shadowCentre = discCentre.translated (0.0f, 12.0f);
    const float shadowReach = discRadius + 36.0f;
    juce::ColourGradient shadow (juce::Colours::black.withAlpha (0.38f), shadowCentre,
                                 juce::Colours::transparentBlack, shadowCentre.translated (shadowReach, 0.0f), true);
    shadow.addColour ((double) ((discRadius - 8.0f) / shadowReach), juce::Colours::black.withAlpha (0.38f));
    shadow.addColour ((double) ((discRadius + 12.0f) / shadowReach), juce::Colours::black.withAlpha (0.14f));
    g.setGradientFill (shadow);
    g.fillEllipse (Rectangle<float> (2 * shadowReach, 2 * shadowReach).withCentre (shadowCentre));

    const auto disc = Rectangle<float> (2 * discRadius, 2 * discRadius).withCentre (discCentre);
    juce::ColourGradient discFill (Colour (0xffffffff), disc.getX(), disc.getY(),
                                   Colour (0xffe1e3e6), disc.getX(), disc.getBottom(), false);
    g.setGradientFill (discFill);
    g.fillEllipse (disc);
    g.setColour (juce::Colours::black.withAlpha (0.12f));
    g.drawEllipse (disc.reduced (2.0f), 4.0f);

    return image;
}

bool writePng (const Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out (file);

    if (! out.openedOk() || ! juce::PNGImageFormat().writeImageToStream (image, out))
    {
        std::cerr << "brakkle-skin: cannot write " << file.getFullPathName() << "\n";
        return false;
    }

    out.flush();
    std::cout << "wrote " << file.getFullPathName() << " (" << image.getWidth() << " x " << image.getHeight()
              << (image.hasAlphaChannel() ? ", RGBA" : ", RGB") << ")\n";
    return true;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc < 2 || argc > 3)
    {
        std::cerr << "usage: brakkle-skin <output folder> [<DejaVu font folder>]\n";
        return 2;
    }

    const auto outDir = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    const auto fontDir = argc == 3 ? juce::File::getCurrentWorkingDirectory().getChildFile (argv[2])
                                   : juce::File ("/usr/share/fonts/truetype/dejavu");

    Fonts fonts;
    if (! fonts.load (fontDir))
        return 1;

    if (! outDir.createDirectory())
    {
        std::cerr << "brakkle-skin: cannot create " << outDir.getFullPathName() << "\n";
        return 1;
    }

    const bool ok = writePng (drawSkin (fonts), outDir.getChildFile ("Brakkle Skin.png"))
                 && writePng (drawToggle (false), outDir.getChildFile ("Toggle Button Off.png"))
                 && writePng (drawToggle (true), outDir.getChildFile ("Toggle Button On.png"));

    return ok ? 0 : 1;
}
