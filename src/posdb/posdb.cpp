#include "posdb/posdb.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include "support/appsettings.h"

namespace {
const QString kNotCreated = QStringLiteral("Connection is not Created!");
const QString kNotOpened = QStringLiteral(" DataBase is not opened!");
const QString kBadProcedure = QStringLiteral(" 存储过程名称或参数错误!");
const QString kCountMismatch = QStringLiteral(" 字段、格式与值的个数不一致!");

}

PosDB::PosDB()
    : PosDB(HostDatabase::readPosDbConfig(AppSettings::applicationDir()))
{ }

PosDB::PosDB(const HostDatabase::PosDbConfig &config)
    : m_dbType(config.dbType)
    , m_sServer(config.server)
    , m_sDatabaseName(config.databaseName)
    , m_sUserName(config.userName)
    , m_sPassword(config.password)
    , m_nPort(config.port)
{ }

PosDB::~PosDB()
{
    dropConnection();
}

HostDatabase::PosDbConfig PosDB::config() const
{
    HostDatabase::PosDbConfig config;
    config.dbType = m_dbType;
    config.server = m_sServer;
    config.databaseName = m_sDatabaseName;
    config.userName = m_sUserName;
    config.password = m_sPassword;
    config.port = m_nPort;
    return config;
}

void PosDB::dropConnection()
{
    // Queries first: removing a connection that queries still use leaves it registered.
    m_Recordsets.clear();
    const QString name = m_sConnectionName;
    m_pDb.reset();
    m_sConnectionName.clear();
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
}

QString PosDB::activeType() const
{
    return QString::fromLatin1(HostDatabase::dbTypeTraits(m_activeType).name);
}

void PosDB::createConnection(const QString &type)
{
    createConnection(HostDatabase::dbTypeFromText(type));
}

void PosDB::createConnection(HostDatabase::DbType type)
{
    m_activeType = type;
    dropConnection();
    const QString driver = QString::fromLatin1(HostDatabase::dbTypeTraits(type).driver);
    if (driver.isEmpty())
        return;
    // Any registered name counts as taken, valid or not: a connection whose driver failed to
    // load is invalid yet still registered, and reusing its name would replace it under its
    // owner's feet.
    QString name;
    for (qint64 n = 0;; ++n) {
        name = QStringLiteral("MyDBProcessConn") + QString::number(n);
        if (!QSqlDatabase::contains(name))
            break;
    }
    m_sConnectionName = name;
    m_pDb = std::make_unique<QSqlDatabase>(QSqlDatabase::addDatabase(driver, name));
}

bool PosDB::initDb(QString &message)
{
    message.clear();
    return HostDatabase::runGuarded(message, [&] {
        if (m_dbType == HostDatabase::DbType::None) {
            message = tr("未设置数据库类型");
            return false;
        }
        if (m_activeType == HostDatabase::DbType::None)
            createConnection(m_dbType);
        if (!m_pDb || !m_pDb->isOpen()) {
            if (!openByType(m_sServer, m_sDatabaseName, message, m_sUserName, m_sPassword, m_nPort)) {
                m_bOpenFailed = true;
                message += tr("数据库打开失败！");
                return false;
            }
        }
        m_bOpenFailed = false;
        return true;
    });
}

bool PosDB::openByType(const QString &server, const QString &databaseName, QString &message, const QString &userName,
                       const QString &password, int port)
{
    m_sLastDatabase = databaseName;
    switch (m_activeType) {
    case HostDatabase::DbType::Sqlite:
        return openSqlite(databaseName, message);
    case HostDatabase::DbType::MySql:
        return openMysql(server, databaseName, userName, password, message);
    case HostDatabase::DbType::SqlServer:
        return openSqlServer(server, databaseName, userName, password, message, port);
    case HostDatabase::DbType::Oracle:
        return openOracle(server, databaseName, userName, password, message, port);
    case HostDatabase::DbType::Access:
        if (!server.isEmpty())
            return openAccessFromFile(server, message);
        return openAccess(databaseName, message, userName, password);
    case HostDatabase::DbType::None:
    case HostDatabase::DbType::Other:
        break;
    }
    return false;
}

bool PosDB::openConnection(QString &message)
{
    if (m_pDb->open())
        return true;
    message = m_pDb->lastError().text();
    return false;
}

bool PosDB::openSqlite(const QString &path, QString &message)
{
    if (!m_pDb)
        return false;
    m_pDb->setDatabaseName(HostDatabase::resolveBareFileName(path, AppSettings::applicationDir()));
    return openConnection(message);
}

bool PosDB::openMysql(const QString &host, const QString &databaseName, const QString &userName,
                      const QString &password, QString &message)
{
    if (!m_pDb || databaseName.isEmpty())
        return false;
    m_pDb->setHostName(host.isEmpty() ? QStringLiteral("localhost") : host);
    m_pDb->setDatabaseName(databaseName);
    m_pDb->setUserName(userName.isEmpty() ? QStringLiteral("root") : userName);
    m_pDb->setPassword(password);
    if (!openConnection(message))
        return false;
    QSqlQuery names(*m_pDb);
    names.exec(QStringLiteral("SET NAMES 'utf8'"));
    return true;
}

bool PosDB::openSqlServer(const QString &server, const QString &databaseName, const QString &userName,
                          const QString &password, QString &message, int port)
{
    if (!m_pDb)
        return false;
    m_pDb->setDatabaseName(HostDatabase::sqlServerConnectionString(server, databaseName));
    m_pDb->setUserName(userName);
    m_pDb->setPassword(password);
    m_pDb->setPort(HostDatabase::portOrDefault(port, HostDatabase::kSqlServerDefaultPort));
    return openConnection(message);
}

bool PosDB::openOracle(const QString &host, const QString &serviceName, const QString &userName,
                       const QString &password, QString &message, int port)
{
    if (!m_pDb)
        return false;
    m_pDb->setHostName(host);
    m_pDb->setDatabaseName(serviceName);
    m_pDb->setUserName(userName);
    m_pDb->setPassword(password);
    m_pDb->setPort(HostDatabase::portOrDefault(port, HostDatabase::kOracleDefaultPort));
    return openConnection(message);
}

bool PosDB::openAccess(const QString &path, QString &message, const QString &userName, const QString &password)
{
    if (!m_pDb)
        return false;
    const QString resolved = HostDatabase::resolveBareFileName(path, AppSettings::applicationDir());
    const QString user = userName.isEmpty() ? QStringLiteral("sa") : userName;
    m_pDb->setDatabaseName(HostDatabase::accessConnectionString(resolved, user, password));
    return openConnection(message);
}

bool PosDB::openAccessFromFile(const QString &fileName, QString &message)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = HostDatabase::decodeConnectionFile(file.readAll());
    const QString path = HostDatabase::resolveAccessPath(HostDatabase::accessPathFromConnectionText(text),
                                                         AppSettings::applicationDir());
    return openAccess(path, message, QStringLiteral("sa"), QString());
}

bool PosDB::isOpen() const
{
    return m_pDb && m_pDb->isOpen();
}

void PosDB::close()
{
    if (m_pDb)
        m_pDb->close();
}

void PosDB::setConnectOptions(const QString &options)
{
    if (m_pDb && m_pDb->isValid())
        m_pDb->setConnectOptions(options);
}

// The prelude every traced statement shares: no connection object, the trace, a closed
// connection; the body runs only on an open connection, guarded against exceptions.
template<typename Body>
bool PosDB::traced(const QString &operation, const QString &statement, QString &message, Body body)
{
    if (!m_pDb) {
        message = kNotCreated;
        return false;
    }
    message = HostDatabase::traceText(operation, statement);
    return HostDatabase::runGuarded(message, [&] {
        if (!isOpen()) {
            message += kNotOpened;
            return false;
        }
        return body();
    });
}

bool PosDB::openRecordset(const QString &sql, QSqlQuery &result, QString &message)
{
    return traced(QStringLiteral("openRecordset"), sql, message, [&] {
        QSqlQuery query(*m_pDb);
        query.clear();
        const bool ok = query.exec(sql);
        result = query;
        if (!ok)
            message += query.lastError().text();
        return ok;
    });
}

bool PosDB::openRecordset(const QString &sql, const QVariantList &bindValues, QSqlQuery &result, QString &message,
                          const QString &traceSql)
{
    return traced(QStringLiteral("openRecordset"), traceSql, message, [&] {
        QSqlQuery query(*m_pDb);
        query.clear();
        bool ok = query.prepare(sql);
        if (ok) {
            for (const QVariant &value : bindValues)
                query.addBindValue(value);
            ok = query.exec();
        }
        result = query;
        if (!ok)
            message += query.lastError().text();
        return ok;
    });
}

bool PosDB::excuteSQL(const QString &sql, QString &message)
{
    return traced(QStringLiteral("excuteSQL"), sql.left(30), message, [&] {
        QSqlQuery query(*m_pDb);
        query.clear();
        if (!query.exec(sql)) {
            message += query.lastError().text();
            return false;
        }
        return true;
    });
}

bool PosDB::exexProc(const QString &name, QString &message)
{
    return traced(QStringLiteral("exexProc"), name, message, [&] {
        const HostDatabase::DbTypeTraits &type = HostDatabase::dbTypeTraits(m_activeType);
        if (!*type.execPrefix) {
            message = unsupportedProcedureText();
            return false;
        }
        const QString sql = QLatin1String(type.execPrefix) + name + QLatin1String(type.execSuffix);
        QSqlQuery query(*m_pDb);
        query.clear();
        if (!query.prepare(sql) || !query.exec()) {
            message += query.lastError().text();
            return false;
        }
        return true;
    });
}

QString PosDB::unsupportedProcedureText() const
{
    return QStringLiteral("不支持在数据库类型") + activeType() + QStringLiteral("执行存储过程");
}

bool PosDB::exexProcWithArgs(const QString &name, QList<HostDatabase::ProcParam> &parameters, QString &message)
{
    if (!m_pDb) {
        message = kNotCreated;
        return false;
    }
    message = HostDatabase::traceText(QStringLiteral("exexProcWithArgs"), name);
    return HostDatabase::runGuarded(message, [&] {
        if (name.trimmed().isEmpty() || parameters.isEmpty()) {
            message += kBadProcedure;
            return false;
        }
        if (!isOpen()) {
            message += kNotOpened;
            return false;
        }
        const QString sql =
            HostDatabase::procedureCallSql(HostDatabase::dbTypeTraits(m_activeType).procedureCall, name, parameters);
        if (sql.isEmpty()) {
            message = unsupportedProcedureText();
            return false;
        }
        QSqlQuery query(*m_pDb);
        query.clear();
        if (!query.prepare(sql)) {
            message += query.lastError().text();
            return false;
        }
        for (int i = 0; i < parameters.size(); ++i) {
            QVariant value;
            if (!HostDatabase::convertParamValue(parameters.at(i), value)) {
                message += QStringLiteral("类型转换错误");
                return false;
            }
            query.bindValue(i, value, parameters.at(i).isOutput() ? QSql::Out : QSql::In);
        }
        if (!query.exec()) {
            message += query.lastError().text();
            return false;
        }
        for (int i = 0; i < parameters.size(); ++i) {
            if (parameters.at(i).isOutput())
                parameters[i].value = query.boundValue(i).toString();
        }
        return true;
    });
}

bool PosDB::exexProcWithValues(const QString &name, const QString &format, const QVariantList &values, QString &message)
{
    return traced(QStringLiteral("exexProcWithValues"), name, message, [&] {
        QVariantList converted;
        if (name.trimmed().isEmpty() || !HostDatabase::convertByFormat(format, values, converted)) {
            message += kBadProcedure;
            return false;
        }
        return runBound(HostDatabase::positionalExecSql(name, converted.size()), QStringList(), converted, message);
    });
}

bool PosDB::runBound(const QString &sql, const QStringList &names, const QVariantList &values, QString &message)
{
    QSqlQuery query(*m_pDb);
    query.clear();
    if (!query.prepare(sql)) {
        message += query.lastError().text();
        return false;
    }
    for (int i = 0; i < values.size(); ++i) {
        if (names.isEmpty())
            query.addBindValue(values.at(i));
        else
            query.bindValue(QLatin1Char(':') + names.at(i), values.at(i));
    }
    if (!query.exec()) {
        message += query.lastError().text();
        return false;
    }
    return true;
}

bool PosDB::beginTransaction()
{
    if (!isOpen() || !m_pDb->driver()->hasFeature(QSqlDriver::Transactions))
        return false;
    return m_pDb->transaction();
}

bool PosDB::commit()
{
    if (!isOpen() || !m_pDb->driver()->hasFeature(QSqlDriver::Transactions))
        return false;
    return m_pDb->commit();
}

bool PosDB::rollback()
{
    if (!isOpen() || !m_pDb->driver()->hasFeature(QSqlDriver::Transactions))
        return false;
    return m_pDb->rollback();
}

QDateTime PosDB::getServerTime()
{
    QString message;
    QDateTime serverTime;
    HostDatabase::runGuarded(message, [&] {
        const QString sql = QString::fromLatin1(HostDatabase::dbTypeTraits(m_activeType).serverTimeSql);
        if (!isOpen() || sql.isEmpty())
            return false;
        QSqlQuery query(*m_pDb);
        if (!query.exec(sql) || !query.next())
            return false;
        serverTime = HostDatabase::convertByLetter(query.value(QStringLiteral("date")), QLatin1Char('t')).toDateTime();
        return serverTime.isValid();
    });
    return serverTime.isValid() ? serverTime : QDateTime::currentDateTime();
}

QSqlQuery *PosDB::recordset(int handle) const
{
    const auto found = m_Recordsets.find(handle);
    return found == m_Recordsets.end() ? nullptr : found->second.get();
}

bool PosDB::activeRecordset(int handle, QSqlQuery *&query) const
{
    query = isOpen() ? recordset(handle) : nullptr;
    return query && query->isActive();
}

bool PosDB::openRecordset(int handle, const QString &sql, QString &message)
{
    return traced(QStringLiteral("openRecordset"), sql, message, [&] {
        std::unique_ptr<QSqlQuery> &query = m_Recordsets[handle];
        if (!query)
            query = std::make_unique<QSqlQuery>(*m_pDb);
        query->clear();
        if (!query->exec(sql)) {
            message += query->lastError().text();
            return false;
        }
        return true;
    });
}

void PosDB::closeRecordset(int handle)
{
    const auto found = m_Recordsets.find(handle);
    if (found == m_Recordsets.end())
        return;
    found->second->clear();
    m_Recordsets.erase(found);
}

bool PosDB::moveFirst(int handle)
{
    QSqlQuery *query = nullptr;
    return activeRecordset(handle, query) && query->first();
}

bool PosDB::movePrevious(int handle)
{
    QSqlQuery *query = nullptr;
    return activeRecordset(handle, query) && query->previous();
}

bool PosDB::moveNext(int handle)
{
    QSqlQuery *query = nullptr;
    return activeRecordset(handle, query) && query->next();
}

bool PosDB::moveLast(int handle)
{
    QSqlQuery *query = nullptr;
    return activeRecordset(handle, query) && query->last();
}

bool PosDB::move(int handle, int row)
{
    QSqlQuery *query = nullptr;
    return activeRecordset(handle, query) && query->seek(row);
}

bool PosDB::isBOF(int handle) const
{
    const QSqlQuery *query = recordset(handle);
    return !query || query->at() == QSql::BeforeFirstRow;
}

bool PosDB::isEOF(int handle) const
{
    const QSqlQuery *query = recordset(handle);
    return !query || query->at() == QSql::AfterLastRow;
}

int PosDB::recordCount(int handle)
{
    QSqlQuery *query = nullptr;
    if (!activeRecordset(handle, query))
        return -1;
    if (m_pDb->driver()->hasFeature(QSqlDriver::QuerySize))
        return query->size();
    const int position = query->at();
    const int count = query->last() ? query->at() + 1 : 0;
    if (position >= 0) {
        query->seek(position);
    } else if (position == QSql::AfterLastRow) {
        query->last();
        query->next();
    } else {
        query->seek(QSql::BeforeFirstRow);
    }
    return count;
}

bool PosDB::getFieldValue(int handle, const QStringList &fields, const QString &format, QVariantList &values)
{
    values.clear();
    QString message;
    return HostDatabase::runGuarded(message, [&] {
        QSqlQuery *query = nullptr;
        if (!activeRecordset(handle, query) || !query->isValid())
            return false;
        const QVector<QChar> letters = HostDatabase::formatLetters(format);
        if (letters.size() != fields.size())
            return false;
        const QSqlRecord record = query->record();
        QVariantList read;
        for (int i = 0; i < fields.size(); ++i) {
            const int column = record.indexOf(fields.at(i));
            if (column < 0)
                return false;
            read.append(HostDatabase::convertByLetter(query->value(column), letters.at(i)));
        }
        values = read;
        return true;
    });
}

bool PosDB::insertRecord(const QString &table, const QStringList &fields, const QString &format,
                         const QVariantList &values, QString &message)
{
    return runFormatted(QStringLiteral("insertRecord"), HostDatabase::insertSql(table, fields), fields, format, values,
                        message);
}

bool PosDB::updateRecord(const QString &table, const QStringList &fields, const QString &format,
                         const QVariantList &values, QString &message, const QString &condition)
{
    return runFormatted(QStringLiteral("updateRecord"), HostDatabase::updateSql(table, fields, condition), fields,
                        format, values, message);
}

// Insert and update share everything but their statement: trace, checks, conversion, binding.
bool PosDB::runFormatted(const QString &operation, const QString &sql, const QStringList &fields, const QString &format,
                         const QVariantList &values, QString &message)
{
    return traced(operation, sql, message, [&] {
        QVariantList converted;
        if (fields.size() != values.size() || !HostDatabase::convertByFormat(format, values, converted)) {
            message += kCountMismatch;
            return false;
        }
        return runBound(sql, fields, converted, message);
    });
}

QString PosDB::buildInsertSql(const QString &table, const QList<HostDatabase::FieldValue> &fields) const
{
    return HostDatabase::insertStatementText(table, fields);
}
