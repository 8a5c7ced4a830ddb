#include "tiff/decoders.h"

void UndoHorizontalPredictor(uint8_t* data, uint32_t rows, uint32_t width, uint32_t samples_per_pixel,
                             uint32_t row_size)
{
    uint64_t samples = uint64_t(width) * samples_per_pixel;
    // A row that cannot hold its samples is left alone rather than overrun.
    if (samples > row_size) return;
    for (uint32_t r = 0; r < rows; r++) {
        uint8_t* row = data + uint64_t(r) * row_size;
        if (samples_per_pixel == 3 && width > 0) {
            // The three running sums kept in registers rather than read
            // back from the byte just written.
            uint8_t a = row[0], b = row[1], c = row[2];
            for (uint64_t k = 3; k < samples; k += 3) {
                a = uint8_t(a + row[k]);
                b = uint8_t(b + row[k + 1]);
                c = uint8_t(c + row[k + 2]);
                row[k] = a, row[k + 1] = b, row[k + 2] = c;
            }
            continue;
        }
        // Sample k adds the same sample of the pixel before it.
        for (uint64_t k = samples_per_pixel; k < samples; k++)
            row[k] = uint8_t(row[k] + row[k - samples_per_pixel]);
    }
}
