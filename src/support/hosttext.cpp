#include "support/hosttext.h"

#include <cstring>

#include <QTextCodec>

namespace HostText {

static QTextCodec *gbkCodec()
{
    static QTextCodec *codec = QTextCodec::codecForName("GBK");
    return codec;
}

QString fromGbk(const char *text)
{
    if (!text)
        return QString();
    const QByteArray bytes(text);
    QTextCodec *codec = gbkCodec();
    return codec ? codec->toUnicode(bytes) : QString::fromLocal8Bit(bytes);
}

QByteArray toLocal8Bit(const QString &text)
{
    return text.toLocal8Bit();
}

bool copyOut(char *dst, const QString &text, int maxSize)
{
    if (!dst)
        return false;
    const QByteArray bytes = toLocal8Bit(text);
    if (maxSize > 0 && bytes.size() + 1 > maxSize)
        return false;
    std::memcpy(dst, bytes.constData(), size_t(bytes.size()) + 1);
    return true;
}

}
