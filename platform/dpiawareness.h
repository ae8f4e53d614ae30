#ifndef DPIAWARENESS_H
#define DPIAWARENESS_H

// Asks the windowing system to treat the process as not DPI-aware, so the fixed-geometry form is
// scaled by the system rather than laid out at the screen's pixel density. X11 and Wayland have no
// per-process switch of this kind (Qt follows QT_SCALE_FACTOR and the screen's settings), so on
// Linux this does nothing and reports false.
namespace Platform {
bool setProcessDpiUnaware();
}

#endif // DPIAWARENESS_H
