// Names from files reach the terminal with every control character escaped and every other character kept.
#include "base/Printable.h"

#include <gtest/gtest.h>

TEST(Printable, EscapesControlsAndBrokenBytesAndKeepsText)
{
    const std::pair<std::string, std::string> cases[] = {
        {"models/spider.obj", "models/spider.obj"},
        {"maps\\wood.png", "maps\\wood.png"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"a\nb\rc\td", "a\\x0ab\\x0dc\\x09d"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"\x7f", "\\x7f"},
        {"caf\xc3\xa9 \xe6\x9c\xa8 \xf0\x9f\x8c\xb2", "caf\xc3\xa9 \xe6\x9c\xa8 \xf0\x9f\x8c\xb2"},
        // C1 controls, which some terminals obey even as UTF-8: CSI.
        {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},
        {"\x9b", "\\x9b"},
        {"\xc3", "\\xc3"},
        {"\xc0\xaf", "\\xc0\\xaf"},
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(printable(text), shown);
}

// Characters that show nothing yet reorder, hide or break the text around
// them: a name could read as another one, or as two lines.
TEST(Printable, EscapesCharactersThatReorderHideOrBreakTextAndKeepsOtherLetters)
{
    const std::pair<std::string, std::string> cases[] = {
        // Right-to-left override: "model\u202egnp.obj" shows as "modeljbo.png".
        {"model\xe2\x80\xae" "gnp.obj", "model\\u202egnp.obj"},
        {"\xe2\x80\xaa\xe2\x80\xab\xe2\x80\xac\xe2\x80\xad", "\\u202a\\u202b\\u202c\\u202d"},
        {"\xe2\x81\xa6\xe2\x81\xa7\xe2\x81\xa8\xe2\x81\xa9", "\\u2066\\u2067\\u2068\\u2069"},
        {"\xe2\x80\x8e\xe2\x80\x8f\xd8\x9c", "\\u200e\\u200f\\u061c"},
        {"a\xe2\x80\x8b" "b\xe2\x80\x8c" "c\xe2\x80\x8d" "d", "a\\u200bb\\u200cc\\u200dd"},
        {"\xe2\x81\xa0\xe2\x81\xa4\xef\xbb\xbf", "\\u2060\\u2064\\ufeff"},
        {"soft\xc2\xad" "hyphen \xe1\xa0\x8e", "soft\\u00adhyphen \\u180e"},
        {"line\xe2\x80\xa8" "para\xe2\x80\xa9", "line\\u2028para\\u2029"},
        // Tags past the basic plane.
        {"\xf3\xa0\x80\x81\xf3\xa0\x81\x81", "\\U000e0001\\U000e0041"},
        // Letters around them stay: Hebrew, Arabic and a combining accent.
        {"\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd8\xb3\xd9\x84\xd8\xa7\xd9\x85 e\xcc\x81",
         "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd8\xb3\xd9\x84\xd8\xa7\xd9\x85 e\xcc\x81"},
        {"\xe2\x80\x90\xe2\x80\xaf\xe2\x81\x9f", "\xe2\x80\x90\xe2\x80\xaf\xe2\x81\x9f"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(printable(text), shown);
        // What was escaped once is printed as it is.
        EXPECT_EQ(printable(shown), shown);
    }
}

TEST(Printable, LinesKeepTheirBreaksAndLoseTheirControls)
{
    EXPECT_EQ(printableLines("0:3(1): error: \x1b[2J\n0:4(2): \xe2\x80\xae" "x\n"),
              "0:3(1): error: \\x1b[2J\n0:4(2): \\u202ex\n");
    EXPECT_EQ(printableLines("one line"), "one line");
}
