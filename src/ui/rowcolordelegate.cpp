#include "ui/rowcolordelegate.h"

#include <QPainter>

#include "ui/delegatepaint.h"

RowColorDelegate::RowColorDelegate(QWidget *view, int firstColumn, int lastColumn, const QColor &color)
    : QItemDelegate(view)
    , m_firstColumn(firstColumn)
    , m_lastColumn(lastColumn)
    , m_color(color)
    , m_font(view ? view->font() : QFont())
    , m_view(view)
{ }

void RowColorDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    using namespace DelegatePaint;
    painter->save();
    const QRect cell = option.rect;
    const QPen previous = painter->pen();
    painter->setPen(gridPen(colouredGridColor()));
    painter->fillRect(cell, m_color);
    drawEdges(painter, cell, frameEdges(index.column(), m_firstColumn, m_lastColumn));
    painter->setPen(previous);
    drawCellContent(painter, option, index, m_font, m_view);
    painter->restore();
}
