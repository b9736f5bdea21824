// The program's face. Every window and sheet draws in Arial, named as the
// platform knows it; on Linux fonts-liberation supplies the metric-compatible
// face. It sits on the ground floor because the index rebuild window, on the
// store's floor, draws in it too.
#pragma once

#include <QFont>

namespace zil::platform {

// How text in the font is laid out. Unshaped sets Latin text glyph by glyph
// without the shaping pass, as the classic controls draw it, which is much
// cheaper where many fields and memos are laid out at once.
enum class Shaping { Shaped, Unshaped };

// Arial at a size in pixels: the face of the windows.
QFont arialPixels(int pixelSize, bool bold = false, Shaping shaping = Shaping::Shaped);

// Arial at a size in points: the face of the printed sheets and the About box.
QFont arialPoints(double pointSize, bool bold = false);

} // namespace zil::platform
