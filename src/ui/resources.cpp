#include "ui/resources.h"

#include <QtGlobal>
#include <QDir>

void ensureImageResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    Q_UNUSED(registered);
}
