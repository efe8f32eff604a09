#include "questionmessage.h"
#include "ui_questionmessage.h"

#include <QKeyEvent>

#include "ui/overlayframe.h"

QuestionMessage::QuestionMessage(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::QuestionMessage)
{
    m_ui->setupUi(this);
    setFocus(Qt::OtherFocusReason);
    OverlayFrame::setUp(*this);
}

QuestionMessage::~QuestionMessage() = default;

int QuestionMessage::AskQuestion(const QString &text)
{
    m_ui->label_text->setText(text);
    showFullScreen();
    activateWindow();
    // Forces the native window into existence before the modal loop grabs the input.
    (void)winId();
    return exec();
}

void QuestionMessage::keyPressEvent(QKeyEvent *event)
{
    // The POS keyboard answers with its digit keys; Escape is swallowed so that a stray key
    // cannot be taken for "no".
    switch (event->key()) {
    case Qt::Key_1:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_ui->btnok->click();
        break;
    case Qt::Key_0:
        m_ui->btncancel->click();
        break;
    default:
        break;
    }
    event->accept();
}
