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
//   pace MS            pause between the following steps (instead of 400 ms)
//   await coupons      hold until a coupon dialog that the script has not worked yet is on top
//                      with its coupons listed; the following steps work that dialog
//   await dialog       hold until the dialog being worked is on top again (no overlay or prompt
//                      over it, e.g. after a tick made the server re-price the list)
//   repeat             start again from the first step (one pass per call of a long run)
struct RobotStep
{
    enum class Kind { Wait, Key, Tap, TapCell, Grab, Say, Pace, AwaitCoupons, AwaitDialog, Repeat };
    Kind kind = Kind::Wait;
    int number = 0; // wait, pace: milliseconds; key: Qt key code; tapcell: row
    int column = 0; // tapcell
    QString text; // tap: object name; grab: file name; say: text
};

struct RobotScript
{
    QList<RobotStep> steps;
    QString error; // first line that could not be read
};

RobotScript parseRobotScript(const QString &text);
