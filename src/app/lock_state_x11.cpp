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

bool NamedIndicator(Display* display, Atom atom, bool& on) {
    if (atom == 0) return false;
    Bool state = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr)) return false;
    on = state != False;
    return true;
}

// The indicator names are looked up once per display: every refresh asks for the states.
struct IndicatorAtoms {
    Display* display = nullptr;
    Atom caps = 0, num = 0, scroll = 0;
};

const IndicatorAtoms& AtomsFor(Display* display) {
    static IndicatorAtoms atoms;
    if (atoms.display != display) {
        atoms.display = display;
        atoms.caps = XInternAtom(display, "Caps Lock", True);
        atoms.num = XInternAtom(display, "Num Lock", True);
        atoms.scroll = XInternAtom(display, "Scroll Lock", True);
    }
    return atoms;
}

}  // namespace

LockState QueryLockState() {
    LockState s;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return s;
    const IndicatorAtoms& atoms = AtomsFor(display);
    s.known = NamedIndicator(display, atoms.caps, s.caps);
    s.known = NamedIndicator(display, atoms.num, s.num) || s.known;
    s.known = NamedIndicator(display, atoms.scroll, s.scroll) || s.known;
    return s;
}

#else

LockState QueryLockState() { return LockState{}; }

#endif

}  // namespace sorv
