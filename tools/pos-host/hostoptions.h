#pragma once

#include <string>
#include <vector>

// Command line of the sample host.
struct HostOptions
{
    std::string libraryPath; // empty: libTwCouponPay5.so beside the executable
    std::string entryName = "TwCardTrans";
    bool convertToGbk = false; // the document files are UTF-8; pass them as GBK
    std::size_t bufferSize = 1 << 20; // bytes per output buffer
    std::string outDir; // write each output parameter to <outDir>/pN.txt
    int repeat = 1; // calls in a row, same documents (with a plan: the whole plan)
    std::string planFile; // one call a line, four documents each, instead of DOCUMENTS
    std::vector<int> pauseAfter; // stop the process after these call numbers (outside sampling)
    std::string cashierScript; // a scripted cashier works the dialogs (demo, tests)
    std::string robotPath; // empty: libcashier-robot.so beside the executable
    std::string documents[4]; // header, goods, pay, Udp2 file names; "null" passes a null pointer
    bool nullDocument[4] = {false, false, false, false};
    std::string error; // non-empty when the command line is wrong
};

HostOptions parseHostOptions(int argc, char **argv);
const char *hostUsage();
