#pragma once

#include <QFont>
#include <QItemDelegate>

// A usable coupon row that is not ticked: thin grid lines, and a frame around the whole row
// while it is selected.
class StandardDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    // The view lends its font (copied now) and its palette; the delegate becomes its child.
    StandardDelegate(QWidget *view, int firstColumn, int lastColumn);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_firstColumn = 0;
    int m_lastColumn = 0;
    QFont m_font;
    QWidget *m_view = nullptr;
};
