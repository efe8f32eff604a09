#pragma once

#include <QString>

// The rules of one HTTP exchange with the SCRM server that need no network to decide.
namespace Gateway {

constexpr int kDefaultTimeoutMs = 20000;

// "Config/TimeOut" in seconds -> milliseconds. Missing, not an integer or negative: 20 s
// (a negative value would otherwise start no timer and leave the till waiting forever).
int timeoutMillis(const QString &configured);

// Form bodies for the consumption and the cancellation, JSON for everything else; decided on
// the whole URL, case-sensitively.
QString contentTypeFor(const QString &url);

QString noBaseAddressMessage();                                  // "未配置接口地址！"
QString timeoutMessage();                                        // "请求超时，请再次尝试或联系管理员处理"
QString networkErrorMessage(int errorCode, const QString &errorString);

}
