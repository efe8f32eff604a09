#include "messagewidget.h"
#include "ui_messagewidget.h"

#include <QKeyEvent>

#include "support/appsettings.h"
#include "ui/resources.h"
#include "ui/overlayframe.h"

MessageWidget::MessageWidget(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::MessageWidget)
{
    // The icon label's style sheet loads from the compiled-in resources.
    ensureImageResources();
    m_ui->setupUi(this);
    setFocus(Qt::OtherFocusReason);
    OverlayFrame::setUp(*this);

    // Tills with a keyboard-only layout tell the cashier which key confirms.
    const QString uiType =
        AppSettings::readIni(AppSettings::kUiIni, QStringLiteral("Config/UiType"), QStringLiteral("0"));
    if (uiType == QLatin1String("1"))
        m_ui->QbtnOK->setText(QStringLiteral("确定(Enter)"));
}

MessageWidget::~MessageWidget() = default;

void MessageWidget::ShowMessage(const QString &text)
{
    m_ui->Qlbltishi->setText(text);
    m_log.WriteLog(LogModule::kTitle, QStringLiteral("提示信息"), text);
    show();
    activateWindow();
    showFullScreen();
    // Forces the native window into existence before the modal loop grabs the input.
    (void)winId();
    exec();
}

void MessageWidget::keyPressEvent(QKeyEvent *event)
{
    // Only an explicit confirmation ends the box; Escape must not dismiss a message unread.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_ui->QbtnOK->click();
        break;
    default:
        break;
    }
    event->accept();
}
