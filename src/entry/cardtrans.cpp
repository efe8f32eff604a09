#include "entry/cardtrans.h"

#include "support/hosttext.h"
#include "support/logwriter.h"

namespace Entry {

int cardTrans(LogWriter &libraryLog, const HostParameters &params)
{
    libraryLog.WriteLog(QStringLiteral("SCRM批量用券动态库"), QStringLiteral("TwCardTrans"),
                        QStringLiteral("请稍等，调用动态库中"));
    HostText::copyOut(params.at(5), QStringLiteral("111111"));
    HostText::copyOut(params.at(6), QStringLiteral("交易类型错误"));
    return 1;
}

}
