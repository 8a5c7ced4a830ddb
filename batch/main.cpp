// nivelo: cleans up one scanned page a run.  The exit status is always 0; a
// caller learns of failure from the console text and the files written.
#include "batch/pipeline.h"

int main(int argc, char** argv) { return RunNivelo(argc, argv); }
