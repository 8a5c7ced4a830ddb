#include "tiff/decoders.h"

void UndoHorizontalPredictor(uint8_t* data, uint32_t rows, uint32_t width, uint32_t samples_per_pixel,
                             uint32_t row_size)
{
    uint64_t samples = uint64_t(width) * samples_per_pixel;
    // A row that cannot hold its samples is left alone rather than overrun.
    if (samples > row_size) return;
    for (uint32_t r = 0; r < rows; r++) {
        uint8_t* row = data + uint64_t(r) * row_size;
        // Sample k adds the same sample of the pixel before it.
        for (uint64_t k = samples_per_pixel; k < samples; k++)
            row[k] = uint8_t(row[k] + row[k - samples_per_pixel]);
    }
}
