// UTF-8 as the game's texts are written, decoded one code point at a time.
#pragma once

// The code point starting at s, with s moved past it; a malformed sequence
// reads as U+FFFD (one cut short leaves s on the byte that broke it).
inline char32_t next_code_point(const unsigned char*& s) {
    const unsigned char lead = *s++;
    int extra = 0;
    char32_t code = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
        extra = 3;
        code = lead & 0x07;
    } else if (lead >= 0xE0) {
        extra = 2;
        code = lead & 0x0F;
    } else if (lead >= 0xC0) {
        extra = 1;
        code = lead & 0x1F;
    } else if (lead >= 0x80) {
        return U'\uFFFD';  // a stray continuation byte
    }
    for (int i = 0; i < extra; ++i) {
        if ((*s & 0xC0) != 0x80) return U'\uFFFD';
        code = (code << 6) | (*s++ & 0x3F);
    }
    return code;
}
