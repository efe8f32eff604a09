#include "robotscript.h"

#include <QKeySequence>

namespace {

int keyCode(const QString &name)
{
    const QKeySequence sequence = QKeySequence::fromString(name, QKeySequence::PortableText);
    if (sequence.count() != 1)
        return 0;
    return sequence[0] & ~int(Qt::KeyboardModifierMask);
}

}

RobotScript parseRobotScript(const QString &text)
{
    RobotScript script;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
        RobotStep step;
        bool ok = true;
        if (command == QLatin1String("wait")) {
            step.kind = RobotStep::Kind::Wait;
            step.number = rest.toInt(&ok);
        } else if (command == QLatin1String("key")) {
            step.kind = RobotStep::Kind::Key;
            step.number = keyCode(rest);
            ok = step.number != 0;
        } else if (command == QLatin1String("tap")) {
            step.kind = RobotStep::Kind::Tap;
            step.text = rest;
            ok = !rest.isEmpty();
        } else if (command == QLatin1String("tapcell")) {
            step.kind = RobotStep::Kind::TapCell;
            bool columnOk = false;
            step.number = rest.section(QLatin1Char(' '), 0, 0).toInt(&ok);
            step.column = rest.section(QLatin1Char(' '), 1, 1).toInt(&columnOk);
            ok = ok && columnOk;
        } else if (command == QLatin1String("grab")) {
            step.kind = RobotStep::Kind::Grab;
            step.text = rest;
            ok = !rest.isEmpty();
        } else if (command == QLatin1String("pace")) {
            step.kind = RobotStep::Kind::Pace;
            step.number = rest.toInt(&ok);
            ok = ok && step.number > 0;
        } else if (command == QLatin1String("await")) {
            ok = rest == QLatin1String("coupons") || rest == QLatin1String("dialog");
            step.kind = rest == QLatin1String("coupons") ? RobotStep::Kind::AwaitCoupons : RobotStep::Kind::AwaitDialog;
        } else if (command == QLatin1String("repeat")) {
            step.kind = RobotStep::Kind::Repeat;
            ok = rest.isEmpty();
        } else if (command == QLatin1String("say")) {
            step.kind = RobotStep::Kind::Say;
            step.text = rest;
        } else {
            ok = false;
        }
        if (!ok) {
            script.error = QStringLiteral("line %1: %2").arg(i + 1).arg(lines.at(i));
            return script;
        }
        script.steps.append(step);
    }
    return script;
}
