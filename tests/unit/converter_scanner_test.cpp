// The line scanner and the keyword table: what each kind of line becomes.
#include <gtest/gtest.h>

#include "reading/keywords.h"
#include "reading/pass1.h"
#include "reading/scanner.h"
#include "reading/text_scan.h"
#include "test_support.h"

namespace {

struct Scanned {
    LineRecord record;
    std::string console;
};

Scanned scan(Context& ctx, std::string_view text) {
    const std::string line = upper_case(text) + "\n";
    ctx.includes.levels[0].line_count = 5;
    ctx.console.captured.clear();
    Scanned result;
    scan_line(ctx, line, result.record);
    result.console = ctx.console.captured;
    return result;
}

struct ScanCase {
    const char* line;
    std::uint16_t code;
    const char* label;
    int col1;
};

TEST(Scanner, LineKinds) {
    const ScanCase cases[] = {
        {"", 0x7000, "", 0},
        {"; only a comment", 0x7000, "", 0},
        {"COMMON /X/", 0x7000, "", 7},
        {"LOOP:", 0x0000, "LOOP", 0},
        {"START", 0x0000, "START", 0},
        {"  LD A,B", 0x1100, "", 5},
        {"ld a,b", 0x1100, "", 3},
        {"Ld A,B", 0x1100, "", 3},
        {"LOOP: DJNZ LOOP", 0x3A00, "LOOP", 11},
        {"X EQU $", 0x0000, "X", 6},
        {"X EQU $+2", 0x0000, "X", 6},
        {"X EQU 5", 0x0150, "X", 6},
        {"NOP ; comment", 0x4200, "", 0},
        {"\\ MOV.B R0L,R1L", 0xF000, "", 0},
        {"\\", 0xF000, "", 0},
        {" \\X", 0x8000, "", 0},
        {".Z80", 0x7000, "", 0},
        {"$TITLE HELLO", 0x01E0, "", 7},
        {"#", 0x0000, "", 0},
        {"DEFB 1", 0x0170, "", 5},
        {"DC 1", 0x0170, "", 3},
        {"MACLIB X", 0x0240, "", 7},
        {"LBL Z80", 0x7000, "LBL", 0},
    };
    for (const ScanCase& c : cases) {
        auto ctx = fresh_context();
        Scanned s = scan(*ctx, c.line);
        EXPECT_EQ(s.record.code, c.code) << c.line;
        EXPECT_EQ(s.record.label_view(), c.label) << c.line;
        EXPECT_EQ(s.record.col1, c.col1) << c.line;
    }
}

TEST(Scanner, UnknownMnemonics) {
    const std::pair<const char*, const char*> cases[] = {
        {"LABEL1 LABEL2", "(5) ERROR: unknown mnemonic 'LABEL2'\n"},
        {"* STAR", "(5) ERROR: unknown mnemonic ''\n"},
        {"= 5", "(5) ERROR: unknown mnemonic ''\n"},
        {".FOO", "(5) ERROR: unknown mnemonic 'FOO'\n"},
        {"L LDX A", "(5) ERROR: unknown mnemonic 'LDX'\n"},
        {"L ABCDEFGHIJKLMNO", "(5) ERROR: unknown mnemonic 'ABCDEFGHIJKL'\n"},
    };
    for (const auto& [line, message] : cases) {
        auto ctx = fresh_context();
        Scanned s = scan(*ctx, line);
        EXPECT_EQ(s.record.code, 0x8000) << line;
        EXPECT_EQ(s.console, message) << line;
    }
}

TEST(Scanner, OverlongWordIsCutWithWarning) {
    auto ctx = fresh_context();
    Scanned s = scan(*ctx, "ABCDEFGHIJKLMNOPQRST: NOP");
    EXPECT_EQ(s.console, "(5) WARNING: label length 16 over 'ABCDEFGHIJKLMNOP'+'QRST'\n");
    EXPECT_EQ(s.record.label_view(), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(s.record.code, 0x4200);

    Scanned seventeen = scan(*ctx, "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(seventeen.console, "(5) WARNING: label length 16 over 'ABCDEFGHIJKLMNOP'+'Q'\n");
    EXPECT_EQ(seventeen.record.code, 0);
}

TEST(Scanner, MacrosAreKnownFromTheirDefinitionOn) {
    auto ctx = fresh_context();
    Scanned early = scan(*ctx, "MYMAC 1,2");
    EXPECT_EQ(early.record.code, 0x8000);
    EXPECT_EQ(early.console, "(5) ERROR: unknown mnemonic '1'\n");

    Scanned other = scan(*ctx, "FIRST MACRO");
    Scanned definition = scan(*ctx, "MYMAC MACRO P1,P2");
    EXPECT_EQ(definition.record.code, 0x0260);
    EXPECT_EQ(definition.record.label_view(), "MYMAC");

    Scanned call = scan(*ctx, "  mymac 1,2");
    EXPECT_EQ(call.record.code, 0x0280);
    EXPECT_EQ(macro_index(call.record), 1U);
    EXPECT_EQ(call.record.col1, 8);
}

TEST(Scanner, PrefixedMacroWithoutLabelDefinesNothing) {
    auto ctx = fresh_context();
    scan(*ctx, ".MACRO");
    EXPECT_TRUE(ctx->macro_names.names.empty());
    Scanned star = scan(*ctx, "*");
    EXPECT_EQ(star.record.code, 0x8000);
}

TEST(Scanner, HostileBytesNeverCrash) {
    auto ctx = fresh_context();
    std::string line = "\x80\xff\x01LBL: LD A,\x93\x94";
    Scanned s = scan(*ctx, line);
    EXPECT_EQ(s.record.code, 0x8000);
    std::string long_word(300, 'A');
    Scanned l = scan(*ctx, long_word.substr(0, 250));
    EXPECT_EQ(l.record.label_view().size(), 16U);
}

TEST(KeywordTable, SynonymsAndExactMatch) {
    EXPECT_EQ(KeywordTable.size(), 115U);
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"LD", 0x1100},
        {"DEFB", 0x0170},
        {"DB", 0x0170},
        {"DC", 0x0170},
        {"MACLIB", 0x0240},
        {"INCLUDE", 0x0240},
        {"LIST", 0x0100},
        {"XLIST", 0x0210},
        {"NLIST", 0x0210},
        {"TSTIO", 0x6800},
        {"EXTERNAL", 0x01B0},
        {"DEPHASE", 0x7000},
        {"LDX", 0},
        {"L", 0},
        {"ld", 0},
        {"", 0},
    };
    for (const auto& [word, code] : cases) EXPECT_EQ(keyword_lookup(word).value_or(0), code) << word;
}

// The lookup goes through a hashed index: every row must be reachable through it, and a name that
// packs to the same bytes as a keyword (a trailing NUL) must still not match it.
TEST(KeywordTable, EveryRowFoundThroughTheIndex) {
    for (const Keyword& keyword : KeywordTable) EXPECT_EQ(keyword_lookup(keyword.text), keyword.code) << keyword.text;
    EXPECT_FALSE(keyword_lookup(std::string_view("LD\0", 3)));
}

}  // namespace

// Lines are upper-cased a byte, eight bytes or sixteen bytes at a time by their length: every
// length across those steps, with every byte value in every place, comes out as the byte-by-byte
// rule gives it, and nothing is written past the end.
TEST(ScannerUpperCase, EveryLengthAndByteAsOneByOne) {
    for (std::size_t length = 0; length <= 40; ++length) {
        for (int first = 0; first < 256; first += 7) {
            std::string text(length, '\0');
            for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>((first + 37 * i) & 0xFF);
            std::string expected = text;
            for (char& ch : expected) ch = to_upper(ch);
            std::string out(length + 1, '#');
            upper_case_to(out.data(), text);
            SCOPED_TRACE(length);
            EXPECT_EQ(out.substr(0, length), expected);
            EXPECT_EQ(out.back(), '#');
            EXPECT_EQ(upper_case(text), expected);
        }
    }
}
