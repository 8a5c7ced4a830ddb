// Several strips of one image decoded at once, each on its own thread.
#pragma once

// Threads for decoding strips: as many as the stages use.
unsigned StripDecodeThreads();
// Runs work(context, j) for j from 0 to count - 1, j = 0 on the calling
// thread and the others on threads of their own, and waits for all.  1 when
// every call returned 1.
int RunStripWork(unsigned count, int (*work)(void* context, unsigned j), void* context);
