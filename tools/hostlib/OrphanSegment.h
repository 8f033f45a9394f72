#pragma once

#include <QString>

// A runner that is killed or crashes never detaches from its frame segment,
// and a System V segment outlives every process until it is removed.
// Removes the segment of this key and its lock unless some process is still
// attached to the segment (that process then removes it when it detaches).
// Returns true when neither remains.
bool removeOrphanSegment(const QString& key);
