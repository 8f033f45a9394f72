#include "AlternateStack.h"

#include <csignal>
#include <sys/mman.h>

namespace crash {

namespace {
constexpr size_t kGuardSize = 4096;
}

AlternateStack::AlternateStack(size_t size)
    : size(size)
{
    stack_t current = {};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= size) {
        borrowed = true;
        return;
    }
    // A guard page below, so that an overflow of the signal stack faults.
    void* mapping = mmap(nullptr, size + kGuardSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return;
    mprotect(mapping, kGuardSize, PROT_NONE);
    stack_t stack = {};
    stack.ss_sp = static_cast<char*>(mapping) + kGuardSize;
    stack.ss_size = size;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(mapping, size + kGuardSize);
        return;
    }
    memory = mapping;
}

AlternateStack::~AlternateStack()
{
    if (!memory || kept)
        return;
    stack_t disabled = {};
    disabled.ss_flags = SS_DISABLE;
    sigaltstack(&disabled, nullptr);
    munmap(memory, size + kGuardSize);
}

} // namespace crash
