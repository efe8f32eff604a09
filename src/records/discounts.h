#pragma once

#include <QList>

#include "records/records.h"
#include "support/logline.h"

// What the sale's discount lines say about the sale; each answer comes with the one log line
// that explains it.
namespace Records {

// A promotion: any line whose bill number is not "0000" or "2222", where a "1111" line counts
// only for type "95" and a "3333" line not for types "94" and "TWZQ".
bool hasPromotion(const QList<DscDetail> &discounts, LogLine &log);
// A member price: any line of type "94".
bool hasMemberPrice(const QList<DscDetail> &discounts, LogLine &log);

}
