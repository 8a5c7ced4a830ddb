#include "formats/png_paeth.h"

#include "core/environment.h"
#include "formats/png_paeth_kernel.h"

void PaethRow(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out)
{
    for (uint64_t i = 0; i < step && i < size; i++) out[i] = uint8_t(row[i] - above[i]);
    for (uint64_t i = step; i < size; i++)
        out[i] = uint8_t(row[i] - PaethPredict(row[i - step], above[i], above[i - step]));
}

void PaethRowPortable(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out)
{
    paeth_kernel::Row(row, above, size, step, out);
}

PaethFilter ChoosePaethFilter()
{
    if (!UseFastStages()) return PaethRow;
    switch (ChooseVectorKernels()) {
    case kAvx512Kernels: return PaethRowAvx512;
    case kAvx2Kernels: return PaethRowAvx2;
    default: return PaethRowPortable;
    }
}
