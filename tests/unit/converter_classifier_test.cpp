#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reading/classifier.h"
#include "test_support.h"

namespace {

struct Case {
    const char* text;  // upper case, mnemonic first; "\n" is appended
    std::uint16_t code;
    std::uint8_t form, reg1, reg2, col1, col2;
    bool error = false;
};

// The column of the first operand character as the scanner leaves it: the first non-blank after
// the mnemonic, 0 when only a comment or nothing follows.
std::uint8_t scanned_col1(std::string_view line) {
    std::size_t pos = line.find_first_of(" \t\n;");
    if (pos == std::string_view::npos) return 0;
    pos = line.find_first_not_of(" \t", pos);
    if (pos == std::string_view::npos || line[pos] == '\n' || line[pos] == ';') return 0;
    return static_cast<std::uint8_t>(pos);
}

struct Result {
    LineRecord record;
    Form returned;
    std::string console;
};

Result classify(std::string line, std::uint16_t code, std::uint8_t col1) {
    auto ctx = fresh_context();
    ctx->includes.levels[0].line_count = 7;
    Result result{};
    result.record.code = code;
    result.record.col1 = col1;
    result.returned = classify_operands(*ctx, line, result.record);
    result.console = ctx->console.captured;
    return result;
}

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        std::string line = std::string(c.text) + "\n";
        SCOPED_TRACE(c.text);
        Result r = classify(line, c.code, scanned_col1(line));
        EXPECT_EQ(static_cast<int>(r.record.form), c.form);
        EXPECT_EQ(static_cast<int>(r.returned), c.form);
        EXPECT_EQ(r.record.reg1, c.reg1);
        EXPECT_EQ(r.record.reg2, c.reg2);
        EXPECT_EQ(r.record.col1, c.col1);
        EXPECT_EQ(r.record.col2, c.col2);
        if (c.error) {
            EXPECT_EQ(r.record.code, c.code + 0x8000);
            EXPECT_EQ(r.console, "(7) ERROR: illegal operand\n");
        } else {
            EXPECT_EQ(r.record.code, c.code);
            EXPECT_EQ(r.console, "");
        }
    }
}

constexpr std::uint16_t LD = 0x1100, ADD = 0x1200, SUB = 0x1400, INC = 0x1A00, RLCA = 0x2000, RLA = 0x2200,
                        RRD = 0x2800, SET = 0x3000, RES = 0x3100, BIT = 0x3200, CALL = 0x3300, RET = 0x3400,
                        JP = 0x3800, JR = 0x3900, DJNZ = 0x3A00, EX = 0x3B00, PUSH = 0x3D00, POP = 0x3E00, MLT = 0x4600,
                        NOP = 0x4200;

}  // namespace

TEST(ClassifierRegisters, NamesFromTheirLeadingCharacters) {
    EXPECT_EQ(reg8_code("A"), 1);
    EXPECT_EQ(reg8_code("L,"), 8);
    EXPECT_EQ(reg8_code("I"), 0);
    EXPECT_EQ(reg8_code("R"), 0);
    EXPECT_EQ(reg8_code(""), 0);
    EXPECT_EQ(reg16_code("AF'"), 9);
    EXPECT_EQ(reg16_code("SPX"), 15);
    EXPECT_EQ(reg16_code("H"), 0);
    EXPECT_EQ(reg16_code(""), 0);
}

// One row per form the classifier produces.
// The case tables keep their columns.
// clang-format off
TEST(ClassifierForms, EveryForm) {
    check({
        // text                code  form r1  r2  col1 col2
        {"LD A,10H",           LD,   1,   1,  0,  5,   0},
        {"LD A,B",             LD,   2,   1,  3,  3,   0},
        {"LD A,(ADDR)",        LD,   3,   1,  0,  6,   0},
        {"LD B,(HL)",          LD,   4,   3,  28, 3,   0},
        {"LD A,(IX+5)",        LD,   6,   1,  13, 9,   0},
        {"LD (ADDR),A",        LD,   7,   0,  1,  4,   0},
        {"LD (HL),A",          LD,   8,   28, 1,  3,   0},
        {"LD (IX+OFS),C",      LD,   10,  13, 4,  7,   0},
        {"LD (HL),0FFH",       LD,   11,  28, 0,  3,   8},
        {"LD (IY+2),10",       LD,   12,  14, 0,  7,   10},
        {"INC A",              INC,  21,  1,  0,  4,   0},
        {"SUB 10",             SUB,  22,  0,  0,  4,   0},
        {"JP (ADDR)",          JP,   23,  0,  0,  4,   0},
        {"INC (HL)",           INC,  24,  28, 0,  4,   0},
        {"JP (IX)",            JP,   24,  29, 0,  3,   0},
        {"INC (IX+1)",         INC,  25,  13, 0,  8,   0},
        {"PUSH IX",            PUSH, 31,  13, 0,  5,   0},
        {"INC HL",             INC,  31,  12, 0,  4,   0},
        {"MLT DE",             MLT,  31,  11, 0,  4,   0},
        {"PUSH AF",            PUSH, 32,  9,  0,  5,   0},
        {"POP AF",             POP,  32,  9,  0,  4,   0},
        {"EX AF,AF'",          EX,   32,  9,  9,  3,   0},
        {"LD HL,1234H",        LD,   33,  12, 0,  6,   0},
        {"ADD HL,5",           ADD,  33,  12, 0,  7,   0},
        {"LD SP,HL",           LD,   34,  15, 12, 3,   0},
        {"ADD HL,BC",          ADD,  34,  12, 10, 4,   0},
        {"EX DE,HL",           EX,   34,  11, 12, 3,   0},
        {"LD HL,(WORK)",       LD,   35,  12, 0,  7,   0},
        {"LD (WORK),HL",       LD,   36,  0,  12, 4,   0},
        {"EX (SP),IX",         EX,   37,  31, 13, 3,   0},
        {"BIT 3,A",            BIT,  41,  1,  0,  4,   0},
        {"SET 3,(HL)",         SET,  42,  28, 0,  4,   4},
        {"RES 3,(IX+5)",       RES,  43,  13, 0,  10,  4},
        {"JP LOOP",            JP,   51,  0,  0,  3,   0},
        {"RET",                RET,  51,  0,  0,  0,   0},
        {"JR C,LABEL",         JR,   52,  0,  0,  5,   0},
        {"RET C",              RET,  52,  0,  0,  4,   0},
        {"JP NC,LABEL",        JP,   53,  0,  0,  6,   0},
        {"RET NC",             RET,  53,  0,  0,  4,   0},
        {"CALL Z,SUBR",        CALL, 54,  0,  0,  7,   0},
        {"RET Z",              RET,  54,  0,  0,  4,   0},
        {"JR NZ,LABEL",        JR,   55,  0,  0,  6,   0},
        {"RET NZ ; BACK",      RET,  55,  0,  0,  4,   0},
        {"JP PO,LABEL",        JP,   56,  0,  0,  6,   0},
        {"JR PE,X",            JR,   57,  0,  0,  6,   0},
    });
}

TEST(ClassifierForms, FixedOperandAndUnanalysedInstructions) {
    check({
        {"RLCA",               RLCA, 21,  1,  0,  0,   0},
        {"RRD",                RRD,  21,  1,  0,  0,   0},
        {"RLA B,(X",           RLA,  21,  1,  0,  4,   0},  // operands ignored, never an error
        {"NOP",                NOP,  0,   0,  0,  0,   0},
        {"DJNZ LOOP",          DJNZ, 0,   0,  0,  5,   0},
    });
}

TEST(ClassifierEdgeCases, RegisterAndIndirectShapes) {
    check({
        {"LD A,I",             LD,   1,   1,  0,  5,   0},  // I is no 8-bit register here
        {"LD A , B",           LD,   2,   1,  3,  3,   0},
        {"LD A,B;NOTE",        LD,   2,   1,  3,  3,   0},
        {"LD A,(HL",           LD,   4,   1,  28, 3,   0},  // the closing parenthesis is optional
        {"LD A,( HL )",        LD,   4,   1,  28, 3,   0},
        {"LD A,(IX + D)",      LD,   6,   1,  13, 11,  0},
        {"ADD A,(IY+D1)",      ADD,  6,   1,  14, 10,  0},
        {"LD (IX),A",          LD,   8,   29, 1,  3,   0},
        {"LD (BC+2),A",        LD,   10,  10, 1,  7,   0},  // any pair may be indexed
        {"EX (SP ),HL",        EX,   37,  31, 12, 3,   0},
        {"PUSH AF'",           PUSH, 32,  9,  0,  5,   0},  // the prime is accepted, not recorded
        {"JP (HL) ; GO",       JP,   24,  28, 0,  3,   0},
        {"SUB (HL)",           SUB,  24,  28, 0,  4,   0},
        {"INC",                INC,  22,  0,  0,  0,   0},  // no operand: examined from column 0
        {"JP",                 JP,   51,  0,  0,  0,   0},
        {"RET PO",             RET,  0,   0,  0,  4,   0,  true},  // no parity flag: not a plain RTS
        {"RET M",              RET,  0,   0,  0,  4,   0,  true},
        {"RET ZZ",             RET,  51,  0,  0,  4,   0},
        {"JP C ,X",            JP,   52,  0,  0,  6,   0},
    });
}

TEST(ClassifierEdgeCases, IllegalOperands) {
    check({
        {"LD P,A",             LD,   0,   0,  0,  3,   0,  true},
        {"LD I,A",             LD,   0,   0,  0,  3,   0,  true},
        {"LD A,HL",            LD,   0,   0,  0,  3,   0,  true},
        {"LD (HL,A",           LD,   0,   0,  0,  3,   0,  true},
        {"LD A,(IX-1)",        LD,   6,   1,  13, 8,   0},         // a - displacement keeps its sign
        {"LD (ADDR),5",        LD,   0,   0,  0,  3,   0,  true},  // failed attempts leave col1/col2 alone
        {"LD A,(HL)X",         LD,   4,   1,  28, 3,   0},         // (the text after ')' is not checked here)
        {"INC (HL)X",          INC,  0,   0,  0,  4,   0,  true},
        {"LD A,(X+1)*2",       LD,   0,   0,  0,  3,   0,  true},  // a value, not the byte at X+1
        {"SUB (B-A) SHR 1",    SUB,  0,   0,  0,  4,   0,  true},
        {"LD A,( X + 1 ) * 2", LD,   0,   0,  0,  3,   0,  true},  // the ')' after plain text,
        {"LD A,(X+(Y))*2",     LD,   0,   0,  0,  3,   0,  true},  // after a nested pair,
        {"SUB (X+')')*2",      SUB,  0,   0,  0,  4,   0,  true},  // after a quoted ')'
        {"LD A,(X) AND 1",     LD,   0,   0,  0,  3,   0,  true},
        {"LD A,(TBL+(2))",     LD,   3,   1,  0,  6,   0},  // parentheses inside an address
        {"MLT A",              MLT,  0,   0,  0,  4,   0,  true},
        {"JP P,LOOP",          JP,   0,   0,  0,  3,   0,  true},
        {"JP M,LOOP",          JP,   0,   0,  0,  3,   0,  true},
        {"CALL NZZ,X",         CALL, 0,   0,  0,  5,   0,  true},
        {"RET Z,X",            RET,  0,   0,  0,  4,   0,  true},
        {"SET 3,(ADDR)",       SET,  0,   0,  0,  4,   0,  true},
        {"BIT 3",              BIT,  0,   0,  0,  4,   0,  true},
        {"PUSH 5",             PUSH, 0,   0,  0,  5,   0,  true},
        {"EX AF,5",            EX,   0,   0,  0,  3,   0,  true},
    });
}

// clang-format on

TEST(ClassifierEdgeCases, OperandBehindALabel) {
    Result r = classify("LOOP:\tLD\tA,(HL)\n", LD, 9);
    EXPECT_EQ(r.record.form, Form::reg_indirect);
    EXPECT_EQ(r.record.reg1, 1);
    EXPECT_EQ(r.record.reg2, 28);
    EXPECT_EQ(r.record.col1, 9);
}

// The last line of a file may lack its newline: the end of the text ends a name like a newline,
// and nothing is read beyond it.
TEST(ClassifierEdgeCases, LineWithoutNewline) {
    struct Row {
        const char* text;
        std::uint16_t code;
        std::uint8_t col1, form, reg1, reg2;
    };
    for (const Row& row :
         {Row{"LD A,B", LD, 3, 2, 1, 3}, Row{"LD A,(HL", LD, 3, 4, 1, 28}, Row{"JP (HL)", JP, 3, 24, 28, 0},
          Row{"PUSH AF'", PUSH, 5, 32, 9, 0}, Row{"INC H", INC, 4, 21, 7, 0}, Row{"LD A,", LD, 3, 1, 1, 0},
          Row{"RET Z", RET, 4, 54, 0, 0}}) {
        SCOPED_TRACE(row.text);
        Result r = classify(row.text, row.code, row.col1);
        EXPECT_EQ(static_cast<int>(r.record.form), row.form);
        EXPECT_EQ(r.record.reg1, row.reg1);
        EXPECT_EQ(r.record.reg2, row.reg2);
        EXPECT_EQ(r.console, "");
    }
}

TEST(ClassifierEdgeCases, NonInstructionIsLeftAlone) {
    Result r = classify("X EQU 5\n", 0x0150, 6);
    EXPECT_EQ(r.returned, Form::none);
    EXPECT_EQ(r.record.code, 0x0150);
    EXPECT_EQ(r.record.col1, 6);
    EXPECT_EQ(r.console, "");
}

// Operands that open no parenthesis are read once and their form told from the registers they
// name; every other operand goes through the classifiers in turn. Over operands built from
// registers, primes, conditions, values and parenthesised text, with every terminator, both
// readings give the same record, form and message in both modes.
TEST(ClassifierEdgeCases, QuickReadingAgreesWithTryingEachClassifier) {
    const std::vector<std::string> atoms = {"",    "A",   "B",   "C",    "H",   "L",  "I",      "F",   "AF",
                                            "AF'", "BC",  "DE",  "HL",   "IX",  "IY", "SP",     "SP'", "HL'",
                                            "NC",  "Z",   "NZ",  "PO",   "PE",  "P",  "M",      "NCX", "CZ",
                                            "5",   "X+1", "'A'", "(HL)", "(X)", "AB", "(IX+1)", "A'",  "P'"};
    const std::vector<std::string> trailers = {"", "\n", " ;C\n", "\t\n", ";X"};
    const std::vector<std::uint16_t> codes = {LD,  ADD,    0x1300, 0x1500, SUB, 0x1900, 0x1C00, 0x4500,
                                              INC, 0x1B00, MLT,    SET,    RES, BIT,    JP,     CALL,
                                              JR,  RET,    EX,     PUSH,   POP, RLCA,   NOP,    DJNZ};
    std::vector<std::string> operands;
    for (const std::string& first : atoms) {
        operands.push_back(first);
        for (const std::string& second : atoms) {
            operands.push_back(first + "," + second);
            operands.push_back(first + " , " + second);
        }
    }
    for (bool extended : {false, true}) {
        auto quick_ctx = fresh_context();
        auto trying_ctx = fresh_context();
        quick_ctx->settings.extended = extended;
        trying_ctx->settings.extended = extended;
        for (std::uint16_t code : codes) {
            for (const std::string& operand : operands) {
                for (const std::string& trailer : trailers) {
                    const std::string line = "\tOP\t" + operand + trailer;
                    SCOPED_TRACE(line + (extended ? " (extended)" : ""));
                    quick_ctx->console.captured.clear();
                    trying_ctx->console.captured.clear();
                    LineRecord quick;
                    quick.code = code;
                    quick.col1 = 4;
                    quick.col2 = 7;
                    quick.reg1 = 2;
                    quick.reg2 = 3;
                    LineRecord trying = quick;
                    const Form quick_form = classify_operands(*quick_ctx, line, quick);
                    const Form trying_form = classify_operands_by_trying(*trying_ctx, line, trying);
                    ASSERT_EQ(quick_form, trying_form);
                    ASSERT_EQ(quick, trying);
                    ASSERT_EQ(quick_ctx->console.captured, trying_ctx->console.captured);
                }
            }
        }
    }
}
