// Which vector kernels the fast stage routines may use.
//
// The AVX2 kernels are built with a target attribute and chosen at run time,
// so the program still runs on any x86-64 (and builds elsewhere) with the
// portable kernels.  NIVELO_NOVECTOR=1 forces the portable kernels, so that
// both can be compared on one machine.  Both do the same integer operations
// or the same double operations in the same order in every lane: the choice
// never changes a byte.
#pragma once

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define NIVELO_X86_KERNELS 1
#else
#define NIVELO_X86_KERNELS 0
#endif

// True when the AVX2 kernels are to be used; read at each call.
bool UseAvx2Kernels();
