#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "records/records.h"

class LogWriter;
class QDialog;
class QWidget;

// Shared helpers for the tests. Expected values in tests are literals; these only move data.
namespace TestSupport {

// tests/data/<relativePath>
QString fixturePath(const QString &relativePath);
QByteArray fixture(const QString &relativePath);
// Any file's bytes; empty when it cannot be read. writeFile replaces a file's content.
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);
// Today's daily log under a working directory ("" when there is none).
QString dailyLog(const QString &workDir);
// The four documents of a sample transaction (samples/<kind>): header, goods, pay, Udp2.
QStringList sampleDocuments(const QString &kind);

// A coupon as the server lists it: not ticked, face value amount, name "券<code>", rules
// "规则<code>"; an unusable one carries the reason "不满足门槛".
VipCouponDetail coupon(const QString &code, const QString &available = QStringLiteral("1"),
                       const QString &apportion = QStringLiteral("1"), const QString &amount = QStringLiteral("10"));

// Writes widget.grab() to $GRAB_DIR/<name>.png (default: the temp folder); true when written.
bool saveGrab(QWidget &widget, const QString &name);
// Object names of the visible labels under widget whose text does not fit their size.
QStringList labelsCutOff(const QWidget &widget);

// Runs action on the next pass of the event loop after delayMs, typically to answer a modal
// dialog that the code under test is about to open.
void later(int delayMs, std::function<void()> action);

}

// One call of the entry inside the test process, made the way a host makes it: the four UTF-8
// document files passed as GBK, eight 64 KiB output buffers that the host owns.
class HostCall
{
public:
    explicit HostCall(const QStringList &documents);
    int run(LogWriter &log);
    // Parameter 5 to 12 as the library wrote it, or "(untouched)".
    QString param(int number) const;

private:
    QByteArray m_in[4];
    QByteArray m_out[8];
};

// Works the modal dialogs that the code under test opens from inside its own loops. Each time
// a dialog becomes the modal window on top, act runs on it once (again once it is shown anew).
// After guardMs every dialog still open is rejected, so a test whose dialog never closes fails
// instead of hanging. A dialog that act itself opens is not seen by the same driver: Qt does
// not fire a timer inside its own handler, so a second driver answers those.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(QDialog &)> act = {}, int guardMs = 10000);
    ~ModalDriver() override;
    bool guardFired() const { return m_guardFired; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(QDialog &)> m_act;
    QTimer m_poll;
    QTimer m_guard;
    QList<QPointer<QDialog>> m_acted;
    bool m_guardFired = false;
};

// Every warning printed while it lives (Qt's own included).
class WarningCollector
{
public:
    WarningCollector();
    ~WarningCollector();
    QStringList warnings() const;
};
