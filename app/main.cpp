#include "RunnerStartup.h"
#include "YBrowserControl.h"
#include "YBrowserRunner.h"

int main(int argc, char* argv[])
{
    return RunnerStartup::run(argc, argv, [](const QString& serverName, const QString& paramsText, const QString& helloText) {
        return std::make_unique<YBrowserControl>(serverName, BrowserParams::fromBase64String(paramsText), helloText,
                                                 [](const BrowserParams& params) -> HostedRunner* {
                                                     return new YBrowserRunner(params, nullptr);
                                                 });
    });
}
