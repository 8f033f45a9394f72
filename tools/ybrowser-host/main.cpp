#include "HostCli.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {
bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
}

int main(int argc, char* argv[])
{
    // Qt's own options are not taken: the options are read before any display
    // is needed, so --help and bad arguments work anywhere.
    int programOnly = 1;
    HostCli::Options options;
    QString text;
    HostCli::Parsed parsed;
    {
        QCoreApplication core(programOnly, argv);
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        parsed = HostCli::parse(arguments, options, text);
    }
    if (parsed == HostCli::Parsed::Help) {
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parsed == HostCli::Parsed::Invalid) {
        std::fprintf(stderr, "ybrowser-host: %s\n", qPrintable(text));
        return 2;
    }
    if (!hasDisplay()) {
        std::fprintf(stderr, "ybrowser-host: no display for the runner: run it under xvfb-run -a, or set DISPLAY\n");
        return 1;
    }
    QApplication app(programOnly, argv);
    HostCli cli(options);
    return cli.run();
}
