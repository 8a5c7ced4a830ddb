// The Paeth kernel compiled for AVX-512; called only where the processor has it.
#include "formats/png_paeth.h"
#include "formats/png_paeth_kernel.h"

void PaethRowAvx512(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out)
{
    paeth_kernel::Row(row, above, size, step, out);
}
