#include "coupmsgwidget.h"
#include "ui_coupmsgwidget.h"

#include "ui/resources.h"
#include "ui/overlayframe.h"

CoupMsgWidget::CoupMsgWidget(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::CoupMsgWidget)
{
    // The close button's icon comes from the compiled-in resources.
    ensureImageResources();
    m_ui->setupUi(this);
    OverlayFrame::setUp(*this, Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    activateWindow();
}

CoupMsgWidget::~CoupMsgWidget() = default;

void CoupMsgWidget::ShowCouponInfo(const QString &name, const QString &text, const QString &caption)
{
    m_ui->coupName->setText(name);
    m_ui->coupRule->setText(text);
    if (!caption.isEmpty())
        m_ui->labRule->setText(caption);
    showFullScreen();
}

void CoupMsgWidget::on_btnClose_clicked()
{
    close();
}
