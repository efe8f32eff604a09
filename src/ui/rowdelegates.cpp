#include "ui/rowdelegates.h"

#include <QAbstractItemView>
#include <QWidget>

RowDelegates::RowDelegates(QAbstractItemView *view)
    : QAbstractItemDelegate(view)
    , m_view(view)
{ }

// The row delegates are our children and go with us; nothing is left pending for them.
RowDelegates::~RowDelegates() = default;

void RowDelegates::setDelegateForRow(int row, QAbstractItemDelegate *delegate)
{
    if (row < 0)
        return;
    if (row >= rowCount()) {
        if (!delegate)
            return;
        m_rows.resize(std::size_t(row) + 1);
    }
    QPointer<QAbstractItemDelegate> &slot = m_rows[std::size_t(row)];
    QAbstractItemDelegate *previous = slot.data();
    if (previous == delegate)
        return;
    slot = delegate;
    if (delegate) {
        delegate->setParent(this);
        // The view listens to the router only; a row delegate's signals must still reach it.
        connect(delegate, &QAbstractItemDelegate::sizeHintChanged, this, &QAbstractItemDelegate::sizeHintChanged);
        connect(delegate, &QAbstractItemDelegate::commitData, this, &QAbstractItemDelegate::commitData);
        connect(delegate, &QAbstractItemDelegate::closeEditor, this, &QAbstractItemDelegate::closeEditor);
    }
    release(previous);
    // The view does not know a row's look changed; its cells must be drawn by the new delegate.
    if (m_view)
        m_view->viewport()->update();
}

QAbstractItemDelegate *RowDelegates::delegateForRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return m_rows[std::size_t(row)].data();
}

void RowDelegates::setRowCount(int rows)
{
    rows = qMax(rows, 0);
    for (int row = rows; row < rowCount(); ++row)
        release(m_rows[std::size_t(row)].data());
    const bool dropped = rows < rowCount();
    m_rows.resize(std::size_t(rows));
    if (dropped && m_view)
        m_view->viewport()->update();
}

void RowDelegates::release(QAbstractItemDelegate *delegate)
{
    if (!delegate)
        return;
    disconnect(delegate, nullptr, this, nullptr);
    delegate->deleteLater();
}

QAbstractItemDelegate *RowDelegates::target(const QModelIndex &index) const
{
    if (index.isValid()) {
        if (QAbstractItemDelegate *delegate = delegateForRow(index.row()))
            return delegate;
    }
    return &m_fallback;
}

void RowDelegates::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    target(index)->paint(painter, option, index);
}

QSize RowDelegates::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return target(index)->sizeHint(option, index);
}

QWidget *RowDelegates::createEditor(QWidget *, const QStyleOptionViewItem &, const QModelIndex &) const
{
    return nullptr;
}

bool RowDelegates::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                               const QModelIndex &index)
{
    return target(index)->editorEvent(event, model, option, index);
}

bool RowDelegates::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                             const QModelIndex &index)
{
    return target(index)->helpEvent(event, view, option, index);
}
