#include "ui/delegatepaint.h"

#include <QApplication>
#include <QFont>
#include <QModelIndex>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWidget>

#include "ui/resources.h"
#include "ui/couponrows.h"

namespace DelegatePaint {

CellContent contentFor(int column, const QString &text)
{
    CellContent content;
    if (column != CouponRows::kTickColumn) {
        content.drawsText = true;
        return content;
    }
    if (text == QLatin1String(CouponRows::kTicked))
        content.picture = Picture::Ticked;
    else if (text == QLatin1String(CouponRows::kUnticked))
        content.picture = Picture::Unticked;
    return content;
}

QString picturePath(Picture picture)
{
    switch (picture) {
    case Picture::Ticked:
        return QStringLiteral(":/Images/qss/Images/商品选中.png");
    case Picture::Unticked:
        return QStringLiteral(":/Images/qss/Images/商品未选中.png");
    case Picture::None:
        break;
    }
    return QString();
}

Edges frameEdges(int column, int firstColumn, int lastColumn)
{
    Edges edges;
    edges.top = true;
    edges.bottom = true;
    edges.left = column == firstColumn;
    edges.right = column == lastColumn;
    return edges;
}

QRect textRect(const QRect &cell)
{
    return cell.adjusted(10, 0, -10, 0);
}

QPen gridPen(const QColor &color)
{
    return QPen(color, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

void drawEdges(QPainter *painter, const QRect &cell, const Edges &edges)
{
    if (edges.top)
        painter->drawLine(cell.topLeft(), cell.topRight());
    if (edges.bottom)
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    if (edges.left)
        painter->drawLine(cell.topLeft(), cell.bottomLeft());
    if (edges.right)
        painter->drawLine(cell.topRight(), cell.bottomRight());
}

void drawCellContent(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index, const QFont &font,
                     const QWidget *view)
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    painter->setPen(gridPen(textColor()));
    QFont bold = font;
    bold.setWeight(QFont::Bold);
    painter->setFont(bold);

    const CellContent content = contentFor(index.column(), text);
    QStyle *style = QApplication::style();
    if (content.picture != Picture::None) {
        ensureImageResources();
        style->drawItemPixmap(painter, option.rect, Qt::AlignCenter, QPixmap(picturePath(content.picture)));
    } else if (content.drawsText) {
        const QPalette palette = view ? view->palette() : QApplication::palette();
        style->drawItemText(painter, textRect(option.rect), int(alignment), palette, true, text, QPalette::NoRole);
    }
}

}
