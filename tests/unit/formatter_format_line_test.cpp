#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formatter.h"
#include "formatter_test_text.h"

namespace {

struct LineCase {
    std::string input;
    std::string expected;
};

void expect_formatted(const std::vector<LineCase>& cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(format_line(c.input), c.expected) << "input: " << c.input;
    }
}

const std::string forty(40, 'A');

}  // namespace

// The kinds of line srcport writes, each with its tidied form.
TEST(FormatterFormatLine, ConverterLineKinds) {
    expect_formatted({
        {tabs("LOOP→MOV.B→@R3,R0H→→→;→LOOP:→LD→A,(HL)→; get"), tabs("LOOP→MOV.B→@R3,R0H→→→; get")},
        {tabs("LOOP→MOV.B→@R3,R0H→→→;→LOOP:→LD→A,(HL)"), tabs("LOOP→MOV.B→@R3,R0H")},
        {tabs("→.DATA.B→H'41"), tabs("→.DATA.B→H'41")},
        {tabs("LOOP→.EQU→$→→→;→LOOP:"), tabs("LOOP→.EQU→$")},
        {tabs(";→→→→→;→; comment line"), "; comment line"},
        {tabs("→NOP→→;*** error ***→;→→LD→P,A"), tabs("→NOP→→;*** error ***")},
        {tabs("→MOV.B→R0L,R1L→→→; -->→→MOV.B→R0L,R1L→; copy"), tabs("→MOV.B→R0L,R1L→→→; copy")},
        {"", ""},
    });
}

// Only a ';' from column 40 on, followed by a tab or " -->\t", starts the comment field.
TEST(FormatterFormatLine, MarkerNeedsColumnAndFollower) {
    const std::string thirty_nine(39, 'A');
    expect_formatted({
        {thirty_nine + tabs(";→; c"), thirty_nine + tabs(";→; c")},
        {forty + tabs(";→; c"), forty + "; c"},
        {forty + "; abc ; c", forty + "; abc ; c"},
        {tabs("→→→→→; --> ; c"), tabs("→→→→→; --> ; c")},
        {tabs("→→→→→;→→; c"), tabs("→→→→→; c")},
        // The text in front already passes column 40: the marker stands at the next tab stop.
        {std::string(41, 'A') + tabs("→;→SRC→; c"), std::string(41, 'A') + tabs("→; c")},
        // The first marker wins; what follows is the source text.
        {tabs("→MOV→→→→;→→LD→A,B→;→note;→more"), tabs("→MOV→→→→;→note;→more")},
    });
}

// A marker at the very end of a line, or a follower cut short, must not read past the line.
TEST(FormatterFormatLine, MarkerAtEndOfLine) {
    expect_formatted({
        {forty + ";", forty + ";"},
        {forty + "; -->", forty + "; -->"},
        {forty + tabs(";→"), forty},
        {forty + "; -->\t", forty},
    });
}

TEST(FormatterFormatLine, SourceCommentIsFirstSemicolonOfSourceText) {
    expect_formatted({
        // A ';' in a quoted string is not the comment; the one after it is.
        {tabs("TBL→.DATA.B→H'3B→→→;→TBL:→DB→';'"), tabs("TBL→.DATA.B→H'3B")},
        {tabs("MSG→.SDATA→\"a;b\"→→→;→MSG:→DB→'a;b',0→; text"), tabs("MSG→.SDATA→\"a;b\"→→→; text")},
        // An unclosed quote and a prime protect nothing.
        {tabs("→→→→→;→→DB→'a;b"), tabs("→→→→→;b")},
        {tabs("→EX→→→→;→→EX→AF,AF'→; it's"), tabs("→EX→→→→; it's")},
        // A comment-only source line with nothing after its ';'.
        {tabs(";→→→→→;→;"), ";"},
        // A comment line whose source comment holds further text with ';'.
        {tabs(";→→→→→;→;a;b"), ";a;b"},
    });
}

TEST(FormatterFormatLine, LinesWithoutCommentFieldPassUnchanged) {
    expect_formatted({
        {tabs(";→→→→;*** warning: EQU,DS redefine ***"), tabs(";→→→→;*** warning: EQU,DS redefine ***")},
        {tabs(";→→→*** warning: Z flag unknown ***"), tabs(";→→→*** warning: Z flag unknown ***")},
        // A pass-through line copied without /H.
        {tabs("→MOV.B→R0L,R1L→; copy"), tabs("→MOV.B→R0L,R1L→; copy")},
        {tabs("LBL:→BSR→SUB1"), tabs("LBL:→BSR→SUB1")},
    });
}

TEST(FormatterFormatLine, PassThroughTextWithMarkerLikeSemicolon) {
    expect_formatted({
        {tabs("→MOV.B→R0L,R1L→→→;→x ; y"), tabs("→MOV.B→R0L,R1L→→→; y")},
        {tabs("LBL:→BSR→SUB1→→→; -->→LBL:→BSR→SUB1"), tabs("LBL:→BSR→SUB1")},
    });
}

// Trailing blanks and tabs go only when there is no comment to keep, and only directly before
// the marker.
TEST(FormatterFormatLine, TrailingWhiteSpaceBeforeMarker) {
    expect_formatted({
        {tabs("A →B →→→→;→x"), tabs("A →B")},
        {tabs("→NOP →  →→→;→→NOP"), tabs("→NOP")},
        {tabs("→→→→→; -->→"), ""},
        {tabs("→→→→→; -->→; c"), tabs("→→→→→; c")},
        {tabs("→NOP →→→→;→→NOP ; c"), tabs("→NOP →→→→; c")},
    });
}

// Every byte is one column and kept as it is, NUL and bytes from 0x80 included.
TEST(FormatterFormatLine, AnyByteValue) {
    const std::string with_nul("A\0B", 3);
    const std::string high(40, '\xC4');
    std::string nul_in_front = tabs("→X") + std::string(1, '\0') + tabs("→→→→;→→LD→; c");
    std::string nul_in_comment = tabs("→NOP→→→→;→→NOP→;") + std::string("a\0b", 3);
    expect_formatted({
        {with_nul, with_nul},
        {nul_in_front, tabs("→X") + std::string(1, '\0') + tabs("→→→→; c")},
        {nul_in_comment, tabs("→NOP→→→→;") + std::string("a\0b", 3)},
        {high + tabs(";→; \xE9t\xE9"), high + "; \xE9t\xE9"},
        {std::string(39, '\xFF') + tabs(";→; c"), std::string(39, '\xFF') + tabs(";→; c")},
    });
}
