#include "SoakRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({ "seconds", "How long to drive the runner.", "seconds", "1800" });
    parser.addOption({ "seed", "Seed of the command mix.", "seed", "1" });
    parser.addOption({ "sample", "Seconds between two printed samples.", "seconds", "60" });
    parser.addOption({ "settle", "Seconds in the reference state before a sample.", "seconds", "8" });
    parser.process(app);
    SoakRun::Options options;
    options.seconds = qMax(1, parser.value("seconds").toInt());
    options.seed = parser.value("seed").toUInt();
    options.settleSeconds = qBound(1, parser.value("settle").toInt(), 30);
    options.sampleSeconds = qMax(options.settleSeconds + 1, parser.value("sample").toInt());
    SoakRun soak(options);
    return soak.run();
}
