#include "hostoptions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

const char *hostUsage()
{
    return "usage: pos-host [options] HEADER GOODS PAY UDP2\n"
           "       pos-host [options] --plan FILE\n"
           "  Loads the coupon payment library and calls its entry once with the four documents.\n"
           "  A document named 'null' is passed as a null pointer.\n"
           "options:\n"
#ifdef _WIN32
           "  --lib PATH        library to load (default: TwCouponPay5.dll beside pos-host)\n"
#else
           "  --lib PATH        library to load (default: libTwCouponPay5.so beside pos-host)\n"
#endif
           "  --entry NAME      TwCardTrans (default) or QTwCardTrans\n"
           "  --gbk             the document files are UTF-8: convert them to GBK first\n"
           "  --buffer-size N   bytes of each output buffer (default 1048576)\n"
           "  --out-dir DIR     also write parameters 5 to 12 to DIR/p5.txt ... DIR/p12.txt\n"
           "  --repeat N        make N calls in a row (default 1)\n"
           "  --plan FILE       the documents of each call, one call a line: HEADER GOODS PAY UDP2\n"
           "                    (names relative to the plan's folder, '#' starts a comment);\n"
           "                    --repeat N then runs the whole plan N times\n"
#ifdef _WIN32
           "  --pause-after N[,N...]  after these calls print '== paused after call N (pid P)' and\n"
           "                    wait for a line on the standard input\n"
#else
           "  --pause-after N[,N...]  after these calls print '== paused after call N (pid P)' and\n"
           "                    stop the process (SIGSTOP) until it is continued (SIGCONT)\n"
#endif
           "  --cashier FILE    let a scripted cashier work the dialogs (see tools/cashier-robot)\n"
           "  --robot PATH      the scripted cashier library (default: beside pos-host)\n"
           "exit status: 0 when the (last) result code is 000000, 1 otherwise, 2 on usage errors\n";
}

HostOptions parseHostOptions(int argc, char **argv)
{
    HostOptions options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *name) -> std::string {
            if (i + 1 >= argc) {
                options.error = std::string(name) + " needs a value";
                return std::string();
            }
            return argv[++i];
        };
        if (arg == "--lib") {
            options.libraryPath = value("--lib");
        } else if (arg == "--entry") {
            options.entryName = value("--entry");
            if (options.entryName != "TwCardTrans" && options.entryName != "QTwCardTrans")
                options.error = "--entry takes TwCardTrans or QTwCardTrans";
        } else if (arg == "--gbk") {
            options.convertToGbk = true;
        } else if (arg == "--buffer-size") {
            const long size = std::strtol(value("--buffer-size").c_str(), nullptr, 10);
            if (size < 16)
                options.error = "--buffer-size must be at least 16";
            else
                options.bufferSize = std::size_t(size);
        } else if (arg == "--out-dir") {
            options.outDir = value("--out-dir");
        } else if (arg == "--repeat") {
            options.repeat = std::atoi(value("--repeat").c_str());
            if (options.repeat < 1)
                options.error = "--repeat must be at least 1";
        } else if (arg == "--plan") {
            options.planFile = value("--plan");
        } else if (arg == "--pause-after") {
            const std::string list = value("--pause-after");
            std::size_t from = 0;
            while (options.error.empty() && from <= list.size()) {
                const std::size_t comma = std::min(list.find(',', from), list.size());
                const int call = std::atoi(list.substr(from, comma - from).c_str());
                if (call < 1)
                    options.error = "--pause-after takes call numbers from 1";
                else
                    options.pauseAfter.push_back(call);
                from = comma + 1;
            }
        } else if (arg == "--cashier") {
            options.cashierScript = value("--cashier");
        } else if (arg == "--robot") {
            options.robotPath = value("--robot");
        } else if (arg == "--help" || arg == "-h") {
            options.error = "help";
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            options.error = "unknown option " + arg;
        } else if (positional < 4) {
            options.nullDocument[positional] = (arg == "null");
            options.documents[positional++] = arg;
        } else {
            options.error = "too many documents";
        }
        if (!options.error.empty())
            return options;
    }
    if (!options.planFile.empty() && positional != 0)
        options.error = "--plan names the documents: give no others";
    else if (options.planFile.empty() && positional != 4)
        options.error = "four documents are needed";
    return options;
}
