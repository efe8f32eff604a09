// A plain POS host: no Qt, loads the coupon payment library at run time and calls its entry
// the way a till does, with output buffers it owns.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hostoptions.h"
#include "hostplatform.h"

namespace {

using CardTrans = int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *,
                          char *);

// Pre-filled into every output buffer so that untouched parameters can be told apart.
const char kUntouched[] = "\x01untouched\x01";

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

// The four documents of one call, as the host will pass them.
struct CallDocuments
{
    std::string names[4];
    std::string content[4];
    bool isNull[4] = {false, false, false, false};
};

// A plan line: four document names separated by blanks; "null" passes a null pointer.
bool readPlan(const std::string &planFile, std::vector<CallDocuments> &calls, std::string &error)
{
    std::string text;
    if (!readFile(planFile, text)) {
        error = "cannot read " + planFile;
        return false;
    }
    const std::size_t slash = planFile.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : planFile.substr(0, slash);
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::vector<std::string> names;
        for (std::string word; words >> word;)
            names.push_back(word);
        if (names.empty())
            continue;
        if (names.size() != 4) {
            error = planFile + ":" + std::to_string(number) + ": four documents are needed";
            return false;
        }
        CallDocuments call;
        for (int i = 0; i < 4; ++i) {
            call.isNull[i] = names[i] == "null";
            call.names[i] = names[i][0] == '/' || call.isNull[i] ? names[i] : folder + "/" + names[i];
        }
        calls.push_back(call);
    }
    if (calls.empty()) {
        error = planFile + " names no call";
        return false;
    }
    return true;
}

bool untouched(const std::vector<char> &buffer)
{
    return std::strcmp(buffer.data(), kUntouched) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    initHostPlatform();
    const HostOptions options = parseHostOptions(argc, argv);
    if (!options.error.empty()) {
        if (options.error != "help")
            std::cerr << "pos-host: " << options.error << "\n";
        std::cerr << hostUsage();
        return options.error == "help" ? 0 : 2;
    }

    std::vector<CallDocuments> calls;
    if (options.planFile.empty()) {
        CallDocuments call;
        for (int i = 0; i < 4; ++i) {
            call.names[i] = options.documents[i];
            call.isNull[i] = options.nullDocument[i];
        }
        calls.push_back(call);
    } else {
        std::string error;
        if (!readPlan(options.planFile, calls, error)) {
            std::cerr << "pos-host: " << error << "\n";
            return 2;
        }
    }
    for (CallDocuments &call : calls) {
        for (int i = 0; i < 4; ++i) {
            if (call.isNull[i])
                continue;
            if (!readFile(call.names[i], call.content[i])) {
                std::cerr << "pos-host: cannot read " << call.names[i] << "\n";
                return 2;
            }
            if (options.convertToGbk && !utf8ToGbk(call.content[i], call.content[i])) {
                std::cerr << "pos-host: " << call.names[i] << " is not valid UTF-8\n";
                return 2;
            }
        }
    }

    const std::string libraryPath =
        options.libraryPath.empty() ? executableDir() + "/" + defaultLibraryName() : options.libraryPath;
    std::string loadError;
    void *library = openLibrary(libraryPath, loadError);
    if (!library) {
        std::cerr << "pos-host: cannot load " << libraryPath << ": " << loadError << "\n";
        return 2;
    }
    auto entry = reinterpret_cast<CardTrans>(librarySymbol(library, options.entryName.c_str()));
    if (!entry) {
        std::cerr << "pos-host: " << options.entryName << " not exported by " << libraryPath << "\n";
        return 2;
    }

    if (!options.cashierScript.empty()) {
        // The robot links Qt itself; this host still does not.
        const std::string robotPath =
            options.robotPath.empty() ? executableDir() + "/" + defaultRobotName() : options.robotPath;
        std::string robotError;
        void *robot = openLibrary(robotPath, robotError);
        using RobotStart = int (*)(const char *);
        auto start = robot ? reinterpret_cast<RobotStart>(librarySymbol(robot, "cashier_robot_start")) : nullptr;
        if (!start || !start(options.cashierScript.c_str())) {
            std::cerr << "pos-host: the scripted cashier could not start (" << robotPath << ")\n";
            return 2;
        }
    }

    bool lastOk = false;
    const int callCount = options.repeat * int(calls.size());
    for (int call = 1; call <= callCount; ++call) {
        const CallDocuments &documents = calls[std::size_t(call - 1) % calls.size()];
        // The host owns every buffer; the library only writes into them.
        std::vector<char> in[4];
        for (int i = 0; i < 4; ++i)
            in[i].assign(documents.content[i].begin(), documents.content[i].end()), in[i].push_back('\0');
        std::vector<std::vector<char>> out(8, std::vector<char>(options.bufferSize, '\0'));
        for (auto &buffer : out)
            std::memcpy(buffer.data(), kUntouched, sizeof(kUntouched));

        auto doc = [&](int i) {
            return documents.isNull[i] ? nullptr : in[i].data();
        };
        const int rc = entry(doc(0), doc(1), doc(2), doc(3), out[0].data(), out[1].data(), out[2].data(), out[3].data(),
                             out[4].data(), out[5].data(), out[6].data(), out[7].data());

        if (callCount > 1)
            std::cout << "== call " << call << "\n";
        std::cout << "return: " << rc << "\n";
        static const char *names[8] = {"p5  result code",       "p6  message",         "p7  amount",
                                       "p8  reserved",          "p9  reserved",        "p10 unused",
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

        if (std::find(options.pauseAfter.begin(), options.pauseAfter.end(), call) != options.pauseAfter.end())
            pauseAfterCall(call);
    }
    // The library keeps itself loaded once it created the Qt application; unloading is harmless.
    closeLibrary(library);
    return lastOk ? 0 : 1;
}
