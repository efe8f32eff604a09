#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

class QWidget;

// Shared helpers for the tests. Expected values in tests are literals; these only move data.
namespace TestSupport {

// tests/data/<relativePath>
QString fixturePath(const QString &relativePath);
QByteArray fixture(const QString &relativePath);

// Writes widget.grab() to $GRAB_DIR/<name>.png (default: the temp folder); true when written.
bool saveGrab(QWidget &widget, const QString &name);

// Runs action on the next pass of the event loop after delayMs, typically to answer a modal
// dialog that the code under test is about to open.
void later(int delayMs, std::function<void()> action);

// Sends one key press to whatever modal or active window is on top when the timer fires.
void keyToActiveWindowLater(int delayMs, int key);

// The topmost visible modal widget, or the active window, or nullptr.
QWidget *activeModalOrWindow();

}
