#include "entry/qwinwidget.h"

#include <QApplication>
#include <QChildEvent>
#include <QFocusEvent>

namespace {
constexpr long kEmbeddedStyle = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

HWND nativeHandle(WId id)
{
    return HWND(id);
}

bool acceptsTabFocus(const QWidget *widget)
{
    return widget->focusPolicy() & Qt::TabFocus;
}

}

QWinWidget::QWinWidget(HWND hParentWnd, QObject *parent, Qt::WindowFlags f)
    : QWidget(nullptr, f)
    , m_hParent(hParentWnd)
{
    if (parent && parent->isWidgetType()) {
        QObject::setParent(parent);
    } else if (parent) {
        // QWidget takes its QObject parent for a widget wherever it looks (parentWidget() is a
        // plain cast), so another kind of owner cannot be the parent: it only owns the widget.
        connect(parent, &QObject::destroyed, this, [this] { delete this; });
    }
    init();
}

QWinWidget::~QWinWidget() = default;

void QWinWidget::init()
{
    if (!m_hParent)
        return;
    const HWND self = nativeHandle(winId());
    HostBridge::setWindowStyle(self, kEmbeddedStyle);
    HostBridge::setParentWindow(self, m_hParent);
    QEvent embedding(QEvent::EmbeddingControl);
    QApplication::sendEvent(this, &embedding);
}

HWND QWinWidget::parentWindow() const
{
    return m_hParent;
}

void QWinWidget::saveFocus()
{
    if (m_hPrevFocus)
        return;
    m_hPrevFocus = HostBridge::focusWindow();
    if (!m_hPrevFocus)
        m_hPrevFocus = parentWindow();
}

void QWinWidget::resetFocus()
{
    HostBridge::setFocusWindow(m_hPrevFocus ? m_hPrevFocus : parentWindow());
}

void QWinWidget::show()
{
    saveFocus();
    QWidget::show();
}

void QWinWidget::center()
{
    // Only the direct children count: a top-level child's own widgets are fine.
    const QList<QWidget *> children = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (const QWidget *child : children) {
        if (!child->isWindow()) {
            qWarning("QWinWidget::center: Call this function only for QWinWidgets with toplevel children");
            break;
        }
    }
    HostBridge::WindowRect r;
    if (!HostBridge::windowRect(m_hParent, r))
        return;
    setGeometry(int((r.right - r.left) / 2 + r.left), int((r.bottom - r.top) / 2 + r.top), 0, 0);
}

void QWinWidget::showCentered()
{
    center();
    show();
}

bool QWinWidget::winEvent(MSG *msg, long *result)
{
    Q_UNUSED(result);
    if (msg && msg->message == WM_SETFOCUS) {
        const Qt::FocusReason reason = HostBridge::keyState(VK_SHIFT) < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason;
        QFocusEvent focusIn(QEvent::FocusIn, reason);
        QApplication::sendEvent(this, &focusIn);
    }
    return false;
}

void QWinWidget::childEvent(QChildEvent *e)
{
    QObject *child = e->child();
    if (child->isWidgetType()) {
        if (e->added()) {
            child->installEventFilter(this);
        } else if (e->removed() && m_bReenableParent) {
            m_bReenableParent = false;
            HostBridge::enableWindow(m_hParent, true);
            child->removeEventFilter(this);
        }
    }
    QWidget::childEvent(e);
}

bool QWinWidget::eventFilter(QObject *o, QEvent *e)
{
    QWidget *w = o->isWidgetType() ? static_cast<QWidget *>(o) : nullptr;
    if (!w)
        return QWidget::eventFilter(o, e);

    switch (e->type()) {
    case QEvent::WindowDeactivate:
        if (w->isModal() && w->isHidden())
            HostBridge::bringWindowToTop(m_hParent);
        break;
    case QEvent::Hide:
        if (m_bReenableParent) {
            HostBridge::enableWindow(m_hParent, true);
            m_bReenableParent = false;
        }
        resetFocus();
        if (w->testAttribute(Qt::WA_DeleteOnClose) && w->isWindow())
            deleteLater();
        break;
    case QEvent::Show:
        if (w->isWindow()) {
            saveFocus();
            hide();
            if (w->isModal() && !m_bReenableParent) {
                HostBridge::enableWindow(m_hParent, false);
                m_bReenableParent = true;
            }
        }
        break;
    case QEvent::Close:
        HostBridge::setActiveWindow(m_hParent);
        if (w->testAttribute(Qt::WA_DeleteOnClose))
            deleteLater();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(o, e);
}

void QWinWidget::focusInEvent(QFocusEvent *e)
{
    const Qt::FocusReason reason = e->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
        return;

    QWidget *candidate = this;
    while (!acceptsTabFocus(candidate)) {
        candidate = candidate->nextInFocusChain();
        if (candidate == this)
            return;
    }
    candidate->setFocus(reason);
    candidate->setAttribute(Qt::WA_KeyboardFocusChange);
    candidate->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    if (reason == Qt::BacktabFocusReason)
        QWidget::focusNextPrevChild(false);
}

bool QWinWidget::focusNextPrevChild(bool next)
{
    // Without a focus widget the walk starts at the widget itself, a window: the host's turn.
    QWidget *current = focusWidget() ? focusWidget() : this;
    if (next) {
        for (QWidget *widget = current->nextInFocusChain(); widget != current; widget = widget->nextInFocusChain()) {
            if (widget->isWindow())
                break;
            if (acceptsTabFocus(widget))
                return QWidget::focusNextPrevChild(true);
        }
    } else if (!current->isWindow()) {
        bool windowAfterLastTabStop = false;
        for (QWidget *widget = current->nextInFocusChain(); widget != current; widget = widget->nextInFocusChain()) {
            if (acceptsTabFocus(widget))
                windowAfterLastTabStop = false;
            else if (widget->isWindow())
                windowAfterLastTabStop = true;
        }
        if (!windowAfterLastTabStop)
            return QWidget::focusNextPrevChild(false);
    }
    HostBridge::setFocusWindow(m_hParent);
    return true;
}
