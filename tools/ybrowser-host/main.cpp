#include "HostCli.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    HostCli::Options options;
    QString error;
    if (!HostCli::parse(QCoreApplication::arguments().mid(1), options, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    HostCli cli(options);
    return cli.run();
}
