#pragma once

#include <cstddef>

namespace crash {

// A signal stack of our own for the calling thread, so that a crash caused
// by running out of stack can still be handled on it. A thread that already
// has a large enough one keeps it.
class AlternateStack
{
public:
    explicit AlternateStack(size_t size);
    ~AlternateStack();

    AlternateStack(const AlternateStack&) = delete;
    AlternateStack& operator=(const AlternateStack&) = delete;

    bool active() const { return memory != nullptr || borrowed; }
    // Leaves the stack in place when this object goes away (for the thread
    // that lives as long as the process).
    void keep() { kept = true; }

private:
    void* memory = nullptr;
    size_t size;
    bool borrowed = false;
    bool kept = false;
};

} // namespace crash
