#include "OrphanSegment.h"

#include <QSharedMemory>
#include <QSystemSemaphore>

namespace {

// Attaching and detaching again removes the segment when nobody else is
// attached: Qt removes a segment when its last attachment detaches.
bool detachLast(const QString& key)
{
    QSharedMemory probe(key);
    return probe.attach(QSharedMemory::ReadOnly) && probe.detach();
}

bool segmentExists(const QString& key)
{
    QSharedMemory probe(key);
    return probe.attach(QSharedMemory::ReadOnly);
}

} // namespace

bool removeOrphanSegment(const QString& key)
{
    if (key.isEmpty())
        return true;
    detachLast(key);
    if (segmentExists(key))
        return false;
    // Nobody is attached, so nobody uses the lock either: a semaphore opened
    // in Create mode is removed when it is destroyed.
    QSystemSemaphore lock(key, 1, QSystemSemaphore::Create);
    return true;
}
