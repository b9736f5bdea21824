// The proportional layout of the main window: a fixed list of controls that
// move and stretch by fixed fractions of the window's growth beyond the size
// it was designed at.
#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>

// Holds the design size of a window and, for each registered control, its
// design geometry and four factors. Apply places every control at its design
// geometry plus factor times growth, always starting again from the design
// values, so repeated resizing never accumulates rounding.
//
// Sizes are those of the window without its frame, QWidget::width() and
// height(), in Init and in Apply alike; only their difference matters.
// Positions and sizes of the controls are those within their parents.
class TSizerData
{
public:
    static constexpr int Capacity = 100;

    // Remembers window and its current size as the design size, and forgets
    // every registration.
    void Init(QWidget *window);

    // Registers control as the next entry with its current geometry and the
    // factors applied to the width growth (left, width) and the height growth
    // (top, height). Refused, with nothing changed, when Capacity controls are
    // registered already or control is null; returns whether it was taken.
    bool AddControl(QWidget *control, double LeftFactor, double TopFactor, double WidthFactor,
        double HeightFactor);

    // Re-places every registered control for the window's current size:
    // width and height first, then left and top. A control or window that no
    // longer exists is left out.
    void Apply();

    // Growth times factor, formed in extended precision and truncated toward
    // zero: 100 times the double nearest 0.6, which lies just below 0.6, is 59.
    static std::int32_t Scaled(std::int32_t growth, double factor);

    std::int32_t Count = 0;
    std::int32_t FormHeight = 0;
    std::int32_t FormWidth = 0;
    QPointer<QWidget> Form;

    // Entries 1 to Count in registration order; entry 0 is never used.
    std::array<QPointer<QWidget>, Capacity + 1> Control {};
    std::array<double, Capacity + 1> LeftFactor {};
    std::array<double, Capacity + 1> TopFactor {};
    std::array<double, Capacity + 1> WidthFactor {};
    std::array<double, Capacity + 1> HeightFactor {};
    std::array<std::int32_t, Capacity + 1> OrigTop {};
    std::array<std::int32_t, Capacity + 1> OrigLeft {};
    std::array<std::int32_t, Capacity + 1> OrigHeight {};
    std::array<std::int32_t, Capacity + 1> OrigWidth {};
};

// An empty window without controls or reactions; created at start-up and
// never shown. It is a window of its own even when given a parent, so showing
// the parent does not show it.
class TSizerWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TSizerWindow(QWidget *parent = nullptr);
};
