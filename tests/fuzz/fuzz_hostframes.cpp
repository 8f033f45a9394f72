// Host bytes, cut anywhere, through the codec and the controller into a runner double that records every call.
#include "FrameCodec.h"
#include "RunnerDouble.h"
#include "YBrowserControl.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUuid>

#include <cstdint>
#include <cstdlib>

namespace {
QLocalServer* server = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    server = new QLocalServer;
    if (!server->listen(QStringLiteral("ybr-fuzz-") + QUuid::createUuid().toString(QUuid::Id128)))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the size of the pieces the bytes arrive in.
    const int piece = data[0] == 0 ? int(size) : int(data[0]);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));

    RunnerDouble* runner = nullptr;
    YBrowserControl control(server->serverName(), BrowserParams(), QStringLiteral("fuzz"),
                            [&runner](const BrowserParams& p) { return runner = new RunnerDouble(p); });
    if (server->waitForNewConnection(1000))
        delete server->nextPendingConnection();
    if (!runner)
        std::abort();
    const int callsAtStart = runner->calls.size();
    for (int at = 0; at < bytes.size(); at += piece)
        control.receive(bytes.mid(at, piece));
    // At most two calls a message (the setting phase also sets the mute state), none without its separator.
    if (runner->calls.size() - callsAtStart > 2 * (bytes.count("<<") + 1))
        std::abort();
    return 0;
}
