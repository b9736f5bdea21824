#include "shell/Sizerwin.h"

#include <cmath>
#include <limits>

// The truncation of growth times factor must see the product with a 64-bit
// mantissa; in double precision 100 × 0.6 rounds up to 60 before truncation.
static_assert(std::numeric_limits<long double>::digits >= 64,
    "the proportional layout needs an extended-precision long double");

namespace {

std::int32_t clampToInt32(long double value)
{
    constexpr long double low = std::numeric_limits<std::int32_t>::min();
    constexpr long double high = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value))
        return 0;
    if (value < low)
        return std::numeric_limits<std::int32_t>::min();
    if (value > high)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

std::int32_t place(std::int32_t orig, std::int32_t growth, double factor)
{
    // Summed in extended precision as well, so that no factor, however large,
    // makes the integer arithmetic overflow.
    return clampToInt32(static_cast<long double>(orig)
        + static_cast<long double>(TSizerData::Scaled(growth, factor)));
}

} // namespace

std::int32_t TSizerData::Scaled(std::int32_t growth, double factor)
{
    const long double product = static_cast<long double>(growth) * static_cast<long double>(factor);
    return clampToInt32(std::trunc(product));
}

void TSizerData::Init(QWidget *window)
{
    Form = window;
    FormHeight = window ? window->height() : 0;
    FormWidth = window ? window->width() : 0;
    Count = 0;
    Control.fill(nullptr);
}

bool TSizerData::AddControl(
    QWidget *control, double LeftFactor, double TopFactor, double WidthFactor, double HeightFactor)
{
    if (!control || Count >= Capacity)
        return false;
    ++Count;
    Control[Count] = control;
    this->LeftFactor[Count] = LeftFactor;
    this->TopFactor[Count] = TopFactor;
    this->WidthFactor[Count] = WidthFactor;
    this->HeightFactor[Count] = HeightFactor;
    OrigTop[Count] = control->y();
    OrigLeft[Count] = control->x();
    OrigHeight[Count] = control->height();
    OrigWidth[Count] = control->width();
    return true;
}

void TSizerData::Apply()
{
    if (!Form)
        return;
    const std::int32_t widthGrowth = Form->width() - FormWidth;
    const std::int32_t heightGrowth = Form->height() - FormHeight;
    for (int i = 1; i <= Count; ++i) {
        QWidget *control = Control[i];
        if (!control)
            continue;
        const std::int32_t top = place(OrigTop[i], heightGrowth, TopFactor[i]);
        const std::int32_t left = place(OrigLeft[i], widthGrowth, LeftFactor[i]);
        const std::int32_t height = place(OrigHeight[i], heightGrowth, HeightFactor[i]);
        const std::int32_t width = place(OrigWidth[i], widthGrowth, WidthFactor[i]);
        control->resize(width, height);
        control->move(left, top);
    }
}

// A window of its own, not a child control: a child would be shown with the
// main window and, though empty and transparent, take the clicks over its
// corner (the menu bar and the top of the first buttons). As a separate window
// it is shown only when asked, and nothing asks.
TSizerWindow::TSizerWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("SizerWindow"));
}
