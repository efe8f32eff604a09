#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

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

bool saveGrab(QWidget &widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("GRAB_DIR", QDir::tempPath());
    QDir().mkpath(dir);
    return widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void later(int delayMs, std::function<void()> action)
{
    QTimer::singleShot(delayMs, qApp, std::move(action));
}

QWidget *activeModalOrWindow()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

void keyToActiveWindowLater(int delayMs, int key)
{
    later(delayMs, [key] {
        if (QWidget *target = activeModalOrWindow())
            QTest::keyClick(target, Qt::Key(key));
    });
}

}
