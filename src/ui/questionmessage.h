#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class QuestionMessage;
}

// The yes/no question: 1 for "确定[1]" (keys 1, Return, Enter), 0 for "取消[0]" (key 0).
class QuestionMessage : public QDialog
{
    Q_OBJECT
public:
    explicit QuestionMessage(QWidget *parent = nullptr);
    ~QuestionMessage() override;

    int AskQuestion(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::QuestionMessage> m_ui;
};
