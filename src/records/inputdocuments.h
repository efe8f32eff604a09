#pragma once

#include <QList>
#include <QString>

#include "records/records.h"

// The host's four input documents read into the call's records.
namespace Records {

// Everything the input parse writes. The controller hands in its current records and takes
// back what the parse left, also after a failure (earlier steps keep what they stored).
struct InputRecords
{
    TranMainDetail tranMain;
    QList<PluDetail> pluDetails;
    PluIndex pluIndex;
    QList<DscDetail> dscDetails;
    QList<TranPayDetail> tranPayDetails; // appended to, never emptied here
    QList<TranPayDetail> payRDetails;
    QList<TranPayDetail> payNowRDetails;
};

// false with the cashier's message at the first failure; message is untouched on success.
bool parseInputDocuments(const QString &header, const QString &goods, const QString &pay, const QString &udp2,
                         InputRecords &records, QString &message);

}
