#include "entry/pendingreversals.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

namespace PendingReversals {

QString journalPath(const QString &folder)
{
    return folder + QStringLiteral("/TwCouponPay5.reversals.json");
}

std::optional<QList<Gateway::PendingReversal>> load(const QString &path, QString &error)
{
    QList<Gateway::PendingReversal> entries;
    QFile file(path);
    if (!file.exists())
        return entries;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("待撤销记录文件暂时无法打开：") + path + QLatin1Char(' ') + file.errorString();
        return std::nullopt;
    }
    if (Gateway::parseJournal(file.readAll(), entries))
        return entries;
    entries.clear();
    file.close();
    const QString aside = path + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    error = QFile::rename(path, aside) ? QStringLiteral("待撤销记录文件无法读取，已移到 ") + aside
                                       : QStringLiteral("待撤销记录文件无法读取，也无法移走：") + path;
    return entries;
}

bool save(const QString &path, const QList<Gateway::PendingReversal> &entries, QString &error)
{
    if (entries.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            error = QStringLiteral("待撤销记录文件无法删除：") + path;
            return false;
        }
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Gateway::journalText(entries)) < 0 || !file.commit()) {
        error = QStringLiteral("待撤销记录文件无法写入：") + path + QLatin1Char(' ') + file.errorString();
        return false;
    }
    return true;
}

}
