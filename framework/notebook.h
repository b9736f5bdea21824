// Page changes of a notebook made by the user: a click on a tab, a tab's
// accelerator key, the arrow keys on the tabs and the page-switching keys.
// Changes that the program makes by setting the page do not count.
#pragma once

#include <functional>

class QTabWidget;

namespace zil::framework {

// Calls reaction with the new page after every page change of notebook made
// by the user, once the new page is shown.
void onUserPageChange(QTabWidget *notebook, std::function<void(int page)> reaction);

} // namespace zil::framework
