// Small helpers the pages share: the place of a control laid out in dialog
// units, and the busy cursor while a page blocks the window.
#pragma once

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QWidget>

// A window laid out in dialog units: the pixels of one horizontal and one
// vertical unit.
struct DialogUnits {
    double x;
    double y;
};

// The pages were laid out in dialog units of their font ("MS Shell Dlg",
// 8 pt, at 96 dpi): one horizontal unit is 1.5 pixels, one vertical unit
// 1.625 pixels.
inline constexpr DialogUnits kPageDialogUnits{1.5, 1.625};

// The one conversion: a control that keeps its laid-out rectangle takes it
// here, each side rounded to the nearest pixel.
inline QRect TemplateRect(int x, int y, int w, int h, DialogUnits units = kPageDialogUnits)
{
    const auto px = [](double v) { return int(v + 0.5); };
    return QRect(px(x * units.x), px(y * units.y), px(w * units.x), px(h * units.y));
}

// A window's face: its bitmap stretched smoothly over the whole client
// area, or the plain window colour while the bitmap is missing.
inline void PaintBackground(QWidget* window, const QImage& background)
{
    QPainter painter(window);
    if (background.isNull()) {
        painter.fillRect(window->rect(), window->palette().color(QPalette::Window));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(window->rect(), background);
}

// While a query or an export runs inside a handler the window takes no
// input; the mouse says so. Dialogs opened meanwhile put the arrow back
// for themselves (ArrowWhileAsking).
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Inside a BusyCursor: a modal box or dialog that waits for the user shows
// the ordinary arrow while it is open.
class ArrowWhileAsking {
public:
    ArrowWhileAsking() : m_pushed(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_pushed) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileAsking()
    {
        if (m_pushed) QGuiApplication::restoreOverrideCursor();
    }
    ArrowWhileAsking(const ArrowWhileAsking&) = delete;
    ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

private:
    bool m_pushed;
};
