// The HTTP shell of the simulator: turns httplib requests into router requests and carries out
// the router's reply, misbehaviour included. All decisions live in the scrmsim library.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include <dirent.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <QDateTime>
#include <QFileInfo>
#include <QStringList>

#include "options.h"
#include "router.h"
#include "simfiles.h"

namespace {

std::atomic<bool> stopping {false};

// Waits in short steps so that a long scenario delay does not hold up SIGTERM.
bool pauseFor(int ms)
{
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(ms);
    while (!stopping) {
        const auto now = steady_clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(20), until - now));
    }
    return false;
}

int portOf(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return -1;
}

// Shuts down every connected socket of this process whose local port is localPort and, when
// remotePort is not -1, whose peer port is remotePort. httplib has no call for either use below.
void shutDownConnections(int localPort, int remotePort)
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    while (dirent *entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2)
            continue;
        sockaddr_storage local {};
        sockaddr_storage peer {};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localSize) != 0
            || getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerSize) != 0)
            continue;
        if (portOf(local) == localPort && (remotePort == -1 || portOf(peer) == remotePort))
            shutdown(fd, SHUT_RDWR);
    }
    closedir(dir);
}

// Hangs up without answering: httplib's own write then fails and it closes the socket as after
// any other error.
void hangUp(const httplib::Request &request)
{
    shutDownConnections(request.local_port, request.remote_port);
}

ScrmSim::Request toRouterRequest(const httplib::Request &request)
{
    ScrmSim::Request out;
    out.method = QString::fromStdString(request.method);
    out.path = QString::fromStdString(request.path);
    const auto question = request.target.find('?');
    if (question != std::string::npos)
        out.query = QByteArray::fromStdString(request.target.substr(question + 1));
    for (const auto &header : request.headers) {
        // httplib files the connection's addresses among the headers; the client never sent them.
        if (header.first == "REMOTE_ADDR" || header.first == "REMOTE_PORT" || header.first == "LOCAL_ADDR"
            || header.first == "LOCAL_PORT")
            continue;
        out.headers.append(qMakePair(QString::fromStdString(header.first), QString::fromStdString(header.second)));
    }
    out.body = QByteArray(request.body.data(), int(request.body.size()));
    return out;
}

void deliver(const ScrmSim::Reply &reply, const httplib::Request &request, httplib::Response &response)
{
    if ((reply.delayMs > 0 && !pauseFor(reply.delayMs)) || reply.drop) {
        hangUp(request);
        response.status = 500;
        return;
    }
    response.status = reply.status;
    if (!reply.redirect.isEmpty())
        response.set_redirect(reply.redirect.toStdString(), reply.status);
    const std::string contentType = reply.contentType.toStdString();
    const qint64 total = reply.totalBytes();
    if (!reply.isStreamed() || total == 0) {
        response.set_content(reply.body.toStdString(), contentType);
        return;
    }
    // A provider with a known length: httplib neither compresses nor buffers it, so the bytes
    // leave exactly when and as far as the scenario says.
    auto shared = std::make_shared<ScrmSim::Reply>(reply);
    response.set_content_provider(size_t(total), contentType,
                                  [shared, total](size_t offset, size_t length, httplib::DataSink &sink) {
                                      const ScrmSim::Reply &r = *shared;
                                      qint64 take = qint64(length);
                                      if (r.dropAfterBytes >= 0) {
                                          if (qint64(offset) >= r.dropAfterBytes)
                                              return false;
                                          take = qMin(take, r.dropAfterBytes - qint64(offset));
                                      }
                                      take = r.trickleMs > 0 ? 1 : qMin<qint64>(take, 64 * 1024);
                                      const QByteArray chunk = r.bytesAt(qint64(offset), take);
                                      if (!sink.write(chunk.constData(), size_t(chunk.size())))
                                          return false;
                                      if (r.trickleMs > 0 && qint64(offset) + 1 < total)
                                          return pauseFor(r.trickleMs);
                                      return true;
                                  });
}

int fail(const QString &message)
{
    std::fprintf(stderr, "scrm-sim: %s\n", qPrintable(message));
    return 2;
}

}

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    ScrmSim::Options options;
    QString error;
    if (!ScrmSim::parseOptions(arguments, &options, &error))
        return fail(error + QLatin1Char('\n') + ScrmSim::usage());

    ScrmSim::Router router;
    QString walletSource = options.walletPath;
    if (!options.statePath.isEmpty() && QFileInfo::exists(options.statePath))
        walletSource = options.statePath; // the saved state replaces the initial wallet
    if (!walletSource.isEmpty()) {
        QJsonObject document;
        ScrmSim::Wallet wallet;
        if (!ScrmSim::readJsonObject(walletSource, &document, &error) || !wallet.load(document, &error))
            return fail(error);
        router.setWallet(wallet);
    }
    if (!options.scenarioPath.isEmpty()) {
        QJsonObject document;
        ScrmSim::Scenario scenario;
        if (!ScrmSim::readJsonObject(options.scenarioPath, &document, &error) || !scenario.load(document, &error))
            return fail(options.scenarioPath + QStringLiteral(": ") + error);
        router.setScenario(scenario);
    }
    ScrmSim::RecordFile record;
    if (!options.recordPath.isEmpty() && !record.open(options.recordPath, &error))
        return fail(error);

    // Block the stop signals before httplib starts its threads, so that only the watcher below
    // receives them and can stop the server from an ordinary thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<httplib::Server> server;
    if (options.certPath.isEmpty())
        server = std::make_unique<httplib::Server>();
    else
        server = std::make_unique<httplib::SSLServer>(options.certPath.toLocal8Bit().constData(),
                                                      options.keyPath.toLocal8Bit().constData());
    if (!server->is_valid())
        return fail(
            QStringLiteral("cannot use the certificate %1 with the key %2").arg(options.certPath, options.keyPath));
    server->set_tcp_nodelay(true);
    server->set_keep_alive_timeout(2);

    std::mutex routerMutex;
    const httplib::Server::Handler handler = [&](const httplib::Request &request, httplib::Response &response) {
        ScrmSim::Router::Outcome outcome;
        {
            std::lock_guard<std::mutex> lock(routerMutex);
            outcome = router.handle(toRouterRequest(request), QDateTime::currentDateTime());
            record.append(outcome.record);
            QString saveError;
            if (outcome.walletChanged && !options.statePath.isEmpty()
                && !ScrmSim::writeJsonObject(options.statePath, router.wallet().toJson(), &saveError))
                std::fprintf(stderr, "scrm-sim: %s\n", qPrintable(saveError));
        }
        deliver(outcome.reply, request, response);
    };
    server->Post(".*", handler);
    server->Get(".*", handler);
    server->Put(".*", handler);
    server->Delete(".*", handler);
    server->Patch(".*", handler);

    int port = options.port;
    if (port == 0)
        port = server->bind_to_any_port("127.0.0.1");
    else if (!server->bind_to_port("127.0.0.1", port))
        port = -1;
    if (port <= 0)
        return fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(options.port));
    std::printf("PORT %d\n", port);
    std::fflush(stdout);

    std::atomic<bool> finished {false};
    std::thread watcher([&] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        stopping = true;
        // stop() is a no-op until listening has begun, and must be called only once.
        while (!finished && !server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished) {
            server->stop();
            // Idle keep-alive connections would each hold a worker, and so the exit, for the
            // whole keep-alive time-out.
            shutDownConnections(port, -1);
        }
    });
    const bool listened = server->listen_after_bind();
    finished = true;
    const bool stoppedBySignal = stopping;
    if (!stoppedBySignal)
        pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    return listened || stoppedBySignal ? 0 : 1;
}
