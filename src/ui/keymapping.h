#pragma once

#include <QString>

// POS keyboard: Qt key -> host scan code, and host function number -> dialog action, for the
// two host editions. The database lookup between the two belongs to the controller.
namespace Keys {

enum class Edition { Gen5, Gen6, Other };
// Exact, case-sensitive: "GEN5" or "GEN6"; anything else is Other.
Edition editionOf(const QString &sysType);

// Gen5 (and Other, which the controller looks up the Gen5 way): every key has a scan code,
// 0 for keys outside the table; always true. Gen6: false for keys without a scan code.
bool scanCode(Edition edition, int qtKey, int &scan);

enum class Action { None, PreviousRow, NextRow, Toggle, Exit, Pay };
// funcValue is the host's "FuncValue" text read as a decimal integer (non-numbers count as 0).
Action actionFor(Edition edition, const QString &funcValue);

}
