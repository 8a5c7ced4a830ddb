// Which vector kernels the fast stage routines may use.
//
// The AVX2 and AVX-512 kernels live in files of their own compiled for their
// instruction set and are chosen at run time (ChooseVectorKernels), so the
// program still runs on any x86-64 (and builds elsewhere) with the portable
// kernels.  All do the same integer
// operations or the same double operations in the same order in every lane:
// the choice never changes a byte.
#pragma once

#include "core/environment.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define NIVELO_X86_KERNELS 1
#else
#define NIVELO_X86_KERNELS 0
#endif
