#include "formats/png_paeth.h"

#include <cstdlib>

#include "core/environment.h"
#include "formats/png_paeth_kernel.h"

void PaethRow(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out)
{
    for (uint64_t i = 0; i < step && i < size; i++) out[i] = uint8_t(row[i] - above[i]);
    for (uint64_t i = step; i < size; i++) {
        int a = row[i - step], b = above[i], c = above[i - step];
        int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = uint8_t(row[i] - predicted);
    }
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
