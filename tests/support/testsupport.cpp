#include "support/testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTextCodec>

#include "entry/cardtrans.h"

namespace TestSupport {

QString fixturePath(const QString &relativePath) { return QStringLiteral(TEST_DATA_DIR "/") + relativePath; }
QByteArray fixture(const QString &relativePath) { return readFile(fixturePath(relativePath)); }
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
    const QString folder = QStringLiteral(SAMPLES_DIR "/") + kind + QLatin1Char('/');
    const QString pay = QFile::exists(folder + QStringLiteral("pay.xml")) ? QStringLiteral("pay.xml") : QStringLiteral("pay.json");
    return {folder + QStringLiteral("header.xml"), folder + QStringLiteral("goods.xml"), folder + pay,
            folder + QStringLiteral("udp2.json")};
}

QList<VipCouponDetail> coupons(const QString &specs)
{
    QList<VipCouponDetail> list;
    for (const QString &spec : specs.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = spec.split(QLatin1Char(':'));
        VipCouponDetail c;
        c.certiInfoId = QStringLiteral("id-") + parts.at(0);
        c.certiInfoCode = parts.at(0);
        c.certiInfoName = QStringLiteral("券") + parts.at(0);
        c.depict = QStringLiteral("规则") + parts.at(0);
        c.availableFlag = parts.value(1, QStringLiteral("1"));
        c.apportionType = parts.value(2, QStringLiteral("1"));
        c.certiMe = c.realCertiMe = QStringLiteral("10");
        c.certiMeType = c.checkFlag = QStringLiteral("0");
        c.enddate = QStringLiteral("2030-12-31");
        if (c.availableFlag == QLatin1String("0"))
            c.unAvailableRemark = QStringLiteral("不满足门槛");
        list << c;
    }
    return list;
}

QString labelText(const QWidget &parent, const QString &objectName) { return parent.findChild<QLabel *>(objectName)->text(); }

bool saveGrab(QWidget &widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("GRAB_DIR", QDir::tempPath());
    QDir().mkpath(dir);
    return widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QStringList labelsCutOff(const QWidget &widget)
{
    QStringList names;
    for (const QLabel *label : widget.findChildren<QLabel *>()) {
        const QSize hint = label->sizeHint();
        if (label->isVisible() && !label->text().isEmpty()
            && (label->wordWrap() ? label->heightForWidth(label->width()) > label->height()
                                  : hint.width() > label->width() || hint.height() > label->height()))
            names << label->objectName();
    }
    return names;
}

void later(int delayMs, std::function<void()> action) { QTimer::singleShot(delayMs, qApp, std::move(action)); }

}

static const char kUntouched[] = "\x01untouched\x01";

HostCall::HostCall(const QStringList &documents)
{
    for (int i = 0; i < 12; ++i)
        m_buffers[i] = i < 4 ? QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(TestSupport::readFile(documents.value(i))))
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
    return text == QByteArray(kUntouched) ? QStringLiteral("(untouched)") : QString::fromUtf8(text);
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

ModalDriver::~ModalDriver() { qApp->removeEventFilter(this); }

bool ModalDriver::eventFilter(QObject *watched, QEvent *event)
{
    // Shown anew, even with no poll in between: the same message box shows many texts in a row.
    if (event->type() == QEvent::Show)
        m_acted.removeAll(qobject_cast<QDialog *>(watched));
    return false;
}
