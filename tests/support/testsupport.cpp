#include "support/testsupport.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
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
    QFile file(fixturePath(relativePath));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(relativePath));
    return file.readAll();
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

QString dailyLog(const QString &workDir)
{
    return QString::fromLocal8Bit(readFile(workDir + QStringLiteral("/LOG/PayLog")
                                           + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".txt")));
}

QStringList sampleDocuments(const QString &kind)
{
    const QString folder = QStringLiteral(SAMPLES_DIR "/") + kind + QLatin1Char('/');
    const QString pay = QFile::exists(folder + QStringLiteral("pay.xml")) ? QStringLiteral("pay.xml") : QStringLiteral("pay.json");
    return {folder + QStringLiteral("header.xml"), folder + QStringLiteral("goods.xml"), folder + pay,
            folder + QStringLiteral("udp2.json")};
}

VipCouponDetail coupon(const QString &code, const QString &available, const QString &apportion, const QString &amount)
{
    VipCouponDetail c;
    c.certiInfoId = QStringLiteral("id-") + code;
    c.certiInfoCode = code;
    c.certiInfoName = QStringLiteral("券") + code;
    c.certiMe = c.realCertiMe = amount;
    c.certiMeType = c.checkFlag = QStringLiteral("0");
    c.enddate = QStringLiteral("2030-12-31");
    c.depict = QStringLiteral("规则") + code;
    c.apportionType = apportion;
    c.availableFlag = available;
    if (available == QLatin1String("0"))
        c.unAvailableRemark = QStringLiteral("不满足门槛");
    return c;
}

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
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        const QSize hint = label->sizeHint();
        if (label->wordWrap() ? label->heightForWidth(label->width()) > label->height()
                              : hint.width() > label->width() || hint.height() > label->height())
            names << label->objectName();
    }
    return names;
}

void later(int delayMs, std::function<void()> action)
{
    QTimer::singleShot(delayMs, qApp, std::move(action));
}

}

namespace {
const char kUntouched[] = "\x01untouched\x01";
}

HostCall::HostCall(const QStringList &documents)
{
    for (int i = 0; i < 4 && i < documents.size(); ++i)
        m_in[i] = QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(TestSupport::readFile(documents.at(i))));
    for (QByteArray &buffer : m_out) {
        buffer = QByteArray(1 << 16, '\0');
        memcpy(buffer.data(), kUntouched, sizeof(kUntouched));
    }
}

int HostCall::run(LogWriter &log)
{
    Entry::HostParameters params{{m_in[0].data(), m_in[1].data(), m_in[2].data(), m_in[3].data(), m_out[0].data(),
                                  m_out[1].data(), m_out[2].data(), m_out[3].data(), m_out[4].data(), m_out[5].data(),
                                  m_out[6].data(), m_out[7].data()}};
    return Entry::cardTrans(log, params);
}

QString HostCall::param(int number) const
{
    const QByteArray text(m_out[number - 5].constData());
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
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
                dialog->reject();
        }
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

namespace {
QStringList s_warnings;
QtMessageHandler s_previousHandler = nullptr;
}

WarningCollector::WarningCollector()
{
    s_warnings.clear();
    s_previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtWarningMsg || type == QtCriticalMsg)
            s_warnings << message;
    });
}

WarningCollector::~WarningCollector()
{
    qInstallMessageHandler(s_previousHandler);
}

QStringList WarningCollector::warnings() const
{
    return s_warnings;
}
