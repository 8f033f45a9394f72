#include "ResourcePainter.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: paint-resources <resources folder>\n";
        return 2;
    }
    if (!ResourcePainter().writeAll(QString::fromLocal8Bit(argv[1]))) {
        err << "paint-resources: cannot write below " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
