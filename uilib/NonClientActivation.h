#pragma once

class QByteArray;

// Reads a native "non-client area activated / deactivated" message.
// Returns false for every other message, and always where the window
// system has no such message.
bool decodeNonClientActivation(const QByteArray &eventType, void *message, bool *active);
