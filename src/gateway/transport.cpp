#include "gateway/transport.h"

#include <limits>

#include <QObject>

namespace Gateway {

int timeoutMillis(const QString &configured)
{
    bool ok = false;
    const qint64 seconds = configured.toLongLong(&ok);
    if (!ok || seconds < 0)
        return kDefaultTimeoutMs;
    const qint64 millis = seconds * 1000;
    if (millis > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(millis);
}

QString contentTypeFor(const QString &url)
{
    if (url.contains(QLatin1String("batchConsumeCerti")) || url.contains(QLatin1String("offlineCancelCerti")))
        return QStringLiteral("application/x-www-form-urlencoded");
    return QStringLiteral("application/json");
}

QString noBaseAddressMessage()
{
    return QStringLiteral("未配置接口地址！");
}

QString timeoutMessage()
{
    return QStringLiteral("请求超时，请再次尝试或联系管理员处理");
}

QString networkErrorMessage(int errorCode, const QString &errorString)
{
    return QObject::tr("网络错误，请再次尝试或联系管理员处理。错误代码:") + QString::number(errorCode)
        + QLatin1Char(' ') + errorString;
}

}
