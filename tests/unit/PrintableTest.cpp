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
