#include "CpuContext.h"

#include <cpuid.h>
#include <cstring>
#include <sys/ptrace.h>

namespace crash {

static_assert(sizeof(user_fpregs_struct) == sizeof(md::ContextAmd64::fltSave), "FXSAVE image");

void readSignalRegisters(ThreadRecord& thread, const ucontext_t& context)
{
    user_regs_struct& r = thread.regs;
    const greg_t* g = context.uc_mcontext.gregs;
    std::memset(&r, 0, sizeof r);
    r.r8 = uint64_t(g[REG_R8]), r.r9 = uint64_t(g[REG_R9]), r.r10 = uint64_t(g[REG_R10]);
    r.r11 = uint64_t(g[REG_R11]), r.r12 = uint64_t(g[REG_R12]), r.r13 = uint64_t(g[REG_R13]);
    r.r14 = uint64_t(g[REG_R14]), r.r15 = uint64_t(g[REG_R15]);
    r.rdi = uint64_t(g[REG_RDI]), r.rsi = uint64_t(g[REG_RSI]), r.rbp = uint64_t(g[REG_RBP]);
    r.rbx = uint64_t(g[REG_RBX]), r.rdx = uint64_t(g[REG_RDX]), r.rax = uint64_t(g[REG_RAX]);
    r.rcx = uint64_t(g[REG_RCX]), r.rsp = uint64_t(g[REG_RSP]), r.rip = uint64_t(g[REG_RIP]);
    r.eflags = uint64_t(g[REG_EFL]);
    const uint64_t segments = uint64_t(g[REG_CSGSFS]);
    r.cs = segments & 0xFFFF;
    r.gs = (segments >> 16) & 0xFFFF;
    r.fs = (segments >> 32) & 0xFFFF;
    r.ss = (segments >> 48) & 0xFFFF;
    if (context.uc_mcontext.fpregs)
        std::memcpy(&thread.fpregs, context.uc_mcontext.fpregs, sizeof thread.fpregs);
}

bool readStoppedRegisters(pid_t tid, ThreadRecord& thread)
{
    if (ptrace(PTRACE_GETREGS, tid, nullptr, &thread.regs) != 0)
        return false;
    ptrace(PTRACE_GETFPREGS, tid, nullptr, &thread.fpregs);
    return true;
}

uint64_t stackPointer(const ThreadRecord& thread)
{
    return thread.regs.rsp;
}

uint64_t instructionPointer(const ThreadRecord& thread)
{
    return thread.regs.rip;
}

void readProcessorIdentity(SystemRecord& system)
{
    unsigned eax, ebx, ecx, edx;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        system.cpuVendor[0] = ebx, system.cpuVendor[1] = edx, system.cpuVendor[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        system.cpuVersion = eax;
        system.cpuFeatures = edx;
    }
}

uint16_t processorArchitecture()
{
    return md::kArchitectureAmd64;
}

void fillCpuContext(md::ContextAmd64& context, const ThreadRecord& thread)
{
    const user_regs_struct& r = thread.regs;
    std::memset(&context, 0, sizeof context);
    context.contextFlags = md::kContextFull;
    context.cs = uint16_t(r.cs);
    context.ds = uint16_t(r.ds);
    context.es = uint16_t(r.es);
    context.fs = uint16_t(r.fs);
    context.gs = uint16_t(r.gs);
    context.ss = uint16_t(r.ss);
    context.eflags = uint32_t(r.eflags);
    context.rax = r.rax;
    context.rcx = r.rcx;
    context.rdx = r.rdx;
    context.rbx = r.rbx;
    context.rsp = r.rsp;
    context.rbp = r.rbp;
    context.rsi = r.rsi;
    context.rdi = r.rdi;
    context.r8 = r.r8;
    context.r9 = r.r9;
    context.r10 = r.r10;
    context.r11 = r.r11;
    context.r12 = r.r12;
    context.r13 = r.r13;
    context.r14 = r.r14;
    context.r15 = r.r15;
    context.rip = r.rip;
    context.mxCsr = thread.fpregs.mxcsr;
    std::memcpy(context.fltSave, &thread.fpregs, sizeof context.fltSave);
}

} // namespace crash
