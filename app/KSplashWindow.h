#pragma once
// KSplashWindow: the borderless window with the program's picture that start-up shows in the
// middle of the screen until the splash timer runs out.  A click or a key hides it; the
// application deletes it (KWorksheetApp).
//
// The picture is bitmap resource 900 ("splashr5.bmp", 520 x 316, 8 bits, 256 colours).  It is
// kept as a device-independent image with its colour table; the window draws it with the
// logical palette made from that table, so that the colours hold on a 256-colour display.
// Colour count of the palette: the image's used-colour count when not 0, else 2 to the power of
// its bit count when that is at most 8, else none (a true-colour picture has no palette).
//
// Position: centred on the screen, the x coordinate rounded down to a multiple of 8.

#include <functional>
#include <optional>

#include "platform/gui/Bitmap.h"
#include "platform/gui/Window.h"
#include "platform/gui/base/Color.h"

enum : int {
    kSplashBitmapResource = 900,     // "splashr5.bmp"
    kParaStyleBitmapResource = 901,  // "smallp.bmp"
    kCharStyleBitmapResource = 902,  // "smallc.bmp"
};

// A picture as a bitmap resource carries it: the image and the used-colour count of its
// header (0: the bit count decides).
struct SplashPicture {
    DeviceIndependentImage image;
    unsigned colorsUsed = 0;
};

class KSplashWindow : public WorkWindow {
public:
    // Where the picture of resource 900 comes from; an empty answer is a missing resource.
    using PictureSource = std::function<std::optional<SplashPicture>()>;
    // The program's own picture (the default source).
    static std::optional<SplashPicture> programPicture();
    // Replaces the source (tests); an empty function restores the default.
    static void setPictureSource(PictureSource source);

    KSplashWindow();
    ~KSplashWindow() override;

    void mouseButtonDown(const MouseEvent& e) override;
    void keyInput(const KeyEvent& e) override;
    void paint(const Rectangle& r) override;

    // The palette's colour count for a picture header.
    static unsigned paletteColorCount(int bitCount, unsigned colorsUsed);
    // The window's top-left corner for a picture size on a screen size.
    static Point centredPosition(const Size& screen, const Size& picture);

    bool hasPicture() const { return !bitmap_.isEmpty(); }
    bool hasPalette() const { return !palette_.colors.empty(); }
    const Palette& palette() const { return palette_; }

private:
    void drawPicture();

    Bitmap picture_;    // what the window shows
    Bitmap bitmap_;     // the picture made for the screen, empty when the resource is missing
    Palette palette_;   // the picture's logical palette, or none
};
