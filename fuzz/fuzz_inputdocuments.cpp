// The four input documents of one call, as the entry receives them: NUL-terminated GBK texts.
// The fuzz input is cut at its first three NUL bytes into header, goods, pay and Udp2; missing
// parts are empty documents and bytes after a fourth NUL are ignored, as a C string would.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzzchecks.h"
#include "records/inputdocuments.h"
#include "support/hosttext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::array<std::string, 4> parts;
    size_t part = 0;
    for (size_t i = 0; i < size && part < parts.size(); ++i) {
        if (data[i] == 0)
            ++part;
        else
            parts[part].push_back(static_cast<char>(data[i]));
    }

    std::array<QString, 4> documents;
    for (size_t i = 0; i < parts.size(); ++i)
        documents[i] = HostText::fromGbk(parts[i].c_str());

    Records::InputRecords records;
    const QString untouched = QStringLiteral("untouched");
    QString message = untouched;
    const bool ok =
        Records::parseInputDocuments(documents[0], documents[1], documents[2], documents[3], records, message);

    if (ok)
        FUZZ_CHECK(message == untouched);
    else
        FUZZ_CHECK(message != untouched && !message.isEmpty());
    // Goods lines are read on a sale only, and the index never holds more lines than the list.
    if (records.tranMain.txn_type != QLatin1String("SALE")) {
        FUZZ_CHECK(records.pluDetails.isEmpty());
        FUZZ_CHECK(records.tranPayDetails.isEmpty());
        FUZZ_CHECK(records.dscDetails.isEmpty());
    }
    FUZZ_CHECK(records.pluIndex.size() <= records.pluDetails.size());
    if (records.tranMain.txn_type != QLatin1String("VOID")) {
        FUZZ_CHECK(records.payRDetails.isEmpty());
        FUZZ_CHECK(records.payNowRDetails.isEmpty());
    }
    return 0;
}
