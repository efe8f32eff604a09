// POS keyboard keys forwarded by the coupon dialog: scan code, the host's key definition, the
// dialog action bound to its function number.
#include "entry/vipcouponcpu.h"

#include <QObject>
#include <QSqlQuery>
#include <QVariant>

#include "ui/keymapping.h"

namespace {
const QString kLookupSuffix = QStringLiteral(" TwPosConfig-KeyBoardGetFuncCode");
}

void VipCouponCPU::SlotKeyPressed(int keycode)
{
    QString funcValue;
    QString error;
    if (!GetKeyFunctionCode(keycode, funcValue, error)) {
        ShowMessage(error);
        return;
    }
    m_VipCouponWidget.RunKeyAction(Keys::actionFor(Keys::editionOf(m_sSysType), funcValue));
}

bool VipCouponCPU::GetKeyFunctionCode(int keycode, QString &funcValue, QString &error)
{
    int scan = 0;
    if (!KeyToScanCode(keycode, scan)) {
        error = QStringLiteral("该按键未配置");
        return false;
    }
    return KeyBoardGetFuncCode(scan, funcValue, error);
}

bool VipCouponCPU::KeyToScanCode(int keycode, int &scanCode)
{
    const Keys::Edition edition = m_sSysType == QLatin1String("GEN6") ? Keys::Edition::Gen6 : Keys::Edition::Gen5;
    return Keys::scanCode(edition, keycode, scanCode);
}

bool VipCouponCPU::KeyBoardGetFuncCode(int scanCode, QString &funcValue, QString &error)
{
    const Keys::Edition edition = Keys::editionOf(m_sSysType);
    // Another edition has no key tables to ask: the key simply does nothing.
    if (edition == Keys::Edition::Other)
        return true;

    const QString scan = QString::number(scanCode);
    const bool gen5 = edition == Keys::Edition::Gen5;
    const QString sql = (gen5 ? QStringLiteral("select FuncValue, KeyType from tJkPosKeyDef where ScanCode=")
                              : QStringLiteral("select FuncValue, KeyType from tPosKeyDef where ScanCode="))
        + scan;
    if (gen5)
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("按键查询语句"), sql);

    QString message;
    {
        QSqlQuery query;
        if (!m_PosDB.openRecordset(sql, query, message)) {
            error = QObject::tr("数据库查询失败！") + message + kLookupSuffix;
            return false;
        }
        if (!query.next()) {
            error = QObject::tr("未查找到相应记录！") + message + kLookupSuffix;
            return false;
        }
        funcValue = query.value(QStringLiteral("FuncValue")).toString();
    }
    if (gen5) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("按键查询结果"),
                             QStringLiteral("FuncValue:") + funcValue);
        return true;
    }

    // The till's own override; its texts come from configuration, so they are bound, not spliced.
    const QString traceSql = QStringLiteral("select FuncValue, KeyType from tPosKeyDefDetail where OrgCode='")
        + m_sOrgCode + QStringLiteral("' and PosNo='") + m_sPosNo + QStringLiteral("' and ScanCode='") + scan
        + QStringLiteral("'");
    const QString boundSql =
        QStringLiteral("select FuncValue, KeyType from tPosKeyDefDetail where OrgCode=? and PosNo=? and ScanCode=?");
    // A setting the till lacks reads as a null text, which would bind as SQL NULL and match no
    // row; the statement compares with '' for it.
    const auto text = [](const QString &value) {
        return value.isNull() ? QStringLiteral("") : value;
    };
    QSqlQuery detail;
    if (m_PosDB.openRecordset(boundSql, QVariantList {text(m_sOrgCode), text(m_sPosNo), scan}, detail, message,
                              traceSql)
        && detail.next())
        funcValue = detail.value(QStringLiteral("FuncValue")).toString();
    return true;
}
