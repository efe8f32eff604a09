#include "helpers/testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QTextCodec>

#include "entry/cardtrans.h"

HostCall::HostCall(const QStringList &documents)
{
    for (int i = 0; i < 12; ++i)
        m_buffers[i] = i < 4
            ? QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(TestSupport::readFile(documents.value(i))))
            : QByteArray("\1").leftJustified(1 << 16, '\0');
}

int HostCall::run(LogWriter &log)
{
    Entry::HostParameters params;
    for (int i = 0; i < 12; ++i)
        params.p[i] = m_buffers[i].data();
    return Entry::cardTrans(log, params);
}

ModalDriver::ModalDriver(std::function<void(QDialog &)> act, int guardMs)
    : m_act(std::move(act))
{
    connect(&m_poll, &QTimer::timeout, this, [this] {
        m_acted.removeAll(nullptr);
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog && !m_acted.contains(dialog) && (m_acted << dialog, m_act))
            m_act(*dialog);
    });
    QTimer::singleShot(guardMs, this, [this] {
        m_guardFired = true;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
                dialog->reject();
    });
    m_poll.start(10);
    qApp->installEventFilter(this);
}

ModalDriver::~ModalDriver()
{
    qApp->removeEventFilter(this);
}

// A message box shown anew counts again, even with no poll in between.
bool ModalDriver::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        m_acted.removeAll(qobject_cast<QDialog *>(watched));
    return false;
}
