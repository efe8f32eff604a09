#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class CoupMsgWidget;
}

// The coupon information popup: a coupon's name and its rules or the reason it cannot be used.
class CoupMsgWidget : public QDialog
{
    Q_OBJECT
public:
    explicit CoupMsgWidget(QWidget *parent = nullptr);
    ~CoupMsgWidget() override;

    // Does not block. An empty caption keeps the caption shown before.
    void ShowCouponInfo(const QString &name, const QString &text, const QString &caption);

private slots:
    void on_btnClose_clicked();

private:
    std::unique_ptr<Ui::CoupMsgWidget> m_ui;
};
