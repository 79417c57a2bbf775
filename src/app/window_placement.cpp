#include "app/window_placement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <algorithm>

#include "display/sorvantel_view.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

// Room left for the window manager's frame around the client area: its title bar and borders
// are not part of the window's own geometry.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

QRect AvailableFor(const QPoint& at) {
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return QRect(0, 0, 1 << 14, 1 << 14);
    // The window is placed by its frame's corner, and sized by its client area.
    return screen->availableGeometry().adjusted(0, 0, -kFrameWidth, -kFrameHeight);
}

}  // namespace

QRect FitInside(const QRect& wanted, const QRect& available) {
    if (available.isEmpty()) return wanted;
    QRect r(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    r.moveLeft(std::clamp(r.left(), available.left(), available.right() + 1 - r.width()));
    r.moveTop(std::clamp(r.top(), available.top(), available.bottom() + 1 - r.height()));
    return r;
}

void PlaceMainWindow(QMainWindow& window, QWidget& view, const CSorvantelDoc& doc) {
    if (doc.m_bWindowStored) {
        const QRect stored(doc.m_nWindowLeft, doc.m_nWindowTop, doc.m_nWindowWidth, doc.m_nWindowHeight);
        // A screen that is gone since (the place lies on none now) gets the window on the
        // primary screen.
        const QRect fitted = FitInside(stored, AvailableFor(stored.center()));
        window.resize(fitted.size());
        window.move(fitted.topLeft());
        if (doc.m_bWindowMaximized) window.setWindowState(window.windowState() | Qt::WindowMaximized);
        return;
    }
    // The menu bar, toolbar and status bar take what they take: measure them at some size,
    // then give the window just enough more to leave the view its default size.
    window.resize(CSorvantelView::DefaultSize() + QSize(0, 100));
    window.ensurePolished();
    if (QLayout* layout = window.layout()) layout->activate();
    const QSize bars = window.size() - view.size();
    const QRect available = AvailableFor(QPoint(0, 0));
    QRect wanted(QPoint(0, 0), CSorvantelView::DefaultSize() + bars);
    wanted.moveCenter(available.center());
    const QRect fitted = FitInside(wanted, available);
    window.resize(fitted.size());
    window.move(fitted.topLeft());
}

void RememberMainWindow(const QMainWindow& window, CSorvantelDoc& doc) {
    const bool maximized = window.isMaximized() || window.isFullScreen();
    const QRect normal = maximized ? window.normalGeometry() : QRect(window.pos(), window.size());
    if (normal.width() <= 0 || normal.height() <= 0) return;
    doc.m_nWindowLeft = normal.left();
    doc.m_nWindowTop = normal.top();
    doc.m_nWindowWidth = normal.width();
    doc.m_nWindowHeight = normal.height();
    doc.m_bWindowMaximized = maximized ? 1 : 0;
    doc.m_bWindowStored = 1;
}

}  // namespace sorv
