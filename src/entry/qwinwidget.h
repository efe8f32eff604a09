#pragma once

#include <QWidget>

#include "entry/twexport.h"
#include "platform/hostbridge.h"

// A Qt widget placed in a native host window. Its Qt top-level children (dialogs) behave as
// the host's own: a modal one disables the host window while it is up, the keyboard focus
// returns to the host when they close, and tabbing past the ends of the widget's focus chain
// hands the focus back to the host window.
class TW_EXPORT QWinWidget : public QWidget
{
    Q_OBJECT
public:
    QWinWidget(HWND hParentWnd, QObject *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());
    ~QWinWidget() override;

    void init();
    HWND parentWindow() const;
    void saveFocus();
    void resetFocus();
    void show();
    void center();
    void showCentered();
    // For the host's window procedure: a focus-gain message moves the focus into the widget.
    // Never handles the message itself (always false).
    bool winEvent(MSG *msg, long *result);

    bool eventFilter(QObject *o, QEvent *e) override;
    void childEvent(QChildEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    bool focusNextPrevChild(bool next) override;

private:
    HWND m_hParent = 0;
    HWND m_hPrevFocus = 0;
    bool m_bReenableParent = false;
};
