// The environment switches, read here only, at each call, so that every
// routine understands them the same way:
//   NIVELO_THREADS=n  the fast routines run on n threads (a number from 1 to
//                     256; anything else: every core the system reports)
//   NIVELO_PLAIN=1    the plain single-thread routines, the reference that
//                     the fast ones must match byte for byte
//   NIVELO_NOVECTOR=1 the portable kernels only; =512 stops at AVX2
#pragma once

// Threads for the fast routines.
int StageThreads();

// False when NIVELO_PLAIN is 1: the stages and decoders take their plain path.
bool UseFastStages();

// The widest vector kernels the processor offers and NIVELO_NOVECTOR allows.
// The AVX-512 ones also need the byte permutes (VBMI) and the 16-bit dot
// products (VNNI): Ice Lake, Zen 4 and later.
enum VectorKernels { kPortableKernels = 0, kAvx2Kernels = 1, kAvx512Kernels = 2 };
VectorKernels ChooseVectorKernels();
