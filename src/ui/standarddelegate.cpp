#include "ui/standarddelegate.h"

#include <QPainter>
#include <QStyle>

#include "ui/delegatepaint.h"

StandardDelegate::StandardDelegate(QWidget *view, int firstColumn, int lastColumn)
    : QItemDelegate(view)
    , m_firstColumn(firstColumn)
    , m_lastColumn(lastColumn)
    , m_font(view ? view->font() : QFont())
    , m_view(view)
{ }

void StandardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    using namespace DelegatePaint;
    painter->save();
    const QRect cell = option.rect;
    const QPen framePen = gridPen(selectionFrameColor());
    painter->setPen(framePen);
    if (!(option.state & QStyle::State_Selected)) {
        const QPen previous = painter->pen();
        painter->setPen(gridPen(plainGridColor()));
        Edges lines;
        lines.top = true;
        lines.bottom = true;
        drawEdges(painter, cell, lines);
        painter->setPen(previous);
    } else {
        painter->fillRect(cell, selectionFillColor());
        drawEdges(painter, cell, frameEdges(index.column(), m_firstColumn, m_lastColumn));
    }
    drawCellContent(painter, option, index, m_font, m_view);
    painter->restore();
}
