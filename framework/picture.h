// The program's button pictures: every glyph that a button of the program
// shows is drawn here, and kept as one strip of two images side by side where
// a button changes its picture.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace zil::framework {

enum class Glyph {
    // The main window's button bar; Select, the funnel, is also the criteria
    // dialog's selection button.
    First,
    Prior,
    Next,
    Last,
    Order,
    Select,
    Print,
    Hide,
    Show,
    // The other buttons of the criteria dialog.
    SelectAll,
    Clear,
    Close,
};

// The glyph drawn into a 16 × 16 image on a transparent ground.
QImage glyphImage(Glyph glyph);

// The glyph's icon with its own disabled image: the glyph's dark parts in
// grey, embossed with white; its light parts drop out.
QIcon glyphIcon(Glyph glyph);

// A 32 × 16 strip holding the glyph's normal image on the left and its
// disabled one on the right.
QPixmap glyphStrip(Glyph glyph);

// The icon of a two-image picture: the left half is the normal image, the
// right half the disabled one. A 32 × 16 strip gives two 16 × 16 images.
QIcon twoImageIcon(const QPixmap &strip);

} // namespace zil::framework
