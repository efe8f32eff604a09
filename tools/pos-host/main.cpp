// A plain POS host: no Qt, loads the coupon payment library at run time and calls its entry
// the way a till does, with output buffers it owns.
#include <dlfcn.h>
#include <iconv.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hostoptions.h"

namespace {

using CardTrans = int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                          char *, char *, char *);

// Pre-filled into every output buffer so that untouched parameters can be told apart.
const char kUntouched[] = "\x01untouched\x01";

std::string executableDir()
{
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return ".";
    std::string full(path, std::size_t(n));
    return full.substr(0, full.find_last_of('/'));
}

bool readFile(const std::string &name, std::string &content)
{
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return true;
}

bool utf8ToGbk(const std::string &utf8, std::string &gbk)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == iconv_t(-1))
        return false;
    std::vector<char> out(utf8.size() * 2 + 16);
    char *in = const_cast<char *>(utf8.data());
    std::size_t inLeft = utf8.size();
    char *outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == std::size_t(-1))
        return false;
    gbk.assign(out.data(), out.size() - outLeft);
    return true;
}

bool untouched(const std::vector<char> &buffer)
{
    return std::strcmp(buffer.data(), kUntouched) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const HostOptions options = parseHostOptions(argc, argv);
    if (!options.error.empty()) {
        if (options.error != "help")
            std::cerr << "pos-host: " << options.error << "\n";
        std::cerr << hostUsage();
        return options.error == "help" ? 0 : 2;
    }

    std::string documents[4];
    for (int i = 0; i < 4; ++i) {
        if (options.nullDocument[i])
            continue;
        if (!readFile(options.documents[i], documents[i])) {
            std::cerr << "pos-host: cannot read " << options.documents[i] << "\n";
            return 2;
        }
        if (options.convertToGbk && !utf8ToGbk(documents[i], documents[i])) {
            std::cerr << "pos-host: " << options.documents[i] << " is not valid UTF-8\n";
            return 2;
        }
    }

    const std::string libraryPath = options.libraryPath.empty()
        ? executableDir() + "/libTwCouponPay5.so" : options.libraryPath;
    void *library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::cerr << "pos-host: cannot load " << libraryPath << ": " << dlerror() << "\n";
        return 2;
    }
    auto entry = reinterpret_cast<CardTrans>(dlsym(library, options.entryName.c_str()));
    if (!entry) {
        std::cerr << "pos-host: " << options.entryName << " not exported by " << libraryPath << "\n";
        return 2;
    }

    if (!options.cashierScript.empty()) {
        // The robot links Qt itself; this host still does not.
        const std::string robotPath = options.robotPath.empty()
            ? executableDir() + "/libcashier-robot.so" : options.robotPath;
        void *robot = dlopen(robotPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        using RobotStart = int (*)(const char *);
        auto start = robot ? reinterpret_cast<RobotStart>(dlsym(robot, "cashier_robot_start")) : nullptr;
        if (!start || !start(options.cashierScript.c_str())) {
            std::cerr << "pos-host: the scripted cashier could not start (" << robotPath << ")\n";
            return 2;
        }
    }

    bool lastOk = false;
    for (int call = 1; call <= options.repeat; ++call) {
        // The host owns every buffer; the library only writes into them.
        std::vector<char> in[4];
        for (int i = 0; i < 4; ++i)
            in[i].assign(documents[i].begin(), documents[i].end()), in[i].push_back('\0');
        std::vector<std::vector<char>> out(8, std::vector<char>(options.bufferSize, '\0'));
        for (auto &buffer : out)
            std::memcpy(buffer.data(), kUntouched, sizeof(kUntouched));

        auto doc = [&](int i) { return options.nullDocument[i] ? nullptr : in[i].data(); };
        const int rc = entry(doc(0), doc(1), doc(2), doc(3), out[0].data(), out[1].data(),
                             out[2].data(), out[3].data(), out[4].data(), out[5].data(),
                             out[6].data(), out[7].data());

        if (options.repeat > 1)
            std::cout << "== call " << call << "\n";
        std::cout << "return: " << rc << "\n";
        static const char *names[8] = {"p5  result code", "p6  message", "p7  amount",
                                       "p8  reserved", "p9  reserved", "p10 unused",
                                       "p11 discount document", "p12 payment document"};
        for (int i = 0; i < 8; ++i) {
            std::cout << names[i] << ": ";
            if (untouched(out[i]))
                std::cout << "(untouched)";
            else
                std::cout << out[i].data();
            std::cout << "\n";
            if (!options.outDir.empty() && !untouched(out[i])) {
                std::ofstream file(options.outDir + "/p" + std::to_string(i + 5) + ".txt",
                                   std::ios::binary | std::ios::trunc);
                file << out[i].data();
            }
        }
        std::cout.flush();
        lastOk = std::strcmp(out[0].data(), "000000") == 0;
    }
    // The library keeps itself loaded once it created the Qt application; dlclose is harmless.
    dlclose(library);
    return lastOk ? 0 : 1;
}
