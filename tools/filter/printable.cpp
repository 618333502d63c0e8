#include "printable.h"

#include <cstdio>

std::string printable(const std::string &text)
{
    std::string shown;
    for (std::size_t i = 0; i < text.size();) {
        // A UTF-8 sequence: its length from the lead byte, its code point
        // neither overlong, nor a surrogate, nor past U+10FFFF.
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        unsigned long point = length == 1 ? c : c & (0x7fu >> length);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; k++) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xc0) == 0x80;
            point = point << 6 | (next & 0x3fu);
        }
        valid = valid && point >= (length == 3 ? 0x800u : length == 4 ? 0x10000u : 0u) && point <= 0x10ffff &&
                !(point >= 0xd800 && point <= 0xdfff);
        // Control characters (C0, DEL, C1) and bytes that aren't UTF-8 are
        // shown as escapes.
        char escape[8];
        if (valid && point >= ' ' && point != 0x7f && !(point >= 0x80 && point <= 0x9f))
            shown.append(text, i, length);
        else if (c == '\n' || c == '\t')
            shown += c == '\n' ? "\\n" : "\\t";
        else if (valid && point >= 0x80)
            shown += (std::snprintf(escape, sizeof escape, "\\u%04lx", point), escape);
        else
            shown += (std::snprintf(escape, sizeof escape, "\\x%02x", c), escape);
        i += valid ? length : 1;
    }
    return shown;
}
