#pragma once

#include <QColor>
#include <QFont>
#include <QItemDelegate>

// A row painted in one colour whether selected or not: a ticked coupon, or one that cannot be
// used. No meta-object of its own: it adds no signals or slots.
class RowColorDelegate : public QItemDelegate
{
public:
    // The view lends its font (copied now) and its palette; the delegate becomes its child.
    RowColorDelegate(QWidget *view, int firstColumn, int lastColumn, const QColor &color);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    QColor color() const { return m_color; }

private:
    int m_firstColumn = 0;
    int m_lastColumn = 0;
    QColor m_color;
    QFont m_font;
    QWidget *m_view = nullptr;
};
