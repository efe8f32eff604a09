#pragma once

#include "platform/hostbridge.h"

// What the Linux layer adds to the Windows calls. Linux has no window styles, no disabled
// windows and no focus owner outside the toolkit that owns a window, so for those the layer
// keeps the state the Windows calls would have changed; these functions describe windows the
// layer cannot ask about and show the state it keeps.
namespace HostBridge {

// The last window BringWindowToTop was asked to raise (0 for none).
HWND topWindow();
// True when native windows are real and can be reparented (QWindow::fromWinId works).
bool supportsForeignWindows();
// Forgets every window's kept state, the focus, the active and the top window.
void resetWindowState();

}
