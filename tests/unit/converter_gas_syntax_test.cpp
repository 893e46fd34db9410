// The GNU syntax of symbols and operands: what GNU as would misread, one case a line.
#include <gtest/gtest.h>

#include "expressions/expression_rewriter.h"
#include "writing/gas_syntax.h"

namespace {

// The operand as the rewriter takes it apart, written for GNU as.
std::string gas_expression(std::string_view source, bool byte_wide = false) {
    EvalState eval;
    DataNameTable names;
    std::string h8_text;
    OperandPieces operand;
    operand.byte_wide = byte_wide;
    translate_expression(eval, names, source, h8_text, nullptr, &operand.pieces);
    return gas_operand(operand, h8_text);
}

TEST(GasSyntax, SymbolsGnuAsWouldMisread) {
    const std::pair<const char*, const char*> cases[] = {
        {"loop1", ".LOOP1"},  // lower case folded; an L name is no local label
        {"R0", ".R0"},       {"r7l", ".R7L"}, {"ER3", ".ER3"},   {"SP", ".SP"},    {"CCR", ".CCR"},
        {"R8", "R8"},        {"RAM", "RAM"},  {"SPX", "SPX"},    {"IT'S", "IT.S"}, {"R0'", ".R0."},
        {"E7", ".E7"},       {"E8", "E8"},    {"1ABC", ".1ABC"},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(gas_symbol(name), expected) << name;
}

TEST(GasSyntax, ExpressionsKeepTheHd64180Meaning) {
    const std::pair<const char*, const char*> cases[] = {
        {"1+2 AND 3", "(0x1+0x2)&0x3"},  // GNU as binds & tighter than +
        {"A+B*2", "A+(B*0x2)"},
        {"A-B-C", "A-B-C"},
        {"A XOR 0FH", "A^0xF"},
        {"A ^ B", "A^B"},
        {"NOT M", "((~M)&0xFFFF)"},
        {"HIGH ADDR", "((ADDR)>>8)&0xFF"},
        {"HIGH(ADDR)+1", "(((ADDR)>>8)&0xFF)+0x1"},
        {"LOW 1234H", "(0x1234)&0xFF"},
        {"'A'", "0x41"},
        {"$+4", ".+0x4"},
        {"-X", "-X"},
        {"(X+1)*2", "(X+0x1)*0x2"},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(gas_expression(source), expected) << source;
    EXPECT_EQ(gas_expression("NOT M", true), "((~M)&0xFF)");
}

TEST(GasSyntax, OperandsAndPassThroughText) {
    // An address in parentheses would read as @(d,Rn).
    OperandPieces address{{{PieceKind::text, "@", 0},
                           {PieceKind::open, "(", 0},
                           {PieceKind::name, "T", 0},
                           {PieceKind::close, ")", 0},
                           {PieceKind::binary, "+", 0},
                           {PieceKind::number, "H'1", 1}},
                          false};
    EXPECT_EQ(gas_operand(address, {}), "@0+(T)+0x1");
    OperandPieces text{{{PieceKind::string, "a\"b\\\t", 0}}, false};
    EXPECT_EQ(gas_operand(text, {}), "\"a\\\"b\\\\\\011\"");
    EXPECT_EQ(gas_passthrough_text("\tANDC\t#H'7F,CCR\t; H'7F stays in the comment\n"),
              "\tANDC\t#0x7F,CCR\t; H'7F stays in the comment\n");
    EXPECT_EQ(gas_passthrough_text("\tMOV.W\t#PATH'1,R0\n"), "\tMOV.W\t#PATH'1,R0\n");
}

}  // namespace
