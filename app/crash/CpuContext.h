#pragma once

#include "CrashSnapshot.h"
#include "MinidumpFormat.h"

#include <ucontext.h>

// Everything that depends on the processor: where its registers come from,
// which of them are the stack and instruction pointers, how it names itself,
// and how the dump records them. Another architecture brings its own
// CpuContext_<arch>.cpp.
namespace crash {

// The registers the kernel handed to a signal handler.
void readSignalRegisters(ThreadRecord& thread, const ucontext_t& context);
// The registers of a thread stopped by ptrace; false when they cannot be read.
bool readStoppedRegisters(pid_t tid, ThreadRecord& thread);

uint64_t stackPointer(const ThreadRecord& thread);
uint64_t instructionPointer(const ThreadRecord& thread);

// Vendor, version and features of the processor this runs on.
void readProcessorIdentity(SystemRecord& system);

// The dump's processor architecture, and the thread's registers as the
// dump's CPU context record.
uint16_t processorArchitecture();
void fillCpuContext(md::ContextAmd64& context, const ThreadRecord& thread);

} // namespace crash
