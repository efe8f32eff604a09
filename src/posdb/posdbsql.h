#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "posdb/posdbconfig.h"

// Statement texts and value conversions of the POS database class; no connection needed.
namespace HostDatabase {

// One "%"-introduced letter per value: "b" byte array, "d"/"f" number, "s" text,
// "t" date-time, any other letter an integer. "%s%d" gives {'s', 'd'}.
QVector<QChar> formatLetters(const QString &format);
QVariant convertByLetter(const QVariant &value, QChar letter);
// Converts values by the letters of format; false when the counts differ.
bool convertByFormat(const QString &format, const QVariantList &values, QVariantList &converted);

// "INSERT INTO t(a,b) VALUES (:a,:b)"
QString insertSql(const QString &table, const QStringList &fields);
// "UPDATE t SET a=:a,b=:b", followed by " WHERE " + condition when a condition is given.
QString updateSql(const QString &table, const QStringList &fields, const QString &condition);
// "exec name ?,?" for two values.
QString positionalExecSql(const QString &name, int valueCount);

// A literal field of a text-only insert statement.
struct FieldValue
{
    QString name;
    QString value;
    bool isText = false; // quoted when true, written bare otherwise
};
// "insert into t(a,b) values('x',1);". Quotes inside a text value are doubled, so the value
// stays one literal whatever it holds.
QString insertStatementText(const QString &table, const QList<FieldValue> &fields);

// A stored procedure parameter. Direction 2 is an output parameter; the value type is a
// QMetaType id used to convert the text value before binding.
struct ProcParam
{
    static constexpr int kInput = 1;
    static constexpr int kOutput = 2;
    // Input parameters of type 1 must not be empty for the host's procedures: they get "***".
    ProcParam(const QString &name, const QString &value, int direction, int valueType);
    ProcParam() = default;

    QString name;
    QString value;
    int direction = kInput;
    int valueType = QMetaType::QString;

    bool isOutput() const { return direction == kOutput; }
};
// The call text in the type's form (DbTypeTraits::procedureCall); empty for ProcedureCall::None.
QString procedureCallSql(ProcedureCall form, const QString &name, const QList<ProcParam> &params);
// False when the text does not convert to the parameter's value type.
bool convertParamValue(const ProcParam &param, QVariant &converted);

// Runs body and turns anything it throws into false plus text appended to message:
// the exception's own text when it has one, "未定义的异常" otherwise.
bool runGuarded(QString &message, const std::function<bool()> &body);

}
