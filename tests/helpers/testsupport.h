#pragma once

#include <functional>

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "records/records.h"

class LogWriter;
class QDialog;
class QWidget;

// Shared helpers for the tests: they move data, expectations stay literals in the tests.
namespace TestSupport {

QString fixturePath(const QString &relativePath); // tests/data/<relativePath>
QByteArray fixture(const QString &relativePath); // its bytes; empty, as any file, when unreadable
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);
// The four documents of a sample transaction (samples/<kind>): header, goods, pay, Udp2.
QStringList sampleDocuments(const QString &kind);

QString labelText(const QWidget &parent, const QString &objectName);
// An entry of the daily log as LogWriter writes it, for QString::contains().
QString logEntry(const QString &function, const QString &text);

// Runs action on the event loop after delayMs, e.g. to answer a dialog the code under test opens.
void later(int delayMs, std::function<void()> action);

}

// One call of the entry in this process as a host makes it: UTF-8 documents passed as GBK, eight 64 KiB buffers.
class HostCall
{
public:
    explicit HostCall(const QStringList &documents);
    int run(LogWriter &log);
    // Parameter 5 to 12 as the library wrote it, or "(untouched)".
    QString param(int number) const;

private:
    QByteArray m_buffers[12]; // the four documents, then the eight output buffers
};

// act runs once on each dialog that becomes the top modal window (again when shown anew); after
// guardMs every open dialog is rejected, so a test fails instead of hanging. A dialog that act
// opens needs a second driver: Qt does not fire a timer inside its own handler.
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
