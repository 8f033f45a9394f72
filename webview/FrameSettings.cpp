#include "FrameSettings.h"

#include "LogWriter.h"
#include "YConfiger.h"

#include <atomic>

int FrameSettings::intervalFrom(const QVariant& value, bool* accepted)
{
    *accepted = true;
    if (!value.isValid())
        return DefaultInterval;
    bool isNumber = false;
    const int interval = value.toString().trimmed().toInt(&isNumber, 10);
    if (isNumber && interval >= MinInterval && interval <= MaxInterval)
        return interval;
    *accepted = false;
    return DefaultInterval;
}

int FrameSettings::frameInterval()
{
    static std::atomic<bool> reported { false };
    const QVariant value = YConfiger::instance()->value(QStringLiteral("FrameInterval"));
    bool accepted = true;
    const int interval = intervalFrom(value, &accepted);
    if (!accepted && !reported.exchange(true))
        log("FrameInterval is not 8 to 1000 ms, 30 ms used :", value.toString());
    return interval;
}

bool FrameSettings::transparentBackground()
{
    return YConfiger::instance()->readBool(QStringLiteral("TransparentBackground"));
}

bool FrameSettings::skipUnchangedFrames()
{
    return YConfiger::instance()->readBool(QStringLiteral("SkipUnchangedFrames"));
}

bool FrameSettings::frameOnPaint()
{
    return YConfiger::instance()->readBool(QStringLiteral("FrameOnPaint"));
}
