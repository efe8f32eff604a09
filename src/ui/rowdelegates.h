#pragma once

#include <vector>

#include <QAbstractItemDelegate>
#include <QItemDelegate>
#include <QPointer>

class QAbstractItemView;

// The one delegate the coupon table is given: it hands each cell to the delegate of its row.
// The view's own per-row delegates recount every row on each change, which made filling and
// refreshing a long table quadratic; here a row's delegate is set or replaced in constant time.
class RowDelegates : public QAbstractItemDelegate
{
    Q_OBJECT
public:
    // The router becomes the view's child and repaints the view's viewport when a look changes.
    explicit RowDelegates(QAbstractItemView *view);
    ~RowDelegates() override;

    // Takes the delegate as its child (nullptr leaves the row to the plain fallback). The one it
    // replaces is freed later, not now: the view may still be inside that delegate's handling.
    void setDelegateForRow(int row, QAbstractItemDelegate *delegate);
    QAbstractItemDelegate *delegateForRow(int row) const;
    // Rows past the new count give up their delegates, freed later for the same reason.
    void setRowCount(int rows);
    int rowCount() const { return int(m_rows.size()); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Nothing in the table is edited.
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    QAbstractItemDelegate *target(const QModelIndex &index) const;
    void release(QAbstractItemDelegate *delegate);

    QAbstractItemView *m_view = nullptr;
    // QPointer: a row delegate someone else deletes must not leave a dangling entry.
    std::vector<QPointer<QAbstractItemDelegate>> m_rows;
    // Parentless, so that the router's children are exactly the rows' delegates.
    mutable QItemDelegate m_fallback;
};
