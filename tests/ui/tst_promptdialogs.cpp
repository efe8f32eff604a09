#include <functional>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/appsettings.h"
#include "ui/coupmsgwidget.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/waitwidget.h"

namespace {

constexpr int kLeftOpen = 42;     // the test closed a dialog that the key left open
constexpr int kFree = -1;         // a margin or spacing the form leaves to the style

std::unique_ptr<QWidget> makeWindow(const QString &kind)
{
    if (kind == QLatin1String("message"))
        return std::make_unique<MessageWidget>();
    if (kind == QLatin1String("question"))
        return std::make_unique<QuestionMessage>();
    if (kind == QLatin1String("wait"))
        return std::make_unique<WaitWidget>();
    if (kind == QLatin1String("coupmsg"))
        return std::make_unique<CoupMsgWidget>();
    qFatal("unknown window kind %s", qPrintable(kind));
    return nullptr;
}

struct ModalOutcome
{
    bool reachedModal = false;
    bool wasFullScreen = false;
    bool leftOpen = false;
    bool guardFired = false;
};

// Answers a modal loop that is about to start: `act` runs once the dialog is the modal window
// on top. A dialog the action leaves open is ended with kLeftOpen; a guard rejects it after a
// few seconds, so a broken key handler fails the test instead of hanging it.
class ModalDriver
{
public:
    ModalDriver(QDialog &dialog, std::function<void(QDialog &)> act)
    {
        m_act.setSingleShot(true);
        m_act.setInterval(0);
        QObject::connect(&m_act, &QTimer::timeout, &dialog, [this, &dialog, act] {
            if (QApplication::activeModalWidget() != &dialog)
                return;
            m_outcome.reachedModal = true;
            m_outcome.wasFullScreen = dialog.isFullScreen();
            act(dialog);
            if (dialog.isVisible()) {
                m_outcome.leftOpen = true;
                dialog.done(kLeftOpen);
            }
        });
        m_guard.setSingleShot(true);
        m_guard.setInterval(5000);
        QObject::connect(&m_guard, &QTimer::timeout, &dialog, [this, &dialog] {
            m_outcome.guardFired = true;
            dialog.reject();
        });
        m_act.start();
        m_guard.start();
    }

    const ModalOutcome &outcome() const { return m_outcome; }

private:
    QTimer m_act;
    QTimer m_guard;
    ModalOutcome m_outcome;
};

std::function<void(QDialog &)> pressKey(int key)
{
    return [key](QDialog &dialog) { QTest::keyClick(&dialog, Qt::Key(key)); };
}

std::function<void(QDialog &)> tapButton(const QString &name)
{
    return [name](QDialog &dialog) {
        if (auto *button = dialog.findChild<QPushButton *>(name))
            QTest::mouseClick(button, Qt::LeftButton);
    };
}

QStringList s_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        s_warnings.append(message);
}

} // namespace

class tst_PromptDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void windowSetup_data();
    void windowSetup();
    void formStyles_data();
    void formStyles();
    void formSizes_data();
    void formSizes();
    void formTexts_data();
    void formTexts();
    void formLayouts_data();
    void formLayouts();
    void buttonsNeverTakeFocus_data();
    void buttonsNeverTakeFocus();
    void foreignTextIsPlain_data();
    void foreignTextIsPlain();
    void noAutoConnectWarnings();

    void messageKeys_data();
    void messageKeys();
    void questionKeys_data();
    void questionKeys();
    void buttonTaps_data();
    void buttonTaps();
    void keysAreSwallowed_data();
    void keysAreSwallowed();

    void uiTypeSetsCaption_data();
    void uiTypeSetsCaption();
    void showMessageLogs_data();
    void showMessageLogs();

    void waitOverlayShowsAndCloses();
    void couponInfoCaption_data();
    void couponInfoCaption();
    void couponInfoCloses_data();
    void couponInfoCloses();

private:
    QTemporaryDir m_appDir;
    QTemporaryDir m_workDir;
    QString m_originalDir;
};

void tst_PromptDialogs::initTestCase()
{
    QVERIFY(m_appDir.isValid());
    QVERIFY(m_workDir.isValid());
    AppSettings::overrideApplicationDir(m_appDir.path());
    // ShowMessage logs into LOG under the working directory; keep it out of the build tree.
    m_originalDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workDir.path()));
}

void tst_PromptDialogs::cleanup()
{
    AppSettings::overrideApplicationDir(m_appDir.path());
    QVERIFY(QDir::setCurrent(m_workDir.path()));
}

void tst_PromptDialogs::cleanupTestCase()
{
    AppSettings::overrideApplicationDir(QString());
    QDir::setCurrent(m_originalDir);
}

void tst_PromptDialogs::windowSetup_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isDialog");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("hints");
    QTest::addColumn<QString>("title");
    QTest::newRow("message")  << "message"  << true  << int(Qt::Window) << int(Qt::FramelessWindowHint) << "Dialog";
    QTest::newRow("question") << "question" << true  << int(Qt::Window) << int(Qt::FramelessWindowHint) << "Dialog";
    QTest::newRow("wait")     << "wait"     << false << int(Qt::Tool)
                              << int(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint) << "Widget";
    QTest::newRow("coupmsg")  << "coupmsg"  << true  << int(Qt::Tool)
                              << int(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint) << "Dialog";
}

void tst_PromptDialogs::windowSetup()
{
    QFETCH(QString, kind);
    QFETCH(bool, isDialog);
    QFETCH(int, type);
    QFETCH(int, hints);
    QFETCH(QString, title);

    const auto window = makeWindow(kind);
    QCOMPARE(qobject_cast<QDialog *>(window.get()) != nullptr, isDialog);
    QVERIFY(window->isWindow());
    QVERIFY(!window->parentWidget());
    QCOMPARE(int(window->windowType()), type);
    QCOMPARE(int(window->windowFlags() & ~Qt::WindowType_Mask), hints);
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QCOMPARE(window->windowOpacity(), 1.0);
    QVERIFY(window->testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(window->windowTitle(), title);
    QVERIFY(!window->isVisible());
}

void tst_PromptDialogs::formStyles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("styleSheet");
    QTest::newRow("message dimming") << "message" << "Qwidgetblackground" << "background-color: rgba(0, 0, 0, 150);";
    QTest::newRow("message body")    << "message" << "QMessageBody" << "background-color:#ffffff;";
    QTest::newRow("message icon")    << "message" << "Qlbl_message_img" << "image: url(:/Images/qss/Images/message.png);";
    QTest::newRow("message text")    << "message" << "Qlbltishi" << "color:#0099cc;\nfont:14px;";
    QTest::newRow("message button")  << "message" << "QbtnOK"
                                     << "background-color:  #0099cc;\ncolor:#ffffff;\nborder-style:none;\nfont:20px;";
    QTest::newRow("question layer")  << "question" << "widgetblackground" << "";
    QTest::newRow("question box")    << "question" << "horizontalWidget" << "background-color:#ffffff;";
    QTest::newRow("question body")   << "question" << "MessageBody" << "";
    QTest::newRow("question cancel") << "question" << "btncancel"
                                     << "background-color:  #fffff0;\nborder-style:none;\nfont:20px";
    QTest::newRow("question ok")     << "question" << "btnok"
                                     << "background-color:  #0099cc;\ncolor:#ffffff;\nborder-style:none;\nfont:20px;";
    QTest::newRow("wait dimming")    << "wait" << "Qwidgetblackground" << "background-color: rgba(0, 0, 0, 150);";
    QTest::newRow("wait body")       << "wait" << "QMessageBody" << "background-color:#ffffff;";
    QTest::newRow("wait text")       << "wait" << "Qlabel_text" << "color:#0099cc;\nfont:14px;";
    QTest::newRow("wait dots")       << "wait" << "Qlbldot" << "color:#0099cc;\nfont-size:28px;";
    QTest::newRow("coupmsg dimming") << "coupmsg" << "horizontalWidget_2"
                                     << "QWidget#horizontalWidget_2{\nbackground-color: rgba(0, 0, 0, 100);}";
    QTest::newRow("coupmsg box")     << "coupmsg" << "vWidget"
                                     << "QWidget#vWidget{\nbackground-color: rgb(255, 255, 255);border-radius:10px;}";
    QTest::newRow("coupmsg heading") << "coupmsg" << "label" << "font-size: 28px;";
    QTest::newRow("coupmsg display") << "coupmsg" << "gWdDisplay" << "border-bottom: 2px solid  rgb(147, 147, 147);";
    QTest::newRow("coupmsg name")    << "coupmsg" << "coupName" << "color: rgb(165, 0, 0);font-size:28px;";
    QTest::newRow("coupmsg name caption") << "coupmsg" << "label_3" << "font-size:18px;";
    QTest::newRow("coupmsg rule area")    << "coupmsg" << "horizontalWidget" << "font-size:22px";
}

void tst_PromptDialogs::formStyles()
{
    QFETCH(QString, kind);
    QFETCH(QString, object);
    QFETCH(QString, styleSheet);
    const auto window = makeWindow(kind);
    auto *child = window->findChild<QWidget *>(object);
    QVERIFY2(child, qPrintable(object));
    QCOMPARE(child->styleSheet(), styleSheet);
}

void tst_PromptDialogs::formSizes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    const int max = QWIDGETSIZE_MAX;
    QTest::newRow("message box")     << "message" << "QhorizontalWidget" << QSize(360, 200) << QSize(360, 200);
    QTest::newRow("message icon")    << "message" << "Qlbl_message_img" << QSize(24, 0) << QSize(24, 24);
    QTest::newRow("message text")    << "message" << "Qlbltishi" << QSize(60, 0) << QSize(280, 100);
    QTest::newRow("message row 2")   << "message" << "Qwidget" << QSize(0, 0) << QSize(max, 60);
    QTest::newRow("message button")  << "message" << "QbtnOK" << QSize(80, 60) << QSize(max, max);
    QTest::newRow("question window") << "question" << "" << QSize(800, 600) << QSize(max, max);
    QTest::newRow("question box")    << "question" << "horizontalWidget" << QSize(360, 200) << QSize(360, 200);
    QTest::newRow("question icon")   << "question" << "lbl_question_img" << QSize(24, 0) << QSize(24, 24);
    QTest::newRow("question text")   << "question" << "label_text" << QSize(60, 0) << QSize(280, 100);
    QTest::newRow("question row 2")  << "question" << "widget" << QSize(0, 0) << QSize(max, 60);
    QTest::newRow("question cancel") << "question" << "btncancel" << QSize(80, 60) << QSize(max, max);
    QTest::newRow("question ok")     << "question" << "btnok" << QSize(80, 60) << QSize(max, max);
    QTest::newRow("wait box")        << "wait" << "QhorizontalWidget" << QSize(360, 200) << QSize(360, 200);
    QTest::newRow("wait text")       << "wait" << "Qlabel_text" << QSize(0, 0) << QSize(280, 100);
    QTest::newRow("wait row 2")      << "wait" << "Qwidget" << QSize(0, 0) << QSize(max, 60);
    QTest::newRow("coupmsg box")     << "coupmsg" << "vWidget" << QSize(650, 500) << QSize(650, 500);
    QTest::newRow("coupmsg top")     << "coupmsg" << "hWidget" << QSize(0, 50) << QSize(max, 60);
    QTest::newRow("coupmsg close")   << "coupmsg" << "btnClose" << QSize(50, 50) << QSize(50, 50);
    QTest::newRow("coupmsg display") << "coupmsg" << "gWdDisplay" << QSize(0, 100) << QSize(max, 100);
    QTest::newRow("coupmsg caption") << "coupmsg" << "labRule" << QSize(0, 50) << QSize(max, 50);
    QTest::newRow("coupmsg words")   << "coupmsg" << "vWdWord" << QSize(0, 200) << QSize(max, max);
}

void tst_PromptDialogs::formSizes()
{
    QFETCH(QString, kind);
    QFETCH(QString, object);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    const auto window = makeWindow(kind);
    QWidget *widget = object.isEmpty() ? window.get() : window->findChild<QWidget *>(object);
    QVERIFY2(widget, qPrintable(object));
    QCOMPARE(widget->minimumSize(), minimum);
    QCOMPARE(widget->maximumSize(), maximum);
}

void tst_PromptDialogs::formTexts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("text");
    QTest::newRow("message text")     << "message" << "Qlbltishi" << "确定？";
    QTest::newRow("message button")   << "message" << "QbtnOK" << "确定";
    QTest::newRow("question text")    << "question" << "label_text" << "确定？";
    QTest::newRow("question cancel")  << "question" << "btncancel" << "取消[0]";
    QTest::newRow("question ok")      << "question" << "btnok" << "确定[1]";
    QTest::newRow("wait text")        << "wait" << "Qlabel_text" << "请稍等，操作中";
    QTest::newRow("wait dots")        << "wait" << "Qlbldot" << "";
    QTest::newRow("coupmsg heading")  << "coupmsg" << "label" << "会员券信息";
    QTest::newRow("coupmsg name")     << "coupmsg" << "coupName" << "名称";
    QTest::newRow("coupmsg name caption") << "coupmsg" << "label_3" << "会员券名称";
    QTest::newRow("coupmsg caption")  << "coupmsg" << "labRule" << "券使用规则：";
    QTest::newRow("coupmsg rule")     << "coupmsg" << "coupRule" << "规则";
    QTest::newRow("coupmsg close")    << "coupmsg" << "btnClose" << "";
}

void tst_PromptDialogs::formTexts()
{
    QFETCH(QString, kind);
    QFETCH(QString, object);
    QFETCH(QString, text);
    const auto window = makeWindow(kind);
    QObject *child = window->findChild<QObject *>(object);
    QVERIFY2(child, qPrintable(object));
    QCOMPARE(child->property("text").toString(), text);
}

void tst_PromptDialogs::formLayouts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("spacing");
    QTest::newRow("message root")   << "message" << "gridLayout" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("message box")    << "message" << "verticalLayout_4" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("message body")   << "message" << "horizontalLayout_2" << 20 << 0 << 0 << 0 << kFree;
    QTest::newRow("message row 2")  << "message" << "horizontalLayout" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("question root")  << "question" << "gridLayout" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("question box")   << "question" << "verticalLayout_4" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("question body")  << "question" << "horizontalLayout_2" << 20 << 0 << 0 << 0 << kFree;
    QTest::newRow("question row 2") << "question" << "horizontalLayout" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("wait root")      << "wait" << "gridLayout" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("wait box")       << "wait" << "verticalLayout_4" << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("wait body")      << "wait" << "horizontalLayout_2" << 60 << 0 << 45 << 0 << kFree;
    QTest::newRow("coupmsg root")   << "coupmsg" << "horizontalLayout" << 0 << 0 << 0 << 0 << kFree;
    QTest::newRow("coupmsg box")    << "coupmsg" << "verticalLayout" << 20 << 10 << 20 << 20 << 2;
    QTest::newRow("coupmsg top")    << "coupmsg" << "horizontalLayout_2" << 50 << kFree << 0 << kFree << kFree;
    QTest::newRow("coupmsg display") << "coupmsg" << "gridLayout" << kFree << kFree << kFree << 2 << kFree;
    QTest::newRow("coupmsg rules")  << "coupmsg" << "gridLayout_3" << 1 << 1 << 1 << 1 << kFree;
    QTest::newRow("coupmsg words")  << "coupmsg" << "verticalLayout_2" << kFree << kFree << kFree << 10 << kFree;
}

void tst_PromptDialogs::formLayouts()
{
    QFETCH(QString, kind);
    QFETCH(QString, layout);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, right);
    QFETCH(int, bottom);
    QFETCH(int, spacing);
    const auto window = makeWindow(kind);
    auto *found = window->findChild<QLayout *>(layout);
    QVERIFY2(found, qPrintable(layout));
    const QMargins margins = found->contentsMargins();
    if (left != kFree)
        QCOMPARE(margins.left(), left);
    if (top != kFree)
        QCOMPARE(margins.top(), top);
    if (right != kFree)
        QCOMPARE(margins.right(), right);
    if (bottom != kFree)
        QCOMPARE(margins.bottom(), bottom);
    if (spacing != kFree)
        QCOMPARE(found->spacing(), spacing);
}

void tst_PromptDialogs::buttonsNeverTakeFocus_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("flat");
    QTest::newRow("message ok")      << "message" << "QbtnOK" << false;
    QTest::newRow("question cancel") << "question" << "btncancel" << false;
    QTest::newRow("question ok")     << "question" << "btnok" << false;
    QTest::newRow("coupmsg close")   << "coupmsg" << "btnClose" << true;
}

void tst_PromptDialogs::buttonsNeverTakeFocus()
{
    QFETCH(QString, kind);
    QFETCH(QString, button);
    QFETCH(bool, flat);
    const auto window = makeWindow(kind);
    auto *found = window->findChild<QPushButton *>(button);
    QVERIFY2(found, qPrintable(button));
    QCOMPARE(found->focusPolicy(), Qt::NoFocus);
    QVERIFY(!found->autoDefault());
    QVERIFY(!found->isDefault());
    QCOMPARE(found->isFlat(), flat);
}

void tst_PromptDialogs::foreignTextIsPlain_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("label");
    QTest::newRow("message")      << "message" << "Qlbltishi";
    QTest::newRow("question")     << "question" << "label_text";
    QTest::newRow("coupon name")  << "coupmsg" << "coupName";
    QTest::newRow("coupon rules") << "coupmsg" << "coupRule";
}

// These labels show texts that come from the server; markup in them must not be interpreted.
void tst_PromptDialogs::foreignTextIsPlain()
{
    QFETCH(QString, kind);
    QFETCH(QString, label);
    const auto window = makeWindow(kind);
    auto *found = window->findChild<QLabel *>(label);
    QVERIFY2(found, qPrintable(label));
    QCOMPARE(found->textFormat(), Qt::PlainText);
}

void tst_PromptDialogs::noAutoConnectWarnings()
{
    s_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    {
        MessageWidget message;
        QuestionMessage question;
        WaitWidget wait;
        CoupMsgWidget coupMsg;
    }
    qInstallMessageHandler(previous);
    for (const QString &warning : qAsConst(s_warnings))
        QVERIFY2(!warning.contains(QLatin1String("connectSlotsByName")), qPrintable(warning));
}

void tst_PromptDialogs::messageKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("return") << int(Qt::Key_Return) << 1;
    QTest::newRow("enter")  << int(Qt::Key_Enter) << 1;
    QTest::newRow("escape") << int(Qt::Key_Escape) << kLeftOpen;
    QTest::newRow("space")  << int(Qt::Key_Space) << kLeftOpen;
    QTest::newRow("one")    << int(Qt::Key_1) << kLeftOpen;
    QTest::newRow("zero")   << int(Qt::Key_0) << kLeftOpen;
    QTest::newRow("letter") << int(Qt::Key_A) << kLeftOpen;
    QTest::newRow("f12")    << int(Qt::Key_F12) << kLeftOpen;
}

void tst_PromptDialogs::messageKeys()
{
    QFETCH(int, key);
    QFETCH(int, result);
    MessageWidget dialog;
    ModalDriver driver(dialog, pressKey(key));
    dialog.ShowMessage(QStringLiteral("会员券核销成功"));
    QVERIFY(driver.outcome().reachedModal);
    QVERIFY(!driver.outcome().guardFired);
    QVERIFY(driver.outcome().wasFullScreen);
    QCOMPARE(dialog.result(), result);
    QVERIFY(!dialog.isVisible());
}

void tst_PromptDialogs::questionKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("one")    << int(Qt::Key_1) << 1;
    QTest::newRow("return") << int(Qt::Key_Return) << 1;
    QTest::newRow("enter")  << int(Qt::Key_Enter) << 1;
    QTest::newRow("zero")   << int(Qt::Key_0) << 0;
    QTest::newRow("escape") << int(Qt::Key_Escape) << kLeftOpen;
    QTest::newRow("two")    << int(Qt::Key_2) << kLeftOpen;
    QTest::newRow("space")  << int(Qt::Key_Space) << kLeftOpen;
    QTest::newRow("letter") << int(Qt::Key_Y) << kLeftOpen;
}

void tst_PromptDialogs::questionKeys()
{
    QFETCH(int, key);
    QFETCH(int, result);
    QuestionMessage dialog;
    ModalDriver driver(dialog, pressKey(key));
    const int answer = dialog.AskQuestion(QStringLiteral("网络异常，是否重试？"));
    QVERIFY(driver.outcome().reachedModal);
    QVERIFY(!driver.outcome().guardFired);
    QVERIFY(driver.outcome().wasFullScreen);
    QCOMPARE(answer, result);
    QVERIFY(!dialog.isVisible());
}

void tst_PromptDialogs::buttonTaps_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("message ok")      << "message" << "QbtnOK" << 1;
    QTest::newRow("question ok")     << "question" << "btnok" << 1;
    QTest::newRow("question cancel") << "question" << "btncancel" << 0;
}

void tst_PromptDialogs::buttonTaps()
{
    QFETCH(QString, kind);
    QFETCH(QString, button);
    QFETCH(int, result);
    if (kind == QLatin1String("message")) {
        MessageWidget dialog;
        ModalDriver driver(dialog, tapButton(button));
        dialog.ShowMessage(QStringLiteral("请点击确定"));
        QVERIFY(!driver.outcome().guardFired);
        QVERIFY(!driver.outcome().leftOpen);
        QCOMPARE(dialog.result(), result);
    } else {
        QuestionMessage dialog;
        ModalDriver driver(dialog, tapButton(button));
        const int answer = dialog.AskQuestion(QStringLiteral("是否继续？"));
        QVERIFY(!driver.outcome().guardFired);
        QVERIFY(!driver.outcome().leftOpen);
        QCOMPARE(answer, result);
    }
}

void tst_PromptDialogs::keysAreSwallowed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");
    QTest::newRow("message escape")  << "message" << int(Qt::Key_Escape);
    QTest::newRow("message down")    << "message" << int(Qt::Key_Down);
    QTest::newRow("question escape") << "question" << int(Qt::Key_Escape);
    QTest::newRow("question nine")   << "question" << int(Qt::Key_9);
    QTest::newRow("wait escape")     << "wait" << int(Qt::Key_Escape);
    QTest::newRow("wait return")     << "wait" << int(Qt::Key_Return);
    QTest::newRow("wait one")        << "wait" << int(Qt::Key_1);
    QTest::newRow("wait f4")         << "wait" << int(Qt::Key_F4);
}

// A swallowed key is accepted by the window itself, so it never travels on to anything else.
void tst_PromptDialogs::keysAreSwallowed()
{
    QFETCH(QString, kind);
    QFETCH(int, key);
    const auto window = makeWindow(kind);
    if (auto *wait = qobject_cast<WaitWidget *>(window.get()))
        wait->ShowWaiting();
    else
        window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.ignore();
    QApplication::sendEvent(window.get(), &press);
    QVERIFY(press.isAccepted());
    QVERIFY(window->isVisible());
    if (kind == QLatin1String("wait")) {
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Qlbldot"))->text(), QStringLiteral("......"));
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Qlabel_text"))->text(), QStringLiteral("请稍等，操作中"));
    }
}

void tst_PromptDialogs::uiTypeSetsCaption_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("caption");
    QTest::newRow("no file")       << QByteArray() << "确定";
    QTest::newRow("no key")        << QByteArray("[Config]\nUrl=http://127.0.0.1\n") << "确定";
    QTest::newRow("zero")          << QByteArray("[Config]\nUiType=0\n") << "确定";
    QTest::newRow("one")           << QByteArray("[Config]\nUiType=1\n") << "确定(Enter)";
    QTest::newRow("two")           << QByteArray("[Config]\nUiType=2\n") << "确定";
    QTest::newRow("word")          << QByteArray("[Config]\nUiType=yes\n") << "确定";
    QTest::newRow("other section") << QByteArray("[Ui]\nUiType=1\n") << "确定";
}

void tst_PromptDialogs::uiTypeSetsCaption()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, caption);
    QTemporaryDir appDir;
    QVERIFY(appDir.isValid());
    if (!ini.isNull()) {
        QFile file(appDir.filePath(QStringLiteral("TwVipCoupon5.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(ini), qint64(ini.size()));
    }
    AppSettings::overrideApplicationDir(appDir.path());
    MessageWidget dialog;
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("QbtnOK"))->text(), caption);
}

void tst_PromptDialogs::showMessageLogs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("entry");
    QTest::newRow("empty") << ""
                           << "方式：晟岚会员用券动态库\n位置：提示信息\n内容：\n\n";
    QTest::newRow("text")  << "会员卡号不存在"
                           << "方式：晟岚会员用券动态库\n位置：提示信息\n内容：会员卡号不存在\n\n";
}

void tst_PromptDialogs::showMessageLogs()
{
    QFETCH(QString, text);
    QFETCH(QString, entry);
    QTemporaryDir workDir;
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));

    MessageWidget dialog;
    QString shownText = QStringLiteral("unset");
    ModalDriver driver(dialog, [&shownText](QDialog &shown) {
        shownText = shown.findChild<QLabel *>(QStringLiteral("Qlbltishi"))->text();
        QTest::keyClick(&shown, Qt::Key_Return);
    });
    dialog.ShowMessage(text);
    QVERIFY(!driver.outcome().guardFired);
    QCOMPARE(shownText, text);

    const QDir logDir(workDir.filePath(QStringLiteral("LOG")));
    const QStringList logs = logDir.entryList({ QStringLiteral("PayLog*.txt") }, QDir::Files);
    QCOMPARE(logs.size(), 1);
    QFile log(logDir.filePath(logs.first()));
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString written = QString::fromUtf8(log.readAll());
    QVERIFY2(written.endsWith(entry), qPrintable(written));
    QCOMPARE(written.count(QStringLiteral("位置：")), 1);
}

void tst_PromptDialogs::waitOverlayShowsAndCloses()
{
    WaitWidget wait;
    auto *text = wait.findChild<QLabel *>(QStringLiteral("Qlabel_text"));
    auto *dots = wait.findChild<QLabel *>(QStringLiteral("Qlbldot"));
    QVERIFY(text && dots);

    wait.SetWaitText(QStringLiteral("正在查询会员券"));
    QCOMPARE(text->text(), QStringLiteral("正在查询会员券"));
    wait.ShowWaiting();
    QVERIFY(wait.isVisible());
    QVERIFY(wait.isFullScreen());
    QCOMPARE(dots->text(), QStringLiteral("......"));

    QVERIFY(wait.close());
    QVERIFY(!wait.isVisible());

    wait.ShowWaiting();
    QVERIFY(wait.isVisible());
    QCOMPARE(text->text(), QStringLiteral("正在查询会员券"));
    QVERIFY(wait.close());
    QVERIFY(!wait.isVisible());
}

void tst_PromptDialogs::couponInfoCaption_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("empty on first use") << QStringList{ "" } << QStringList{ "券使用规则：" };
    QTest::newRow("rules")              << QStringList{ "使用规则：" } << QStringList{ "使用规则：" };
    QTest::newRow("reason then empty")  << QStringList{ "不可用原因：", "" }
                                        << QStringList{ "不可用原因：", "不可用原因：" };
    QTest::newRow("rules then reason")  << QStringList{ "使用规则：", "不可用原因：" }
                                        << QStringList{ "使用规则：", "不可用原因：" };
}

void tst_PromptDialogs::couponInfoCaption()
{
    QFETCH(QStringList, captions);
    QFETCH(QStringList, shown);
    CoupMsgWidget popup;
    auto *caption = popup.findChild<QLabel *>(QStringLiteral("labRule"));
    auto *name = popup.findChild<QLabel *>(QStringLiteral("coupName"));
    auto *rule = popup.findChild<QLabel *>(QStringLiteral("coupRule"));
    QVERIFY(caption && name && rule);
    for (int i = 0; i < captions.size(); ++i) {
        const QString couponName = QStringLiteral("满100减%1元券").arg(i + 10);
        const QString couponText = QStringLiteral("第%1张说明").arg(i + 1);
        popup.ShowCouponInfo(couponName, couponText, captions.at(i));
        QVERIFY(popup.isVisible());
        QVERIFY(popup.isFullScreen());
        QCOMPARE(caption->text(), shown.at(i));
        QCOMPARE(name->text(), couponName);
        QCOMPARE(rule->text(), couponText);
    }
}

void tst_PromptDialogs::couponInfoCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("visible");
    QTest::newRow("close button") << "button" << false;
    QTest::newRow("escape")       << "escape" << false;
    QTest::newRow("return")       << "return" << true;
}

void tst_PromptDialogs::couponInfoCloses()
{
    QFETCH(QString, how);
    QFETCH(bool, visible);
    CoupMsgWidget popup;
    popup.ShowCouponInfo(QStringLiteral("生日券"), QStringLiteral("仅限生日当月使用"), QString());
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    if (how == QLatin1String("button"))
        QTest::mouseClick(popup.findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(&popup, Qt::Key_Escape);
    else
        QTest::keyClick(&popup, Qt::Key_Return);
    QCOMPARE(popup.isVisible(), visible);

    // A later use refills and shows it again.
    popup.ShowCouponInfo(QStringLiteral("周末券"), QStringLiteral("周六周日可用"), QString());
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.findChild<QLabel *>(QStringLiteral("coupName"))->text(), QStringLiteral("周末券"));
}

QTEST_MAIN(tst_PromptDialogs)
#include "tst_promptdialogs.moc"
