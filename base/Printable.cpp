// Escaping what the viewer echoes from files and command lines.
#include "base/Printable.h"

namespace {

void escapeByte(std::string& out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// The length of the valid UTF-8 sequence at `i` that encodes a character
// other than a control, or 0.
size_t printableSequence(const std::string& text, size_t i)
{
    const auto at = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    size_t length = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (at(i + k) & 0x3F);
    }
    // Overlong forms, surrogates, values past Unicode and the C1 controls.
    const unsigned least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
        (code >= 0x80 && code <= 0x9F))
        return 0;
    return length;
}

} // namespace

std::string printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = printableSequence(text, i);
        if (length == 0) {
            escapeByte(out, static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}
