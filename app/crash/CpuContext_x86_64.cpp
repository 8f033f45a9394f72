#include "CpuContext.h"

#include <cstring>

namespace crash {

static_assert(sizeof(user_fpregs_struct) == sizeof(md::ContextAmd64::fltSave), "FXSAVE image");

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
