// Lock key states from the X server's keyboard extension. Other platforms (and the offscreen
// platform of the tests) report nothing, and the panes stay blank.
#include <QGuiApplication>

#include "app/lock_indicators.h"

#if defined(SORVANTEL_HAVE_X11)
#include <QtGui/qguiapplication_platform.h>
// Xlib's macros (None, Bool, Status ...) clash with Qt names: include it after Qt.
#include <X11/XKBlib.h>
#endif

namespace sorv {

#if defined(SORVANTEL_HAVE_X11)

namespace {

bool NamedIndicator(Display* display, const char* name, bool& on) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == 0) return false;
    Bool state = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr)) return false;
    on = state != False;
    return true;
}

}  // namespace

LockState QueryLockState() {
    LockState s;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return s;
    s.known = NamedIndicator(display, "Caps Lock", s.caps);
    s.known = NamedIndicator(display, "Num Lock", s.num) || s.known;
    s.known = NamedIndicator(display, "Scroll Lock", s.scroll) || s.known;
    return s;
}

#else

LockState QueryLockState() { return LockState{}; }

#endif

}  // namespace sorv
