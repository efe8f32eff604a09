#include "posdb/posdbsql.h"

#include <exception>

#include <QByteArray>
#include <QDateTime>

namespace HostDatabase {

namespace {

// Several drivers hand date-times back as text with a blank between date and time, which the
// ISO conversion of QVariant does not take.
QDateTime toDateTime(const QVariant &value)
{
    QDateTime dateTime = value.toDateTime();
    if (dateTime.isValid() || value.userType() != QMetaType::QString)
        return dateTime;
    const QString text = value.toString().trimmed();
    dateTime = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dateTime.isValid())
        dateTime = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return dateTime;
}

}

QVector<QChar> formatLetters(const QString &format)
{
    QVector<QChar> letters;
    const QStringList parts = format.split(QLatin1Char('%'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString letter = part.trimmed();
        if (!letter.isEmpty())
            letters.append(letter.at(0));
    }
    return letters;
}

QVariant convertByLetter(const QVariant &value, QChar letter)
{
    switch (letter.unicode()) {
    case 'b':
        return QVariant(value.toByteArray());
    case 'd':
    case 'f':
        return QVariant(value.toDouble());
    case 's':
        return QVariant(value.toString());
    case 't':
        return QVariant(toDateTime(value));
    default:
        return QVariant(value.toLongLong());
    }
}

bool convertByFormat(const QString &format, const QVariantList &values, QVariantList &converted)
{
    const QVector<QChar> letters = formatLetters(format);
    converted.clear();
    if (letters.size() != values.size())
        return false;
    for (int i = 0; i < values.size(); ++i)
        converted.append(convertByLetter(values.at(i), letters.at(i)));
    return true;
}

QString insertSql(const QString &table, const QStringList &fields)
{
    QStringList placeholders;
    for (const QString &field : fields)
        placeholders.append(QLatin1Char(':') + field);
    return QStringLiteral("INSERT INTO %1(").arg(table) + fields.join(QLatin1Char(',')) + QStringLiteral(") VALUES (")
        + placeholders.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString updateSql(const QString &table, const QStringList &fields, const QString &condition)
{
    QStringList pairs;
    for (const QString &field : fields)
        pairs.append(field + QStringLiteral("=:") + field);
    QString sql = QStringLiteral("UPDATE %1 SET ").arg(table) + pairs.join(QLatin1Char(','));
    if (!condition.trimmed().isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    return sql;
}

QString positionalExecSql(const QString &name, int valueCount)
{
    QString sql = QStringLiteral("exec %1").arg(name);
    for (int i = 0; i < valueCount; ++i)
        sql += i == 0 ? QStringLiteral(" ?") : QStringLiteral(",?");
    return sql;
}

QString insertStatementText(const QString &table, const QList<FieldValue> &fields)
{
    QStringList names;
    QStringList values;
    for (const FieldValue &field : fields) {
        names.append(field.name);
        if (field.isText) {
            QString escaped = field.value;
            escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
            values.append(QLatin1Char('\'') + escaped + QLatin1Char('\''));
        } else {
            values.append(field.value);
        }
    }
    return QStringLiteral("insert into ") + table + QLatin1Char('(') + names.join(QLatin1Char(','))
        + QStringLiteral(") values(") + values.join(QLatin1Char(',')) + QStringLiteral(");");
}

ProcParam::ProcParam(const QString &name_, const QString &value_, int direction_, int valueType_)
    : name(name_)
    , value(value_)
    , direction(direction_)
    , valueType(valueType_)
{
    if (direction != kOutput && value.isEmpty() && valueType == 1)
        value = QStringLiteral("***");
}

QString procedureCallSql(ProcedureCall form, const QString &name, const QList<ProcParam> &params)
{
    if (form == ProcedureCall::Named) {
        QString sql = QStringLiteral("CALL %1(").arg(name);
        for (int i = 0; i < params.size(); ++i)
            sql += (i == 0 ? QStringLiteral(":") : QStringLiteral(",:")) + params.at(i).name;
        return sql + QLatin1Char(')');
    }
    if (form == ProcedureCall::Marks) {
        QString sql = QStringLiteral("exec %1 ").arg(name);
        for (int i = 0; i < params.size(); ++i) {
            sql += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
            if (params.at(i).isOutput())
                sql += QStringLiteral(" output ");
        }
        return sql;
    }
    return QString();
}

bool convertParamValue(const ProcParam &param, QVariant &converted)
{
    converted = QVariant(param.value);
    // An empty output parameter only reserves its place: a null of the right type.
    if (param.isOutput() && param.value.isEmpty()) {
        converted = QVariant(QVariant::Type(param.valueType));
        return converted.isValid() || param.valueType == QMetaType::UnknownType;
    }
    return converted.convert(param.valueType);
}

bool runGuarded(QString &message, const std::function<bool()> &body)
{
    try {
        return body();
    } catch (const std::exception &e) {
        message += QString::fromLocal8Bit(e.what());
    } catch (const QString &text) {
        message += text;
    } catch (const char *text) {
        message += QString::fromLocal8Bit(text);
    } catch (...) {
        message += QStringLiteral("未定义的异常");
    }
    return false;
}

}
