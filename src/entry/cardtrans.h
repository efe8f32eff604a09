#pragma once

class LogWriter;

namespace Entry {

// The twelve parameters of the card-transaction entry, as the host passed them.
struct HostParameters
{
    char *p[12];
    char *at(int number) const { return p[number - 1]; } // 1-based, as the host documents them
};

// One whole call: always returns 1; the outcome is in parameter 5. Never throws.
int cardTrans(LogWriter &libraryLog, const HostParameters &params);

}
