// Stands in for the runner where only the socket matters: connects, greets, reports its page size, prints each
// host message on standard error and ends on Quit, or on its own with the status in FAKE_RUNNER_EXIT.
#include "BrowserParams.h"
#include "FrameCodec.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const BrowserParams params = BrowserParams::fromBase64String(QString::fromLocal8Bit(argv[2]));
    QLocalSocket socket;
    socket.connectToServer(QString::fromLocal8Bit(argv[1]));
    if (!socket.waitForConnected(2000))
        return 3;
    socket.write(argv[3]);
    FrameCodec::send(&socket, ConnectDone, QStringLiteral("%1X%2X1").arg(params.pageSize.width()).arg(params.pageSize.height()));
    if (qEnvironmentVariableIsSet("FAKE_RUNNER_EXIT"))
        QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(qEnvironmentVariableIntValue("FAKE_RUNNER_EXIT")); });
    QByteArray received;
    const auto print = [](const QString& line) { std::fprintf(stderr, "runner: %s\n", qPrintable(line)); };
    QObject::connect(&socket, &QLocalSocket::readyRead, [&] {
        received += socket.readAll();
        FrameCodec::takeFrames(received, [] {}, [&](qint32 code, QDataStream& stream) {
            BrowserParams update;
            bool flag = false;
            switch (code) {
            case UpdateBrowserParams:
                stream >> update;
                return print(QStringLiteral("UpdateBrowserParams %1x%2").arg(update.pageSize.width()).arg(update.pageSize.height()));
            case SetMute:
                stream >> flag;
                return print(QStringLiteral("SetMute %1").arg(flag ? "true" : "false"));
            case Quit:
                print(QStringLiteral("Quit"));
                return QCoreApplication::quit();
            default:
                return print(QStringLiteral("code %1").arg(code));
            }
        });
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &app, &QCoreApplication::quit);
    return app.exec();
}
