#include "support/amounts.h"

#include <cmath>

namespace Amounts {

double valueOf(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2);
}

}
