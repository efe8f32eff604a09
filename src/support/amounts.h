#pragma once

#include <QString>

// Amounts travel as texts; these are the two rules every computation with them shares.
namespace Amounts {

// The decimal value of a text; anything that is not a finite number (empty, letters, "nan",
// "inf") counts as 0, so a bad amount can never turn a result into "nan".
double valueOf(const QString &text);

// Fixed notation with two decimals: 12.5 -> "12.50".
QString twoDecimals(double value);

}
