// The controller's signing operations: the digest rules are plain functions, the log lines
// are written here.
#include "entry/vipcouponcpu.h"

QString VipCouponCPU::MakeSign(Gateway::ParamSet params, QString &signedParamText)
{
    const Gateway::QuerySignature signature = Gateway::signQuery(params);
    signedParamText = signature.paramText;
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("签名字符串"), signature.baseText);
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("签名结果"), signature.signature);
    return signature.signature;
}

QString VipCouponCPU::MakeSignedBody(Gateway::ParamSet params)
{
    const Gateway::SignedFormBody signedBody = Gateway::signFormBody(params);
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("签名结果"), signedBody.signature);
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("发送报文明文"), signedBody.plainBody);
    return signedBody.body;
}

QString VipCouponCPU::JsonToString(const QJsonObject &object)
{
    return Gateway::jsonToString(object);
}

QString VipCouponCPU::JsonToString(const QJsonArray &array)
{
    return Gateway::jsonToString(array);
}
