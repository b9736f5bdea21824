// Where a top-level window is put when it is shown.
#pragma once

class QWidget;

namespace zil::framework {

// Centres a top-level window, frame included, on the whole screen it is on
// (the primary screen when it is on none yet).
void centreOnScreen(QWidget *window);

} // namespace zil::framework
