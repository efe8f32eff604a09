#pragma once

#include <Qt>

class QWidget;

// The frame every dialog of the library shares: a frameless, application-modal top-level
// window whose translucent background lets the form's half-transparent layer darken the
// host's screen around the content box.
namespace OverlayFrame {

// Plain dialogs; the overlays that must never take the focus from the dialog below them add
// Qt::Tool | Qt::BypassWindowManagerHint.
void setUp(QWidget &window, Qt::WindowFlags flags = Qt::FramelessWindowHint);

}
