#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class WaitWidget;
}

// The wait overlay: covers the screen while the library works; never blocks the caller and
// swallows every key typed meanwhile.
class WaitWidget : public QWidget
{
    Q_OBJECT
public:
    explicit WaitWidget(QWidget *parent = nullptr);
    ~WaitWidget() override;

    void SetWaitText(const QString &text);
    void ShowWaiting();

public slots:
    bool close();

protected:
    void timerEvent(QTimerEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::WaitWidget> m_ui;
};
