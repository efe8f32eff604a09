#include "support/inifile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>

namespace IniFile {

namespace {

QString decodeText(const QByteArray &content)
{
    QTextCodec::ConverterState state;
    QString text = QTextCodec::codecForName("UTF-8")->toUnicode(content.constData(), content.size(), &state);
    if (state.invalidChars != 0)
        text = QTextCodec::codecForName("GBK")->toUnicode(content);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// The value part of a line: a comment outside quotes is cut off, then one pair of surrounding
// quotes is removed.
QString valueText(const QString &raw)
{
    QString value = raw.trimmed();
    bool quoted = false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        const bool startsComment = c == QLatin1Char(';') || c == QLatin1Char('#');
        const bool afterSpace = i == 0 || value.at(i - 1) == QLatin1Char(' ') || value.at(i - 1) == QLatin1Char('\t');
        if (!quoted && startsComment && afterSpace) {
            value = value.left(i).trimmed();
            break;
        }
    }
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

}

QString value(const QByteArray &content, const QString &key)
{
    const int slash = key.indexOf(QLatin1Char('/'));
    const QString section = slash < 0 ? QString() : key.left(slash).trimmed();
    const QString name = key.mid(slash + 1).trimmed();

    QString currentSection;
    const QStringList lines = decodeText(content).split(QRegularExpression(QStringLiteral("\\r\\n|\\n|\\r")));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int closing = line.indexOf(QLatin1Char(']'));
            if (closing > 0) {
                currentSection = line.mid(1, closing - 1).trimmed();
                continue;
            }
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || currentSection.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        if (line.left(equals).trimmed().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const QString text = valueText(line.mid(equals + 1));
        return text.isNull() ? QStringLiteral("") : text;
    }
    return QString();
}

QString valueInFile(const QString &path, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return value(file.readAll(), key);
}

}
