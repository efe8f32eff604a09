#pragma once

#include <map>
#include <memory>

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "posdb/posdbconfig.h"
#include "posdb/posdbsql.h"

// The one connection of a call to the host POS database. Operations never throw: failures
// come back as false (or -1, or the local time) with the reason in the message where there is
// one. The message of a statement always starts with its trace "函数:<op>||执行:<sql>||".
class PosDB
{
    Q_DECLARE_TR_FUNCTIONS(PosDB)
public:
    // Reads the settings from the INI files of the application directory; connects nothing.
    PosDB();
    explicit PosDB(const HostDatabase::PosDbConfig &config);
    virtual ~PosDB();

    PosDB(const PosDB &) = delete;
    PosDB &operator=(const PosDB &) = delete;

    // Connection
    // type is the settings' text in any case.
    void createConnection(const QString &type);
    bool initDb(QString &message);
    bool openByType(const QString &server, const QString &databaseName, QString &message, const QString &userName,
                    const QString &password, int port);
    bool openSqlite(const QString &path, QString &message);
    bool openMysql(const QString &host, const QString &databaseName, const QString &userName, const QString &password,
                   QString &message);
    bool openSqlServer(const QString &server, const QString &databaseName, const QString &userName,
                       const QString &password, QString &message, int port);
    bool openOracle(const QString &host, const QString &serviceName, const QString &userName, const QString &password,
                    QString &message, int port);
    bool openAccess(const QString &path, QString &message, const QString &userName, const QString &password);
    bool openAccessFromFile(const QString &fileName, QString &message);
    bool isOpen() const;
    void close();
    void setConnectOptions(const QString &options);

    QString connectionName() const { return m_sConnectionName; }
    // The upper-cased name of the type the connection was created for; empty for a type we do
    // not know.
    QString activeType() const;
    QString lastDatabase() const { return m_sLastDatabase; }
    bool openFailed() const { return m_bOpenFailed; }
    HostDatabase::PosDbConfig config() const;

    // Statements. result receives the query whether or not it ran, positioned before its first row.
    bool openRecordset(const QString &sql, QSqlQuery &result, QString &message);
    // sql carries positional "?" placeholders for bindValues; the trace shows traceSql, so the
    // log reads like the statement a person would write while the values stay out of the SQL.
    bool openRecordset(const QString &sql, const QVariantList &bindValues, QSqlQuery &result, QString &message,
                       const QString &traceSql);
    bool excuteSQL(const QString &sql, QString &message);
    bool exexProc(const QString &name, QString &message);
    // Output parameters receive their values after a successful call.
    bool exexProcWithArgs(const QString &name, QList<HostDatabase::ProcParam> &parameters, QString &message);
    // "exec name ?,?..." with values converted by the letters of format.
    bool exexProcWithValues(const QString &name, const QString &format, const QVariantList &values, QString &message);

    bool beginTransaction();
    bool commit();
    bool rollback();

    // The database server's clock; the local clock when the server cannot tell.
    QDateTime getServerTime();

    // Recordsets kept under a handle of the caller's choosing.
    bool openRecordset(int handle, const QString &sql, QString &message);
    void closeRecordset(int handle);
    bool moveFirst(int handle);
    bool movePrevious(int handle);
    bool moveNext(int handle);
    bool moveLast(int handle);
    bool move(int handle, int row);
    bool isBOF(int handle) const;
    bool isEOF(int handle) const;
    int recordCount(int handle);
    // Reads fields of the current row, converted by the letters of format, into values.
    bool getFieldValue(int handle, const QStringList &fields, const QString &format, QVariantList &values);

    bool insertRecord(const QString &table, const QStringList &fields, const QString &format,
                      const QVariantList &values, QString &message);
    // Without a condition every row of the table is updated; the condition is SQL text and
    // must not carry unchecked input.
    bool updateRecord(const QString &table, const QStringList &fields, const QString &format,
                      const QVariantList &values, QString &message, const QString &condition = QString());
    QString buildInsertSql(const QString &table, const QList<HostDatabase::FieldValue> &fields) const;

private:
    QSqlQuery *recordset(int handle) const;
    bool activeRecordset(int handle, QSqlQuery *&query) const;
    void createConnection(HostDatabase::DbType type);
    bool openConnection(QString &message);
    QString unsupportedProcedureText() const;
    bool runBound(const QString &sql, const QStringList &names, const QVariantList &values, QString &message);
    bool runFormatted(const QString &operation, const QString &sql, const QStringList &fields, const QString &format,
                      const QVariantList &values, QString &message);
    template<typename Body>
    bool traced(const QString &operation, const QString &statement, QString &message, Body body);
    void dropConnection();

    std::map<int, std::unique_ptr<QSqlQuery>> m_Recordsets;
    std::unique_ptr<QSqlDatabase> m_pDb;
    QString m_sConnectionName;
    HostDatabase::DbType m_activeType = HostDatabase::DbType::None;
    QString m_sLastDatabase;
    bool m_bOpenFailed = false;
    HostDatabase::DbType m_dbType = HostDatabase::DbType::None;
    QString m_sServer;
    QString m_sDatabaseName;
    QString m_sUserName;
    QString m_sPassword;
    int m_nPort = 0;
};
