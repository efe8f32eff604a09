#pragma once

#include <functional>

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include "records/records.h"

class LogWriter;
class QDialog;

namespace TestSupport {
inline QByteArray readFile(const QString &path)
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
inline QStringList sampleDocuments(const QString &kind)
{
    const QString d = SAMPLES_DIR "/" + kind + '/';
    return {d + "header.xml", d + "goods.xml", d + (QFile::exists(d + "pay.xml") ? "pay.xml" : "pay.json"),
            d + "udp2.json"};
}
inline QString labelText(const QWidget &parent, const QString &objectName)
{
    return parent.findChild<QLabel *>(objectName)->text();
}
inline QString logEntry(const QString &function, const QString &text)
{
    return "位置：" + function + "\n内容：" + text + '\n';
}
inline void later(int delayMs, std::function<void()> action)
{
    QTimer::singleShot(delayMs, std::move(action));
}
}

// As a host calls the entry: documents as GBK, eight 64 KiB buffers.
class HostCall
{
public:
    explicit HostCall(const QStringList &documents);
    int run(LogWriter &log);
    QString param(int number) const
    {
        const QByteArray text(m_buffers[number - 1].constData());
        return text == "\1" ? "(untouched)" : QString::fromUtf8(text);
    }

private:
    QByteArray m_buffers[12];
};

// act runs once per dialog that becomes the top modal one; after guardMs all are rejected. A dialog act opens needs
// a second driver: Qt fires no timer inside its own handler.
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
    QList<QPointer<QDialog>> m_acted;
    bool m_guardFired = false;
};
