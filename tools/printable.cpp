#include "printable.h"

#include <cstdio>

std::string printable(const std::string &text)
{
    std::string shown;
    auto escape = [&](unsigned char c) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        shown += hex;
    };
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\t') {
            shown += c == '\n' ? "\\n" : "\\t";
            i++;
            continue;
        }
        if (c < ' ' || c == 0x7f) {
            escape(c);
            i++;
            continue;
        }
        if (c < 0x80) {
            shown += static_cast<char>(c);
            i++;
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, its code point
        // neither overlong, nor a surrogate, nor past U+10FFFF.
        std::size_t length = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        unsigned long point = length == 2 ? c & 0x1fu : length == 3 ? c & 0x0fu : c & 0x07u;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; k++) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xc0) == 0x80;
            point = point << 6 | (next & 0x3fu);
        }
        valid = valid && !(length == 3 && (point < 0x800 || (point >= 0xd800 && point <= 0xdfff))) &&
                !(length == 4 && (point < 0x10000 || point > 0x10ffff));
        if (!valid) {
            escape(c);
            i++;
        } else if (point >= 0x80 && point <= 0x9f) {
            char u[8];
            std::snprintf(u, sizeof u, "\\u%04lx", point);
            shown += u;
            i += length;
        } else {
            shown.append(text, i, length);
            i += length;
        }
    }
    return shown;
}

std::string chart_text(const std::string &text)
{
    std::string shown = printable(text);
    for (std::size_t at = 0; (at = shown.find("]]>", at)) != std::string::npos; at += 2)
        shown.replace(at + 2, 1, "\\x3e");
    return shown;
}
