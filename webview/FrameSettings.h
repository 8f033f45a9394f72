#pragma once

#include <QVariant>

// The [General] keys that shape whole frames. They are read when a view is
// made, not at start-up: a bad value is reported in the log, which does not
// exist yet while the start-up hooks run.
namespace FrameSettings {

constexpr int DefaultInterval = 30;
constexpr int MinInterval = 8;
constexpr int MaxInterval = 1000;

// "FrameInterval": a whole number of milliseconds in 8..1000. Anything else
// gives the default and *accepted false; an absent entry is accepted.
int intervalFrom(const QVariant& value, bool* accepted);
// The configured interval; the first unusable value is logged, once per process.
int frameInterval();
// "TransparentBackground": pages without a background of their own stay transparent.
bool transparentBackground();
// "SkipUnchangedFrames": a tick whose page has not painted since the last
// frame writes nothing, so the host sees new frames only.
bool skipUnchangedFrames();
// "FrameOnPaint": a frame follows each engine paint at once, unless the last
// one is less than three quarters of an interval old; the timer, every one
// and a half intervals, then takes only a change no frame has shown yet.
bool frameOnPaint();

} // namespace FrameSettings
