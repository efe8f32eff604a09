#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QFont;
class QModelIndex;
class QPainter;
class QPen;
class QStyleOptionViewItem;
class QWidget;

// What the coupon table's delegates draw in a cell, decided apart from the painting itself.
namespace DelegatePaint {

// Selected row of a plain row: frame and fill.
inline QColor selectionFrameColor()
{
    return QColor(58, 187, 253);
}
inline QColor selectionFillColor()
{
    return QColor(243, 252, 255);
}
// Grid lines: plain rows, and rows painted in one colour.
inline QColor plainGridColor()
{
    return QColor(QStringLiteral("#EDEDED"));
}
inline QColor colouredGridColor()
{
    return QColor(250, 250, 250);
}
inline QColor textColor()
{
    return QColor(QStringLiteral("#4A4A4A"));
}
// Fills of the coloured rows.
inline QColor tickedRowColor()
{
    return QColor(QStringLiteral("#C2E4FF"));
}
inline QColor unusableRowColor()
{
    return QColor(QStringLiteral("#DEE2ED"));
}

enum class Picture { None, Ticked, Unticked };

struct CellContent
{
    Picture picture = Picture::None;
    bool drawsText = false;
};
// The tick column shows a picture chosen by its text (or nothing); every other column its text.
CellContent contentFor(int column, const QString &text);
// Resource path of a picture; empty for Picture::None.
QString picturePath(Picture picture);

struct Edges
{
    bool top = false;
    bool bottom = false;
    bool left = false;
    bool right = false;
};
// A row's frame: top and bottom on every cell, the sides only at the row's outer columns.
Edges frameEdges(int column, int firstColumn, int lastColumn);
// Text is kept 10 pixels off both sides of the cell.
QRect textRect(const QRect &cell);

// Solid, 1 pixel, square caps, bevel joins.
QPen gridPen(const QColor &color);
void drawEdges(QPainter *painter, const QRect &cell, const Edges &edges);
// The part both delegates share: picture or text, centred, bold, in the text colour. The whole
// text is handed to the style, never elided.
void drawCellContent(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index, const QFont &font,
                     const QWidget *view);

}
