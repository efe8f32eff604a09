#include "ui/overlayframe.h"

#include <QWidget>

namespace OverlayFrame {

void setUp(QWidget &window, Qt::WindowFlags flags)
{
    window.setWindowFlags(flags);
    window.setWindowModality(Qt::ApplicationModal);
    window.setWindowOpacity(1.0);
    window.setAttribute(Qt::WA_TranslucentBackground);
}

}
