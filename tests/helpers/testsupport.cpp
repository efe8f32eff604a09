#include "helpers/testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QTextCodec>

#include "entry/cardtrans.h"

namespace TestSupport {

QString fixturePath(const QString &relativePath)
{
    return QStringLiteral(TEST_DATA_DIR "/") + relativePath;
}
QByteArray fixture(const QString &relativePath)
{
    return readFile(fixturePath(relativePath));
}
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QStringList sampleDocuments(const QString &kind)
{
    const QString folder = QStringLiteral(SAMPLES_DIR "/") + kind + '/';
    const QString pay = QFile::exists(folder + "pay.xml") ? "pay.xml" : "pay.json";
    return {folder + "header.xml", folder + "goods.xml", folder + pay, folder + "udp2.json"};
}

QString labelText(const QWidget &parent, const QString &objectName)
{
    return parent.findChild<QLabel *>(objectName)->text();
}

QString logEntry(const QString &function, const QString &text)
{
    return "位置：" + function + "\n内容：" + text + '\n';
}

void later(int delayMs, std::function<void()> action)
{
    QTimer::singleShot(delayMs, qApp, std::move(action));
}

}

static const char kUntouched[] = "\x01untouched\x01";

HostCall::HostCall(const QStringList &documents)
{
    for (int i = 0; i < 12; ++i)
        m_buffers[i] = i < 4
            ? QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(TestSupport::readFile(documents.value(i))))
            : QByteArray(kUntouched, sizeof(kUntouched)).leftJustified(1 << 16, '\0');
}

int HostCall::run(LogWriter &log)
{
    Entry::HostParameters params;
    for (int i = 0; i < 12; ++i)
        params.p[i] = m_buffers[i].data();
    return Entry::cardTrans(log, params);
}

QString HostCall::param(int number) const
{
    const QByteArray text(m_buffers[number - 1].constData());
    return text == QByteArray(kUntouched) ? "(untouched)" : QString::fromUtf8(text);
}

ModalDriver::ModalDriver(std::function<void(QDialog &)> act, int guardMs)
    : m_act(std::move(act))
{
    connect(&m_poll, &QTimer::timeout, this, [this] {
        m_acted.removeAll(nullptr);
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || m_acted.contains(dialog))
            return;
        m_acted << dialog;
        if (m_act)
            m_act(*dialog);
    });
    connect(&m_guard, &QTimer::timeout, this, [this] {
        m_guardFired = true;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
                dialog->reject();
    });
    m_poll.start(10);
    m_guard.setSingleShot(true);
    m_guard.start(guardMs);
    qApp->installEventFilter(this);
}

ModalDriver::~ModalDriver()
{
    qApp->removeEventFilter(this);
}

bool ModalDriver::eventFilter(QObject *watched, QEvent *event)
{
    // Shown anew, even with no poll in between: the same message box shows many texts in a row.
    if (event->type() == QEvent::Show)
        m_acted.removeAll(qobject_cast<QDialog *>(watched));
    return false;
}
