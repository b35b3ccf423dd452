// Cutting a GBK text to fit a buffer without splitting a character.
#pragma once

#include <stddef.h>

namespace hmi {

// A byte from 0x81 to 0xFE begins a two-byte character; any other byte is one of its own.
constexpr bool starts_pair(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// The length of the longest start of the text, at most `room` bytes, that ends at a
// character's end. The text is read from its first byte, because a second byte can
// look like a first one; a text of one-byte characters is cut at `room` exactly.
constexpr size_t whole_characters(const char* text, size_t room) {
    size_t length = 0;
    while (length < room) {
        size_t width = starts_pair(static_cast<unsigned char>(text[length])) ? 2 : 1;
        if (width > room - length) break;
        length += width;
    }
    return length;
}

}  // namespace hmi
