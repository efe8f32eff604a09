#pragma once

#include <memory>

#include <QDialog>

#include "support/logwriter.h"

namespace Ui {
class MessageWidget;
}

// The message box: one text, confirmed with Return/Enter or a tap on the button.
class MessageWidget : public QDialog
{
    Q_OBJECT
public:
    explicit MessageWidget(QWidget *parent = nullptr);
    ~MessageWidget() override;

    // Blocks in a modal loop until the cashier confirms.
    void ShowMessage(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::MessageWidget> m_ui;
    LogWriter m_log;
};
