#include "RunnerStartup.h"

#include <memory>

int main(int argc, char* argv[])
{
    return RunnerStartup::run(argc, argv, [](const QString&, const QString&, const QString&) {
        return std::unique_ptr<QObject>();
    });
}
