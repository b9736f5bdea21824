#include "listcontext.h"

#include "searchclass.h"

namespace zil::browser {

ListContext::ListContext() = default;
ListContext::~ListContext() = default;

} // namespace zil::browser
