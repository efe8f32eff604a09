#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One step of a cashier script. A script is plain text, one step a line, '#' starts a comment:
//   wait MS            pause before the next step (default pause between steps: 400 ms)
//   key NAME           press a key on the window on top (Qt key names: Return, Down, F1, 0 ...)
//   tap OBJECT         tap the visible button with that object name
//   tapcell ROW COL    tap a cell of the visible table "tableView"
//   grab NAME          save the window on top as NAME.png into $GRAB_DIR (default: working dir)
//   say TEXT           print TEXT on standard output
struct RobotStep
{
    enum class Kind { Wait, Key, Tap, TapCell, Grab, Say };
    Kind kind = Kind::Wait;
    int number = 0;      // wait: milliseconds; key: Qt key code; tapcell: row
    int column = 0;      // tapcell
    QString text;        // tap: object name; grab: file name; say: text
};

struct RobotScript
{
    QList<RobotStep> steps;
    QString error;       // first line that could not be read
};

RobotScript parseRobotScript(const QString &text);
