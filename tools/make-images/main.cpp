// Draws the pictures the dialogs load from the compiled-in resources.
//
// The coupon dialog's four icon buttons have no caption of their own, so the two large ones
// carry theirs in the picture: it has to read well on a till screen at arm's length.

#include <cstdio>
#include <functional>

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace {

constexpr const char *kCjkFamily = "WenQuanYi Micro Hei";

const QColor kNavy(0x34, 0x45, 0x6E);
const QColor kNavyLight(0x4A, 0x5F, 0x94);
const QColor kAccent(0x00, 0x99, 0xCC);
const QColor kAccentLight(0x1F, 0xB5, 0xE6);
const QColor kBorder(0x9B, 0xB4, 0xFF);
const QColor kWhite(0xFF, 0xFF, 0xFF);

QImage blankImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QPen roundPen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A filled disc with a white arrow; up or down.
QImage arrowImage(bool pointsUp)
{
    QImage image = blankImage(64, 64);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawEllipse(QRectF(2, 2, 60, 60));

    if (!pointsUp) {
        painter.translate(32, 32);
        painter.rotate(180);
        painter.translate(-32, -32);
    }
    painter.setPen(roundPen(kWhite, 6));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(32, 47), QPointF(32, 19));
    QPainterPath head;
    head.moveTo(19, 31);
    head.lineTo(32, 17);
    head.lineTo(45, 31);
    painter.drawPath(head);
    return image;
}

// A rounded button face with its caption drawn in, sized for a 140 x 70 icon.
QImage buttonImage(const QString &caption, const QColor &top, const QColor &bottom)
{
    QImage image = blankImage(140, 70);
    QPainter painter(&image);
    prepare(painter);

    const QRectF face(2, 3, 136, 64);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    painter.setPen(QPen(kBorder, 2));
    painter.setBrush(fill);
    painter.drawRoundedRect(face, 12, 12);

    // A faint highlight along the top edge makes it read as something to press.
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(14, 6.5), QPointF(126, 6.5));

    QFont font(QString::fromLatin1(kCjkFamily));
    font.setPixelSize(30);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    painter.setFont(font);
    painter.setPen(kWhite);
    // Letter spacing also trails the last glyph; shift by half of it to stay centred.
    painter.drawText(face.translated(2, 0), Qt::AlignCenter, caption);
    return image;
}

QImage checkBoxImage(bool ticked)
{
    QImage image = blankImage(32, 32);
    QPainter painter(&image);
    prepare(painter);
    const QRectF box(3, 3, 26, 26);
    if (ticked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kAccent);
        painter.drawRoundedRect(box, 5, 5);
        painter.setPen(roundPen(kWhite, 3.5));
        painter.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(9, 16.5);
        tick.lineTo(14, 21.5);
        tick.lineTo(23.5, 10.5);
        painter.drawPath(tick);
    } else {
        painter.setPen(QPen(kBorder, 2.5));
        painter.setBrush(kWhite);
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }
    return image;
}

// An "i" in a disc, drawn at twice the size the message box shows so it stays sharp when scaled.
QImage infoImage()
{
    QImage image = blankImage(48, 48);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawEllipse(QRectF(1, 1, 46, 46));
    painter.setBrush(kWhite);
    painter.drawEllipse(QPointF(24, 13.5), 3.5, 3.5);
    painter.setPen(roundPen(kWhite, 6));
    painter.drawLine(QPointF(24, 22), QPointF(24, 36));
    return image;
}

QImage closeImage()
{
    QImage image = blankImage(50, 50);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNavy);
    painter.drawEllipse(QRectF(4, 4, 42, 42));
    painter.setPen(roundPen(kWhite, 4));
    painter.drawLine(QPointF(17, 17), QPointF(33, 33));
    painter.drawLine(QPointF(33, 17), QPointF(17, 33));
    return image;
}

struct Picture
{
    const char *fileName;
    std::function<QImage()> draw;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);

    const QStringList arguments = QGuiApplication::arguments();
    const QString outputDir = arguments.size() > 1 ? arguments.at(1) : QStringLiteral(IMAGES_DIR);
    if (!QDir().mkpath(outputDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outputDir));
        return 1;
    }

    // Without the CJK font Qt would quietly substitute one that draws empty boxes for the captions.
    const QFontInfo cjk(QFont(QString::fromLatin1(kCjkFamily)));
    if (cjk.family() != QString::fromLatin1(kCjkFamily)) {
        std::fprintf(stderr, "font \"%s\" not installed (got \"%s\"); install fonts-wqy-microhei\n", kCjkFamily,
                     qPrintable(cjk.family()));
        return 1;
    }

    const Picture pictures[] = {
        {"64x64上.png",
         [] {
             return arrowImage(true);
         }},
        {"64x64下.png",
         [] {
             return arrowImage(false);
         }},
        {"券列表返回.png",
         [] {
             return buttonImage(QStringLiteral("返回"), kNavyLight, kNavy);
         }},
        {"券核销.png",
         [] {
             return buttonImage(QStringLiteral("核销"), kAccentLight, kAccent);
         }},
        {"商品选中.png",
         [] {
             return checkBoxImage(true);
         }},
        {"商品未选中.png",
         [] {
             return checkBoxImage(false);
         }},
        {"message.png",
         [] {
             return infoImage();
         }},
        {"关闭弹窗.png",
         [] {
             return closeImage();
         }},
    };

    int failures = 0;
    for (const Picture &picture : pictures) {
        const QString path = outputDir + QLatin1Char('/') + QString::fromUtf8(picture.fileName);
        if (!picture.draw().save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return failures == 0 ? 0 : 1;
}
