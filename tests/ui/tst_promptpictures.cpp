#include <memory>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "support/appsettings.h"
#include "support/resources.h"
#include "support/testsupport.h"
#include "ui/coupmsgwidget.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/waitwidget.h"

namespace {

// Everything a label needs to show its whole text at its current size.
bool textFits(const QLabel &label)
{
    if (label.wordWrap())
        return label.heightForWidth(label.width()) <= label.height();
    return label.sizeHint().width() <= label.width() && label.sizeHint().height() <= label.height();
}

int countNearWhite(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255 && pixel.red() > 235 && pixel.green() > 235 && pixel.blue() > 235)
                ++count;
        }
    }
    return count;
}

} // namespace

class tst_PromptPictures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void resourcePictures_data();
    void resourcePictures();
    void buttonPicturesCarryCaption_data();
    void buttonPicturesCarryCaption();
    void grabs_data();
    void grabs();

private:
    QTemporaryDir m_appDir;
    QTemporaryDir m_workDir;
    QString m_originalDir;
};

void tst_PromptPictures::initTestCase()
{
    QVERIFY(m_appDir.isValid());
    QVERIFY(m_workDir.isValid());
    AppSettings::overrideApplicationDir(m_appDir.path());
    m_originalDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workDir.path()));
    ensureImageResources();
}

void tst_PromptPictures::cleanupTestCase()
{
    AppSettings::overrideApplicationDir(QString());
    QDir::setCurrent(m_originalDir);
}

void tst_PromptPictures::resourcePictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("arrow up")     << ":/Images/qss/Images/64x64上.png" << QSize(64, 64);
    QTest::newRow("arrow down")   << ":/Images/qss/Images/64x64下.png" << QSize(64, 64);
    QTest::newRow("back button")  << ":/Images/qss/Images/券列表返回.png" << QSize(140, 70);
    QTest::newRow("pay button")   << ":/Images/qss/Images/券核销.png" << QSize(140, 70);
    QTest::newRow("ticked")       << ":/Images/qss/Images/商品选中.png" << QSize(32, 32);
    QTest::newRow("not ticked")   << ":/Images/qss/Images/商品未选中.png" << QSize(32, 32);
    QTest::newRow("message icon") << ":/Images/qss/Images/message.png" << QSize(48, 48);
    QTest::newRow("close icon")   << ":/Images/qss/Images/关闭弹窗.png" << QSize(50, 50);
}

// Each picture is drawn on a transparent square and covers its middle.
void tst_PromptPictures::resourcePictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(image.pixelColor(size.width() / 2, size.height() / 2).alpha(), 255);
}

void tst_PromptPictures::buttonPicturesCarryCaption_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("back") << ":/Images/qss/Images/券列表返回.png";
    QTest::newRow("pay")  << ":/Images/qss/Images/券核销.png";
}

// These buttons have no caption of their own: the white strokes of the drawn caption must be there.
void tst_PromptPictures::buttonPicturesCarryCaption()
{
    QFETCH(QString, path);
    const QImage image(path);
    QVERIFY(!image.isNull());
    QVERIFY(countNearWhite(image, QRect(30, 15, 80, 40)) > 150);
    QCOMPARE(countNearWhite(image, QRect(8, 12, 16, 46)), 0);
}

void tst_PromptPictures::grabs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QPoint>("boxAt");
    const QSize small(800, 600);
    const QSize till(1024, 768);
    const QSize wide(1920, 1080);
    QTest::newRow("message-800x600")   << "message" << small << "QhorizontalWidget" << QPoint(220, 200);
    QTest::newRow("message-1024x768")  << "message" << till << "QhorizontalWidget" << QPoint(332, 284);
    QTest::newRow("message-1920x1080") << "message" << wide << "QhorizontalWidget" << QPoint(780, 440);
    QTest::newRow("question-800x600")   << "question" << small << "horizontalWidget" << QPoint(220, 200);
    QTest::newRow("question-1024x768")  << "question" << till << "horizontalWidget" << QPoint(332, 284);
    QTest::newRow("question-1920x1080") << "question" << wide << "horizontalWidget" << QPoint(780, 440);
    QTest::newRow("wait-800x600")   << "wait" << small << "QhorizontalWidget" << QPoint(220, 200);
    QTest::newRow("wait-1024x768")  << "wait" << till << "QhorizontalWidget" << QPoint(332, 284);
    QTest::newRow("wait-1920x1080") << "wait" << wide << "QhorizontalWidget" << QPoint(780, 440);
    QTest::newRow("coupmsg-800x600")   << "coupmsg" << small << "vWidget" << QPoint(75, 50);
    QTest::newRow("coupmsg-1024x768")  << "coupmsg" << till << "vWidget" << QPoint(187, 134);
    QTest::newRow("coupmsg-1920x1080") << "coupmsg" << wide << "vWidget" << QPoint(635, 290);
}

// Renders each window as the cashier sees it, with realistic texts, for a look at the PNGs in
// $GRAB_DIR; checks that the box sits in the middle and that no text or button is cut off.
void tst_PromptPictures::grabs()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(QString, box);
    QFETCH(QPoint, boxAt);

    std::unique_ptr<QWidget> window;
    QList<QLabel *> texts;
    if (kind == QLatin1String("message")) {
        window = std::make_unique<MessageWidget>();
        auto *label = window->findChild<QLabel *>(QStringLiteral("Qlbltishi"));
        label->setText(QStringLiteral("会员券核销失败：网络连接超时，请检查网络后重试。"));
        texts << label;
    } else if (kind == QLatin1String("question")) {
        window = std::make_unique<QuestionMessage>();
        auto *label = window->findChild<QLabel *>(QStringLiteral("label_text"));
        label->setText(QStringLiteral("查询会员券失败：服务器无响应。是否重试？"));
        texts << label;
    } else if (kind == QLatin1String("wait")) {
        auto wait = std::make_unique<WaitWidget>();
        wait->ShowWaiting();
        texts << wait->findChild<QLabel *>(QStringLiteral("Qlabel_text"))
              << wait->findChild<QLabel *>(QStringLiteral("Qlbldot"));
        window = std::move(wait);
    } else {
        auto popup = std::make_unique<CoupMsgWidget>();
        popup->ShowCouponInfo(QStringLiteral("满100减20元代金券"),
                              QStringLiteral("1. 单笔消费满100元可用，每单限用一张；\n"
                                             "2. 特价商品、烟酒及购物卡不参与；\n"
                                             "3. 不设找零，不可兑换现金；\n"
                                             "4. 有效期至2025-12-31。"),
                              QStringLiteral("使用规则："));
        for (const char *name : { "label", "coupName", "label_3", "labRule", "coupRule" })
            texts << popup->findChild<QLabel *>(QString::fromLatin1(name));
        window = std::move(popup);
    }
    for (QLabel *label : qAsConst(texts))
        QVERIFY(label);

    if (size == QSize(800, 600)) {
        window->showFullScreen();
    } else {
        window->showNormal();
        window->resize(size);
    }
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), size);

    auto *content = window->findChild<QWidget *>(box);
    QVERIFY(content);
    QCOMPARE(content->mapTo(window.get(), QPoint(0, 0)), boxAt);
    for (QLabel *label : qAsConst(texts))
        QVERIFY2(textFits(*label), qPrintable(label->objectName()));
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        const QRect inBox(button->mapTo(content, QPoint(0, 0)), button->size());
        QVERIFY2(content->rect().contains(inBox), qPrintable(button->objectName()));
        QVERIFY2(button->parentWidget()->rect().contains(button->geometry()), qPrintable(button->objectName()));
    }
    QVERIFY(TestSupport::saveGrab(*window, QStringLiteral("prompt-%1-%2x%3")
                                               .arg(kind).arg(size.width()).arg(size.height())));
}

QTEST_MAIN(tst_PromptPictures)
#include "tst_promptpictures.moc"
