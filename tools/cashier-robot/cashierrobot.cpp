// Works the library's real dialogs from inside the host process: every step runs from a timer
// on the host's thread, so it is delivered by whatever loop runs at that moment (a modal
// dialog's, the wait loop of a server call, or the host's own).
#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "robotscript.h"

namespace {

constexpr int kPauseMs = 400;
constexpr int kPollMs = 50;

QWidget *topWindow()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    // Offscreen there may be no active window: take the last visible full-size top-level.
    QWidget *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !w->windowFlags().testFlag(Qt::Tool))
            found = w;
    }
    return found;
}

template<typename T>
T *findVisible(const QString &objectName)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        const QList<T *> candidates = top->findChildren<T *>(objectName);
        for (T *candidate : candidates) {
            if (candidate->isVisible())
                return candidate;
        }
    }
    return nullptr;
}

// The coupon table of the dialog the cashier can work right now: its window is the topmost modal
// one (no overlay or prompt above it) and it lists coupons.
QTableView *couponTableOnTop()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return nullptr;
    auto *table = modal->findChild<QTableView *>(QStringLiteral("tableView"));
    if (!table || !table->isVisible() || !table->model() || table->model()->rowCount() == 0)
        return nullptr;
    return table;
}

// Input goes in through the window system, as a person's would: a window that a modal dialog
// or the wait overlay blocks does not get it.
void windowClick(QWidget *target, const QPoint &pos)
{
    QWidget *top = target->window();
    if (QWindow *window = top->windowHandle())
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, target->mapTo(top, pos));
}

void windowKey(QWidget *top, int key)
{
    if (QWindow *window = top->windowHandle())
        QTest::keyClick(window, Qt::Key(key));
}

void say(const QString &text)
{
    std::printf("cashier: %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

class CashierRobot : public QObject
{
public:
    CashierRobot(const RobotScript &script, QObject *parent)
        : QObject(parent)
        , m_steps(script.steps)
    {
        QTimer::singleShot(kPauseMs, this, [this] { next(); });
    }

private:
    void next()
    {
        if (m_at >= m_steps.size())
            return;
        const RobotStep step = m_steps.at(m_at);
        if (!isReady(step)) {
            QTimer::singleShot(kPollMs, this, [this] { next(); });
            return;
        }
        ++m_at;
        if (step.kind == RobotStep::Kind::Pace)
            m_pauseMs = step.number;
        else if (step.kind == RobotStep::Kind::Repeat)
            m_at = 0;
        // The next step is scheduled before this one acts: an action may open a modal dialog
        // whose loop must still deliver the steps that answer it.
        const int pause = step.kind == RobotStep::Kind::Wait ? step.number : m_pauseMs;
        QTimer::singleShot(pause, this, [this] { next(); });
        act(step);
    }

    bool isReady(const RobotStep &step)
    {
        switch (step.kind) {
        case RobotStep::Kind::AwaitCoupons: {
            // A dialog already worked may still be on top while its payment runs: wait for the
            // next one, so that one pass of the script works one call.
            QTableView *table = couponTableOnTop();
            if (!table || table == m_worked.data())
                return false;
            m_worked = table;
            return true;
        }
        case RobotStep::Kind::AwaitDialog:
            return m_worked && QApplication::activeModalWidget() == m_worked->window();
        default:
            return true;
        }
    }

    void act(const RobotStep &step)
    {
        switch (step.kind) {
        case RobotStep::Kind::Wait:
            break;
        case RobotStep::Kind::Key: {
            QWidget *target = topWindow();
            if (!target) {
                say(QStringLiteral("no window for a key"));
                break;
            }
            windowKey(target, step.number);
            break;
        }
        case RobotStep::Kind::Tap: {
            QAbstractButton *button = findVisible<QAbstractButton>(step.text);
            if (!button) {
                say(QStringLiteral("no visible button ") + step.text);
                break;
            }
            windowClick(button, button->rect().center());
            break;
        }
        case RobotStep::Kind::TapCell: {
            QTableView *table = findVisible<QTableView>(QStringLiteral("tableView"));
            if (!table || !table->model()) {
                say(QStringLiteral("no visible coupon table"));
                break;
            }
            const QModelIndex index = table->model()->index(step.number, step.column);
            table->scrollTo(index);
            windowClick(table->viewport(), table->visualRect(index).center());
            break;
        }
        case RobotStep::Kind::Grab: {
            QWidget *target = topWindow();
            const QString dir = qEnvironmentVariable("GRAB_DIR", QDir::currentPath());
            QDir().mkpath(dir);
            const QString file = dir + QLatin1Char('/') + step.text + QStringLiteral(".png");
            if (target && target->grab().save(file))
                say(QStringLiteral("screenshot ") + file);
            else
                say(QStringLiteral("could not save ") + file);
            break;
        }
        case RobotStep::Kind::Say:
            say(step.text);
            break;
        case RobotStep::Kind::Pace:
        case RobotStep::Kind::AwaitCoupons:
        case RobotStep::Kind::AwaitDialog:
        case RobotStep::Kind::Repeat:
            break;
        }
    }

    QList<RobotStep> m_steps;
    int m_at = 0;
    int m_pauseMs = kPauseMs;
    QPointer<QTableView> m_worked; // the coupon table that the script works at present
};

}

// Called by the host once the payment library is loaded (its Qt application object exists).
extern "C" __attribute__((visibility("default"))) int cashier_robot_start(const char *scriptPath)
{
    if (!QApplication::instance()) {
        say(QStringLiteral("no Qt application in this process"));
        return 0;
    }
    QFile file(QString::fromLocal8Bit(scriptPath));
    if (!file.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("cannot read ") + file.fileName());
        return 0;
    }
    const RobotScript script = parseRobotScript(QString::fromUtf8(file.readAll()));
    if (!script.error.isEmpty()) {
        say(QStringLiteral("script error: ") + script.error);
        return 0;
    }
    new CashierRobot(script, QApplication::instance()); // goes with the application
    return 1;
}
