// What the processor running us can do, asked once: the wide kernels pick their instruction
// set by it at run time, so one build runs on every x86-64 processor.
#pragma once

namespace sorv {

inline bool CpuHasAvx2() {
#if defined(__x86_64__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

}  // namespace sorv
