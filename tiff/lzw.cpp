// TIFF's LZW: codes of 9 to 12 bits, most significant bit first whatever the
// fill order.  The code width grows one code early ("early change"): after
// the string at 510 is added the next code is read 10 bits wide, after 1022
// 11 bits, after 2046 12 bits.
#include "tiff/decoders.h"

namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEndOfInformation = 257;
constexpr uint32_t kFirstFree = 258;
constexpr uint32_t kTableSize = 4096;
constexpr uint16_t kNoPrefix = 65535;

// Working record for one strip; lives on the decoder's stack.
struct LzwState {
    uint16_t prefix[kTableSize];   // code of the string without its last character
    uint8_t character[kTableSize]; // last character of the string
    const uint8_t* strip;
    uint32_t strip_size;
    uint32_t input_byte;
    uint64_t output_count;
    uint32_t next_code;
    uint8_t input_bit;  // 0 is the most significant bit
    uint8_t code_width;
};

// 0 when the strip ends before the code is complete.
int LzwReadCode(LzwState* s, uint32_t* code)
{
    uint32_t value = 0;
    for (unsigned i = 0; i < s->code_width; i++) {
        if (s->input_byte >= s->strip_size) return 0;
        value = (value << 1) | ((s->strip[s->input_byte] >> (7 - s->input_bit)) & 1u);
        if (++s->input_bit == 8) {
            s->input_bit = 0;
            s->input_byte++;
        }
    }
    *code = value;
    return 1;
}

void LzwClear(LzwState* s)
{
    for (uint32_t c = 0; c < 256; c++) {
        s->prefix[c] = kNoPrefix;
        s->character[c] = uint8_t(c);
    }
    s->code_width = 9;
    s->next_code = kFirstFree;
}

// A full table stops growing: later codes stay 12 bits wide and refer to the
// strings already there.
void LzwAddEntry(LzwState* s, uint32_t prefix, uint8_t character)
{
    if (s->next_code >= kTableSize) return;
    s->prefix[s->next_code] = uint16_t(prefix);
    s->character[s->next_code] = character;
    s->next_code++;
    if (s->next_code == 511) s->code_width = 10;
    if (s->next_code == 1023) s->code_width = 11;
    if (s->next_code == 2047) s->code_width = 12;
}

// Every prefix is a smaller code than its entry, so the chain ends.
uint32_t LzwStringLength(const LzwState* s, uint32_t code)
{
    uint32_t length = 1;
    while (s->prefix[code] != kNoPrefix) {
        code = s->prefix[code];
        length++;
    }
    return length;
}

// Writes the string of a code (known to be in the table) at the output
// count, last character first.  0, with nothing written, when it does not
// fit in what is left of the output.
int LzwWriteString(LzwState* s, uint32_t code, uint8_t* out, uint64_t total, uint32_t* length)
{
    uint32_t n = LzwStringLength(s, code);
    if (n > total - s->output_count) return 0;
    uint8_t* destination = out + s->output_count;
    for (uint32_t i = n; i-- > 0;) {
        destination[i] = s->character[code];
        code = s->prefix[code];
    }
    *length = n;
    return 1;
}

}  // namespace

int DecodeLZW(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size)
{
    LzwState s;
    s.strip = strip;
    s.strip_size = strip_size;
    s.input_byte = 0;
    s.input_bit = 0;
    s.output_count = 0;
    s.code_width = 9;
    s.next_code = kFirstFree;
    uint64_t total = uint64_t(rows) * row_size;

    uint32_t code = 0;
    if (!LzwReadCode(&s, &code)) return 0;
    if (code == kEndOfInformation) return 1;
    if (code != kClear) return 0;
    uint32_t previous = 0;
    for (;;) {
        uint32_t length = 0;
        if (code == kClear) {
            LzwClear(&s);
            if (!LzwReadCode(&s, &code)) return 0;
            if (code == kEndOfInformation) return 1;
            // Right after Clear only the one-character strings exist.
            if (code >= 256) return 0;
            if (!LzwWriteString(&s, code, out, total, &length)) return 0;
        } else if (code < s.next_code) {
            if (!LzwWriteString(&s, code, out, total, &length)) return 0;
            LzwAddEntry(&s, previous, out[s.output_count]);
        } else if (code == s.next_code) {
            // The string being defined by this very code: the previous
            // string followed by its own first character.
            if (!LzwWriteString(&s, previous, out, total, &length)) return 0;
            if (length >= total - s.output_count) return 0;
            out[s.output_count + length] = out[s.output_count];
            length++;
            LzwAddEntry(&s, previous, out[s.output_count]);
        } else {
            return 0;  // a code beyond the next free one cannot be decoded
        }
        s.output_count += length;
        if (s.output_count == total) return 1;
        previous = code;
        if (!LzwReadCode(&s, &code)) return 0;
        if (code == kEndOfInformation) return 1;
    }
}
