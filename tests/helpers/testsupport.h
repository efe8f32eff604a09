#pragma once

#include <functional>

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include "records/records.h"

class LogWriter;
class QDialog;

// They move data: expectations stay literals in the tests.
namespace TestSupport {
inline QByteArray readFile(const QString &path) // empty when unreadable
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
inline QString fixturePath(const QString &relativePath)
{
    return TEST_DATA_DIR "/" + relativePath;
}
inline QByteArray fixture(const QString &relativePath)
{
    return readFile(fixturePath(relativePath));
}
// samples/<kind>: header, goods, pay, Udp2
inline QStringList sampleDocuments(const QString &kind)
{
    const QString folder = SAMPLES_DIR "/" + kind + '/';
    return {folder + "header.xml", folder + "goods.xml",
            folder + (QFile::exists(folder + "pay.xml") ? "pay.xml" : "pay.json"), folder + "udp2.json"};
}
inline QString labelText(const QWidget &parent, const QString &objectName)
{
    return parent.findChild<QLabel *>(objectName)->text();
}
inline QString logEntry(const QString &function, const QString &text) // as LogWriter writes it
{
    return "位置：" + function + "\n内容：" + text + '\n';
}
inline void later(int delayMs, std::function<void()> action) // on the event loop
{
    QTimer::singleShot(delayMs, std::move(action));
}
}

// One call of the entry in this process as a host makes it: UTF-8 documents passed as GBK, eight 64 KiB buffers.
class HostCall
{
public:
    explicit HostCall(const QStringList &documents);
    int run(LogWriter &log);
    QString param(int number) const // 5 to 12 as written, or "(untouched)"
    {
        const QByteArray text(m_buffers[number - 1].constData());
        return text == "\1untouched\1" ? "(untouched)" : QString::fromUtf8(text);
    }

private:
    QByteArray m_buffers[12];
};

// act runs once on each dialog that becomes the top modal window (again when shown anew); after guardMs every open
// dialog is rejected. A dialog that act opens needs a second driver: Qt fires no timer inside its own handler.
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
    QTimer m_poll, m_guard;
    QList<QPointer<QDialog>> m_acted;
    bool m_guardFired = false;
};
