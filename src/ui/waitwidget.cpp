#include "waitwidget.h"
#include "ui_waitwidget.h"

#include <QKeyEvent>
#include <QTimerEvent>

#include "ui/overlayframe.h"

WaitWidget::WaitWidget(QWidget *parent)
    : QWidget(parent)
    , m_ui(new Ui::WaitWidget)
{
    m_ui->setupUi(this);
    OverlayFrame::setUp(*this, Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    SetWaitText(tr("请稍等，操作中"));
}

WaitWidget::~WaitWidget() = default;

void WaitWidget::SetWaitText(const QString &text)
{
    m_ui->Qlabel_text->setText(text);
}

void WaitWidget::ShowWaiting()
{
    m_ui->Qlbldot->setText(QStringLiteral("......"));
    showFullScreen();
}

bool WaitWidget::close()
{
    return QWidget::close();
}

void WaitWidget::timerEvent(QTimerEvent *event)
{
    Q_UNUSED(event);
}

void WaitWidget::keyPressEvent(QKeyEvent *event)
{
    // Keys typed while the library works must not reach anything behind the overlay.
    event->accept();
}
