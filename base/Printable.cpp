// Escaping what the viewer echoes from files and command lines.
#include "base/Printable.h"

namespace {

const char digits[] = "0123456789abcdef";

void escapeByte(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// \u202e, or \U000e0001 past the basic plane: how C++ and most languages write them.
void escapeCharacter(std::string& out, unsigned code)
{
    const int places = code > 0xFFFF ? 8 : 4;
    out += code > 0xFFFF ? "\\U" : "\\u";
    for (int place = places - 1; place >= 0; --place)
        out += digits[(code >> (4 * place)) & 15];
}

// Characters that draw nothing and yet change what a terminal shows:
// bidirectional overrides and isolates can show a line's words in another
// order than the bytes give them, so that a name reads as another; zero-width
// ones hide in a name; the line and paragraph separators break a line where
// nothing shows a break. Unicode's format characters (Cf) and its two
// separators (Zl, Zp), as of Unicode 15.
bool isHiddenFormat(unsigned code)
{
    static const unsigned ranges[][2] = {
        {0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},   {0x6DD, 0x6DD},     {0x70F, 0x70F},
        {0x890, 0x891},     {0x8E2, 0x8E2},     {0x180E, 0x180E}, {0x200B, 0x200F},   {0x2028, 0x202E},
        {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
        {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
        {0xE0020, 0xE007F},
    };
    for (const auto& range : ranges) {
        if (code < range[0])
            return false;
        if (code <= range[1])
            return true;
    }
    return false;
}

// The length of the valid UTF-8 sequence at `i`, with the character it
// encodes in `code`, or 0 where the bytes are no such sequence.
size_t decode(const std::string& text, size_t i, unsigned& code)
{
    const auto at = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    size_t length = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
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
    // Overlong forms, surrogates and values past Unicode.
    const unsigned least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

// Controls: C0, DEL and the C1 range, which some terminals obey even when
// UTF-8 encoded.
bool isControl(unsigned code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

} // namespace

std::string printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned code = 0;
        const size_t length = decode(text, i, code);
        if (length == 0 || isControl(code)) {
            // A control keeps the byte form the viewer has always printed,
            // whatever its encoding.
            for (size_t k = 0; k < (length == 0 ? 1 : length); ++k)
                escapeByte(out, static_cast<unsigned char>(text[i + k]));
            i += length == 0 ? 1 : length;
            continue;
        }
        if (isHiddenFormat(code))
            escapeCharacter(out, code);
        else
            out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string printableLines(const std::string& text)
{
    std::string out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out += printable(text.substr(start, end - start)) + "\n";
    return out + printable(text.substr(start));
}
