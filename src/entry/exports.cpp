// The library's export surface: the C entry points and the load/unload lifetime.
#include "entry/cardtrans.h"
#include "entry/qmfcapp.h"
#include "entry/twexport.h"
#include "platform/hostbridge.h"
#include "support/logwriter.h"

namespace {

// Created when the library is loaded, before the host can call in; lives until unload. The C
// runtime runs this on the module's process attach and detach, on Windows as on Linux.
struct LibraryLifetime
{
    LibraryLifetime()
    {
        log = new LogWriter;
        ownsApplication = QMfcApp::EnsureApplication(HostBridge::moduleOf(&s_anchor));
    }
    ~LibraryLifetime()
    {
        // Normally the pin keeps us loaded until the process ends; should the pin have failed
        // and the host unload us, a hook left behind would call into unmapped code.
        HostBridge::removeMessageHook(QMfcApp::messageHook());
        // A pinned library is only torn down when the process ends. On Linux the Qt globals
        // first used after our load are gone by then and QApplication's teardown would use
        // them: there the process's end reclaims the object instead.
        if (QMfcApp::shouldDeleteAtUnload(ownsApplication, QCoreApplication::instance() != nullptr, QMfcApp::isPinned(),
                                          HostBridge::applicationTeardownAtExitIsSafe()))
            delete QCoreApplication::instance();
        delete log;
    }
    static const char s_anchor;
    LogWriter *log = nullptr;
    bool ownsApplication = false;
};
const char LibraryLifetime::s_anchor = 0;
LibraryLifetime s_library;

int cardTrans(char *p1, char *p2, char *p3, char *p4, char *p5, char *p6, char *p7, char *p8, char *p9, char *p10,
              char *p11, char *p12)
{
    Entry::HostParameters params {{p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11, p12}};
    return Entry::cardTrans(*s_library.log, params);
}

} // namespace

TW_C_EXPORT int TW_CALL TwCardTrans(char *p1, char *p2, char *p3, char *p4, char *p5, char *p6, char *p7, char *p8,
                                    char *p9, char *p10, char *p11, char *p12)
{
    return cardTrans(p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11, p12);
}

TW_C_EXPORT int TW_CALL QTwCardTrans(char *p1, char *p2, char *p3, char *p4, char *p5, char *p6, char *p7, char *p8,
                                     char *p9, char *p10, char *p11, char *p12)
{
    return cardTrans(p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11, p12);
}

#ifdef _WIN32
// The same entry for till languages whose external declarations only call __stdcall functions
// (VB6 Declare, PowerBuilder): the callee removes the twelve parameters. Not marked for export
// here, which would export the decorated name: TwCouponPay5-link.def exports it undecorated.
extern "C" int __stdcall TwCardTransStd(char *p1, char *p2, char *p3, char *p4, char *p5, char *p6, char *p7, char *p8,
                                        char *p9, char *p10, char *p11, char *p12)
{
    return cardTrans(p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11, p12);
}
#endif
