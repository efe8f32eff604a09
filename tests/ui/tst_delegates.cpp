#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QItemDelegate>
#include <QPen>
#include <QPointer>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include "support/resources.h"
#include "ui/delegatepaint.h"
#include "ui/rowcolordelegate.h"
#include "ui/rowdelegates.h"
#include "ui/standarddelegate.h"

using DelegatePaint::Picture;

Q_DECLARE_METATYPE(DelegatePaint::Picture)

namespace {

enum Row { SelectedPlain, Ticked, Plain, Unusable, RowCount };

// A table like the coupon dialog's: eight columns, one delegate per row behind the router,
// row 0 selected.
struct PaintedTable
{
    QStandardItemModel model{RowCount, 8};
    QTableView view;
    RowDelegates *rows = new RowDelegates(&view);

    PaintedTable()
    {
        // Column 3 stays empty so that its pixels show fill and frame only.
        const QStringList ticks{"1", "0", "0", "2"};
        for (int row = 0; row < RowCount; ++row) {
            model.setItem(row, 0, new QStandardItem(QString::number(row + 1)));
            model.setItem(row, 1, new QStandardItem(ticks.at(row)));
            model.setItem(row, 2, new QStandardItem(QStringLiteral("C00%1").arg(row)));
            model.setItem(row, 3, new QStandardItem(QString()));
        }
        view.setModel(&model);
        view.verticalHeader()->hide();
        view.verticalHeader()->setDefaultSectionSize(50);
        view.horizontalHeader()->setDefaultSectionSize(90);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        view.setItemDelegate(rows);
        rows->setDelegateForRow(SelectedPlain, new StandardDelegate(&view, 0, 7));
        rows->setDelegateForRow(Ticked, new RowColorDelegate(&view, 0, 7, DelegatePaint::tickedRowColor()));
        rows->setDelegateForRow(Plain, new StandardDelegate(&view, 0, 7));
        rows->setDelegateForRow(Unusable, new RowColorDelegate(&view, 0, 7, DelegatePaint::unusableRowColor()));
        view.resize(800, 300);
        view.show();
        view.selectRow(SelectedPlain);
    }

    QImage paint()
    {
        return view.viewport()->grab().toImage();
    }

    QRect cell(int row, int column) const
    {
        return view.visualRect(model.index(row, column));
    }
};

QPoint pointOf(const QRect &cell, const QString &where)
{
    if (where == QLatin1String("top"))
        return {cell.center().x(), cell.top()};
    if (where == QLatin1String("bottom"))
        return {cell.center().x(), cell.bottom()};
    if (where == QLatin1String("left"))
        return {cell.left(), cell.center().y()};
    if (where == QLatin1String("right"))
        return {cell.right(), cell.center().y()};
    return cell.center();
}

// Pixels inside the cell's edges that differ from the colour.
int pixelsOtherThan(const QImage &image, const QRect &cell, QRgb colour)
{
    int count = 0;
    for (int y = cell.top() + 1; y < cell.bottom(); ++y) {
        for (int x = cell.left() + 1; x < cell.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF))
                ++count;
        }
    }
    return count;
}

}

class tst_Delegates : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void tickColumnShowsPicture_data();
    void tickColumnShowsPicture();
    void picturesAreCompiledIn_data();
    void picturesAreCompiledIn();
    void frameClosesAtTheRowEnds_data();
    void frameClosesAtTheRowEnds();
    void textKeepsClearOfTheSides();
    void pensAreThinAndSquare();
    void paintedPixels_data();
    void paintedPixels();
    void tickPictureDrawnOnlyForTickStates_data();
    void tickPictureDrawnOnlyForTickStates();
    void colouredRowKeepsColourWhenSelected();
    void textIsDrawn();
    void replacedRowDelegateIsFreedLater();
    void rowsPastTheCountGiveUpTheirDelegates();
    void rowWithoutDelegateFallsBack();
    void newLookIsDrawn();
};

void tst_Delegates::initTestCase()
{
    ensureImageResources();
}

void tst_Delegates::tickColumnShowsPicture_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Picture>("picture");
    QTest::addColumn<bool>("drawsText");
    QTest::newRow("ticked") << 1 << "1" << Picture::Ticked << false;
    QTest::newRow("unticked") << 1 << "0" << Picture::Unticked << false;
    QTest::newRow("not usable") << 1 << "2" << Picture::None << false;
    QTest::newRow("empty tick") << 1 << "" << Picture::None << false;
    QTest::newRow("row number 1") << 0 << "1" << Picture::None << true;
    QTest::newRow("code 0") << 2 << "0" << Picture::None << true;
    QTest::newRow("remark") << 7 << "超出使用次数" << Picture::None << true;
}

void tst_Delegates::tickColumnShowsPicture()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(Picture, picture);
    QFETCH(bool, drawsText);
    const DelegatePaint::CellContent content = DelegatePaint::contentFor(column, text);
    QCOMPARE(content.picture, picture);
    QCOMPARE(content.drawsText, drawsText);
}

void tst_Delegates::picturesAreCompiledIn_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::addColumn<QString>("path");
    QTest::newRow("ticked") << Picture::Ticked << ":/Images/qss/Images/商品选中.png";
    QTest::newRow("unticked") << Picture::Unticked << ":/Images/qss/Images/商品未选中.png";
    QTest::newRow("none") << Picture::None << "";
}

void tst_Delegates::picturesAreCompiledIn()
{
    QFETCH(Picture, picture);
    QFETCH(QString, path);
    QCOMPARE(DelegatePaint::picturePath(picture), path);
    if (!path.isEmpty())
        QVERIFY2(QFile::exists(path), qPrintable(path));
}

void tst_Delegates::frameClosesAtTheRowEnds_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("right");
    QTest::newRow("first") << 0 << true << false;
    QTest::newRow("inner") << 3 << false << false;
    QTest::newRow("last") << 7 << false << true;
}

void tst_Delegates::frameClosesAtTheRowEnds()
{
    QFETCH(int, column);
    QFETCH(bool, left);
    QFETCH(bool, right);
    const DelegatePaint::Edges edges = DelegatePaint::frameEdges(column, 0, 7);
    QVERIFY(edges.top);
    QVERIFY(edges.bottom);
    QCOMPARE(edges.left, left);
    QCOMPARE(edges.right, right);
}

void tst_Delegates::textKeepsClearOfTheSides()
{
    QCOMPARE(DelegatePaint::textRect(QRect(100, 50, 80, 50)), QRect(110, 50, 60, 50));
}

void tst_Delegates::pensAreThinAndSquare()
{
    const QPen pen = DelegatePaint::gridPen(QColor(58, 187, 253));
    QCOMPARE(pen.width(), 1);
    QCOMPARE(pen.style(), Qt::SolidLine);
    QCOMPARE(pen.capStyle(), Qt::SquareCap);
    QCOMPARE(pen.joinStyle(), Qt::BevelJoin);
    QCOMPARE(pen.color(), QColor(QStringLiteral("#3ABBFD")));
}

void tst_Delegates::paintedPixels_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("colour");
    QTest::newRow("selected fill") << int(SelectedPlain) << 3 << "centre" << "#f3fcff";
    QTest::newRow("selected top frame") << int(SelectedPlain) << 3 << "top" << "#3abbfd";
    QTest::newRow("selected bottom frame") << int(SelectedPlain) << 3 << "bottom" << "#3abbfd";
    QTest::newRow("selected left end") << int(SelectedPlain) << 0 << "left" << "#3abbfd";
    QTest::newRow("selected right end") << int(SelectedPlain) << 7 << "right" << "#3abbfd";
    QTest::newRow("selected no inner line") << int(SelectedPlain) << 3 << "left" << "#f3fcff";
    QTest::newRow("selected no inner line right") << int(SelectedPlain) << 3 << "right" << "#f3fcff";
    QTest::newRow("plain top line") << int(Plain) << 3 << "top" << "#ededed";
    QTest::newRow("plain bottom line") << int(Plain) << 3 << "bottom" << "#ededed";
    QTest::newRow("ticked fill") << int(Ticked) << 3 << "centre" << "#c2e4ff";
    QTest::newRow("ticked grid top") << int(Ticked) << 3 << "top" << "#fafafa";
    QTest::newRow("ticked grid left end") << int(Ticked) << 0 << "left" << "#fafafa";
    QTest::newRow("ticked no inner line") << int(Ticked) << 3 << "left" << "#c2e4ff";
    QTest::newRow("unusable fill") << int(Unusable) << 3 << "centre" << "#dee2ed";
    QTest::newRow("unusable grid right end") << int(Unusable) << 7 << "right" << "#fafafa";
}

void tst_Delegates::paintedPixels()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, where);
    QFETCH(QString, colour);
    PaintedTable table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    const QImage image = table.paint();
    const QPoint point = pointOf(table.cell(row, column), where);
    QCOMPARE(QColor(image.pixel(point)).name(), colour);
}

void tst_Delegates::tickPictureDrawnOnlyForTickStates_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("fill");
    QTest::addColumn<bool>("hasPicture");
    QTest::newRow("ticked on plain selected") << int(SelectedPlain) << "#f3fcff" << true;
    QTest::newRow("unticked on coloured") << int(Ticked) << "#c2e4ff" << true;
    QTest::newRow("not usable") << int(Unusable) << "#dee2ed" << false;
}

void tst_Delegates::tickPictureDrawnOnlyForTickStates()
{
    QFETCH(int, row);
    QFETCH(QString, fill);
    QFETCH(bool, hasPicture);
    PaintedTable table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    const QImage image = table.paint();
    const int others = pixelsOtherThan(image, table.cell(row, 1), QColor(fill).rgb());
    QCOMPARE(others > 0, hasPicture);
}

void tst_Delegates::colouredRowKeepsColourWhenSelected()
{
    PaintedTable table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    table.view.selectRow(Ticked);
    const QImage image = table.paint();
    QCOMPARE(QColor(image.pixel(table.cell(Ticked, 3).center())).name(), QStringLiteral("#c2e4ff"));
    QCOMPARE(QColor(image.pixel(pointOf(table.cell(Ticked, 3), "top"))).name(),
             QStringLiteral("#fafafa"));
    // The row left behind is plain again: no fill, thin grey lines.
    QCOMPARE(QColor(image.pixel(pointOf(table.cell(SelectedPlain, 3), "top"))).name(),
             QStringLiteral("#ededed"));
}

void tst_Delegates::textIsDrawn()
{
    PaintedTable table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    const QImage image = table.paint();
    // The code column carries text on the grey row; the empty column next to it does not.
    QVERIFY(pixelsOtherThan(image, table.cell(Unusable, 2), QColor("#dee2ed").rgb()) > 0);
    QCOMPARE(pixelsOtherThan(image, table.cell(Unusable, 3), QColor("#dee2ed").rgb()), 0);
}

void tst_Delegates::replacedRowDelegateIsFreedLater()
{
    QTableView view;
    RowDelegates rows(&view);
    QPointer<QAbstractItemDelegate> first = new StandardDelegate(&view, 0, 7);
    rows.setDelegateForRow(2, first);
    QCOMPARE(rows.rowCount(), 3);
    QCOMPARE(first->parent(), &rows);
    auto *second = new RowColorDelegate(&view, 0, 7, DelegatePaint::tickedRowColor());
    rows.setDelegateForRow(2, second);
    QCOMPARE(rows.delegateForRow(2), second);
    // The view may still be inside the old delegate's handling: it must outlive the call.
    QVERIFY(first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QCOMPARE(rows.findChildren<QAbstractItemDelegate *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
}

void tst_Delegates::rowsPastTheCountGiveUpTheirDelegates()
{
    QTableView view;
    RowDelegates rows(&view);
    QPointer<QAbstractItemDelegate> kept = new StandardDelegate(&view, 0, 7);
    QPointer<QAbstractItemDelegate> dropped = new StandardDelegate(&view, 0, 7);
    rows.setDelegateForRow(0, kept);
    rows.setDelegateForRow(1, dropped);
    rows.setRowCount(1);
    QCOMPARE(rows.rowCount(), 1);
    QCOMPARE(rows.delegateForRow(1), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(kept);
    QVERIFY(!dropped);
    rows.setRowCount(4);
    QCOMPARE(rows.delegateForRow(0), kept.data());
    QCOMPARE(rows.delegateForRow(3), nullptr);
}

void tst_Delegates::rowWithoutDelegateFallsBack()
{
    QStandardItemModel model(2, 2);
    model.setItem(1, 1, new QStandardItem(QStringLiteral("满100减10元券")));
    QTableView view;
    view.setModel(&model);
    RowDelegates rows(&view);
    rows.setDelegateForRow(0, new StandardDelegate(&view, 0, 1));
    QStyleOptionViewItem option;
    option.initFrom(&view);
    QItemDelegate plain;
    const QModelIndex index = model.index(1, 1);
    QCOMPARE(rows.sizeHint(option, index), plain.sizeHint(option, index));
    QCOMPARE(rows.createEditor(&view, option, index), nullptr);
    QCOMPARE(rows.createEditor(&view, option, model.index(0, 0)), nullptr);
}

void tst_Delegates::newLookIsDrawn()
{
    PaintedTable table;
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    table.rows->setDelegateForRow(Unusable, new RowColorDelegate(&table.view, 0, 7, DelegatePaint::tickedRowColor()));
    table.rows->setDelegateForRow(Ticked, new StandardDelegate(&table.view, 0, 7));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QImage image = table.paint();
    QCOMPARE(QColor(image.pixel(table.cell(Unusable, 3).center())).name(), QStringLiteral("#c2e4ff"));
    QCOMPARE(QColor(image.pixel(pointOf(table.cell(Ticked, 3), "top"))).name(),
             QStringLiteral("#ededed"));
}

QTEST_MAIN(tst_Delegates)
#include "tst_delegates.moc"
