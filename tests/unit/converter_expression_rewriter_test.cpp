#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "expressions/expression_rewriter.h"

namespace {

// An operand, the translated text and the rewriter's result (0 not translatable, 1 more follows,
// 2 complete).
struct TranslationCase {
    std::string_view text, out;
    int result;
};

// What one walk evaluated against what the evaluator gives for the same operand.
void expect_same_evaluation(const Evaluation& value, const Evaluation& expected, std::string_view text) {
    EXPECT_EQ(value.value, expected.value) << text;
    EXPECT_EQ(value.has_value, expected.has_value) << text;
    EXPECT_EQ(value.truncated, expected.truncated) << text;
    EXPECT_EQ(value.outcome.status, expected.outcome.status) << text;
    EXPECT_EQ(value.outcome.undefined_name, expected.outcome.undefined_name) << text;
    EXPECT_EQ(value.next, expected.next) << text;
}

class RewriterTest : public ::testing::Test {
protected:
    EvalState eval;
    DataNameTable names;
    Console console;

    void SetUp() override {
        console.capture = true;
        data_name_put(names, console, "PAR", 0, name_kind::macro_parameter);
        data_name_put(names, console, "V", 5, name_kind::value);
    }

    void expect_translations(std::initializer_list<TranslationCase> cases) {
        for (const TranslationCase& c : cases) {
            std::string out = "stale";
            const int result = static_cast<int>(translate_expression(eval, names, c.text, out));
            EXPECT_EQ(out, c.out) << c.text;
            EXPECT_EQ(result, c.result) << c.text;
        }
    }
};

}  // namespace

TEST_F(RewriterTest, WorkedResults) {
    expect_translations({
        {"LABEL+1", "LABEL+H'1", 2},
        {"0FFH", "H'FF", 2},
        {"NOT MASK", "~MASK", 2},
        {"A1 XOR 0FH", "A1~H'F", 2},
        {"HIGH(ADDR)", "HIGH (ADDR)", 2},
        {"(X+1)*2", "(X+H'1)*H'2", 2},
        {"P, 1", "P", 1},
        {"X SHL 2", "X", 0},
        {"$+3", "$+H'3", 0},
        {"X 5", "X", 0},
        {"'A'", "'A'", 2},
    });
    eval.in_macro_body = true;
    expect_translations({{"PAR+1", "\\PAR+H'1", 2}});
}

TEST_F(RewriterTest, OperatorsAndKeywordsInAnyCase) {
    expect_translations({
        {"x and y", "x&y", 2},
        {"not m", "~m", 2},
        {"a1 xor 0fh", "a1~H'F", 2},
        {"X or Y", "X|Y", 2},
        {"X^Y", "X~Y", 2},
        {"high(addr)", "high (addr)", 2},
        {"Low X", "Low X", 2},
        {"-X", "-X", 2},
        {"~X", "~X", 2},
        {"X%2/3*4", "X%H'2/H'3*H'4", 2},
        {"X&1|2", "X&H'1|H'2", 2},
        {"((X))", "((X))", 2},
        {"X)", "X)", 2},  // parentheses are written without a balance check
        {"NOT_X", "NOT_X", 2},
    });
    // Comparisons and shifts have no H8/300 operator.
    expect_translations({{"x shl 2", "x", 0},
                         {"X SHR 2", "X", 0},
                         {"X EQ 1", "X", 0},
                         {"X ne 1", "X", 0},
                         {"X GT 1", "X", 0},
                         {"X GE 1", "X", 0},
                         {"X LT 1", "X", 0},
                         {"X le 1", "X", 0}});
}

TEST_F(RewriterTest, Numbers) {
    expect_translations({
        {"0", "H'0", 2},
        {"0FFFFH", "H'FFFF", 2},
        {"1010B", "H'A", 2},
        {"377O", "H'FF", 2},
        {"12345678901234567890", "H'BAC0", 2},  // converted from its first 16 characters
    });
    // The assembler computes the expression: numbers keep 16 bits whatever the operand's width.
    expect_translations({{"X+1234H", "X+H'1234", 2}, {"HIGH X+1234H", "HIGH X+H'1234", 2}});
    eval.default_radix = 'H';
    expect_translations({{"10", "H'10", 2}, {"12AB", "H'1", 2}, {"99D", "H'63", 2}});
}

TEST_F(RewriterTest, NamesAndCharacterConstants) {
    expect_translations({
        {"X Y", "XY", 2},
        {"ABCDEFGHIJKLMNOPQRST+1", "ABCDEFGHIJKLMNOP+H'1", 2},
        // A constant is copied only when the assembler reads it alike; else the value is written.
        {"' '", "", 0},
        {"'\t'", "", 0},
        {"','", "", 0},
        {"''''", "", 0},
        {"'+'", "'+'", 2},
        {"'A'+1", "'A'+H'1", 2},
        {"\"A\"", "", 0},
        {"_L1+L_2", "_L1+L_2", 2},
    });
}

TEST_F(RewriterTest, ResultsAndStops) {
    expect_translations({
        {"X,Y", "X", 1},
        {"  X  ,  Y", "X", 1},
        {"X ;comment", "X", 2},
        {"X\n", "X", 2},
        {"X,$", "X", 1},
        {std::string_view("X\0+1", 4), "X", 2},
        {"X+", "X+", 0},
        {"NOT", "~", 0},
        {"", "", 0},
        {",X", "", 0},
        {"X.Y", "X", 0},
        {"X(1)", "X", 0},
        {"X#", "X", 0},
        {"X\"", "X", 0},
        {"$", "$", 0},
        {"X+$", "X+$", 0},
        {"HIGH $", "HIGH $", 0},
        {"X+\xA2", "X+", 0},
    });
}

TEST_F(RewriterTest, MacroParameters) {
    expect_translations({{"PAR+1", "PAR+H'1", 2}});  // outside a macro body
    eval.in_macro_body = true;
    expect_translations({
        {"PAR+1", "\\PAR+H'1", 2},
        {"HIGH PAR", "HIGH \\PAR", 2},
        {"(PAR)*V", "(\\PAR)*V", 2},  // V has a value, it is no parameter
        {"par", "par", 2},            // parameters are matched as written
        {"PAR,2", "\\PAR", 1},
    });
}

TEST_F(RewriterTest, LongOperandTranslatesWhole) {
    std::string text = "L";
    std::string expected = "L";
    while (text.size() + 2 <= 254) {
        text += "+1";
        expected += "+H'1";
    }
    std::string out;
    EXPECT_EQ(translate_expression(eval, names, text, out), Rewrite::complete);
    EXPECT_EQ(out, expected);
}

// A plain operand (one character constant, or names and numbers joined by + and -) takes a short
// way; a blank in front sends the same operand the general way, which must give the same text,
// result, pieces and kept name.
TEST_F(RewriterTest, PlainOperandsRewriteAsTheGeneralWay) {
    for (bool in_body : {false, true}) {
        eval.in_macro_body = in_body;
        for (std::string_view text :
             std::initializer_list<std::string_view>{"X",
                                                     "V",
                                                     "PAR",
                                                     "par",
                                                     "12H",
                                                     "0ffh",
                                                     "abc,1",
                                                     "X ;c",
                                                     "X\n",
                                                     "X\t,Y",
                                                     "LONGNAME_MORE_THAN_16_CHARS+1",
                                                     "LONGNAME_MORE_THAN_16_CHARS",
                                                     "AND",
                                                     "HIGH",
                                                     "X Y",
                                                     "X)",
                                                     "X.",
                                                     "AF'",
                                                     "1'",
                                                     "X$",
                                                     "'a'",
                                                     "'?'",
                                                     "'a'+1",
                                                     "'a',2",
                                                     "'ab'",
                                                     "'a''",
                                                     "''",
                                                     "'a' ;c",
                                                     "'a'b",
                                                     "X+1",
                                                     "PAR-V+10H",
                                                     "1+2",
                                                     "X+",
                                                     "X+-1",
                                                     "X+AND",
                                                     "X+1,5",
                                                     "X+1 ;c",
                                                     "X+1.",
                                                     "X+ 1",
                                                     "X +1",
                                                     "LONGNAME_MORE_THAN_16_CHARS+LONGNAME_MORE_THAN_16",
                                                     "X*2+1",
                                                     "X+'a'",
                                                     std::string_view("X\0", 2),
                                                     std::string_view("X+1 \0,2", 8),
                                                     std::string_view("'a'\0", 4),
                                                     std::string_view("'a\0'", 4),
                                                     std::string_view("'a' \0;", 6)}) {
            std::string fast_out = "stale";
            std::string general_out = "stale";
            bool fast_symbolic = false;
            bool general_symbolic = true;
            std::vector<Piece> fast_pieces;
            std::vector<Piece> general_pieces;
            const Rewrite fast = translate_expression(eval, names, text, fast_out, &fast_symbolic, &fast_pieces);
            const Rewrite general = translate_expression(eval, names, " " + std::string(text), general_out,
                                                         &general_symbolic, &general_pieces);
            EXPECT_EQ(fast, general) << text;
            EXPECT_EQ(fast_out, general_out) << text;
            EXPECT_EQ(fast_symbolic, general_symbolic) << text;
            ASSERT_EQ(fast_pieces.size(), general_pieces.size()) << text;
            for (std::size_t i = 0; i < fast_pieces.size(); ++i) {
                EXPECT_EQ(fast_pieces[i].kind, general_pieces[i].kind) << text;
                EXPECT_EQ(fast_pieces[i].text, general_pieces[i].text) << text;
                EXPECT_EQ(fast_pieces[i].value, general_pieces[i].value) << text;
            }
            // A lone name, which a branch writes without the rewrite, is what the rewrite makes of it.
            const std::string_view name = lone_name(eval, text);
            if (!name.empty()) {
                EXPECT_EQ(general, Rewrite::complete) << text;
                EXPECT_EQ(general_out, name) << text;
                ASSERT_EQ(general_pieces.size(), 1u) << text;
                EXPECT_EQ(general_pieces[0].kind, PieceKind::name) << text;
                EXPECT_EQ(general_pieces[0].text, name) << text;
            }
            const bool lone =
                !in_body && (text == "X" || text == "V" || text == "PAR" || text == "par" || text == "X ;c" ||
                             text == "X\n" || text == "AF'" || text == std::string_view("X\0", 2));
            EXPECT_EQ(!name.empty(), lone) << text;
        }
    }
}

// Names and numbers joined by + and - are evaluated and rewritten in one walk; every operand must
// come out exactly as the evaluator's and the rewriter's own walks make it, whatever its names
// (defined, undefined, labels, keywords, too long), numbers and ending.
TEST_F(RewriterTest, OneWalkGivesWhatTheTwoWalksGive) {
    address_name_put(names, "LBL");
    data_name_put(names, console, "BIG", 0x1234, name_kind::value);
    const std::vector<std::string> terms = {"V",
                                            "v",
                                            "BIG",
                                            "UNDEF",
                                            "LBL",
                                            "AND",
                                            "12H",
                                            "0FFFFH",
                                            "300",
                                            "1'",
                                            "0ffh",
                                            "PAR",
                                            "X$",
                                            "LONGNAME_MORE_THAN_16_CHARS",
                                            "NAME_OF_16_CHARS",  // read sixteen bytes at once, or not
                                            "12345678901234567H",
                                            "'a'",
                                            "'?'",
                                            "'ab'",
                                            "''",
                                            "'a",
                                            "' '",
                                            "'\"'",
                                            "\"a\"",
                                            "'.'",
                                            "'a''b'",
                                            "-1",
                                            "+V",
                                            "-'a'"};
    const std::vector<std::string> endings = {"",
                                              ",",
                                              ", 2",
                                              " ;c",
                                              ".",
                                              "\n",
                                              "\t,X",
                                              "\r",
                                              " X",
                                              ")",
                                              "*2",
                                              "+",
                                              "+ 1",
                                              "'a'",
                                              "\n,1",
                                              "\n ;c",
                                              "\n\n",
                                              "\n.",
                                              " \nX",
                                              std::string("\0,1", 3),
                                              std::string("\n\0,", 3)};
    std::vector<std::string> operands;
    for (const std::string& a : terms) {
        for (const std::string& ending : endings) operands.push_back(a + ending);
        for (const std::string& b : terms) {
            operands.push_back(a + "+" + b);
            operands.push_back(a + "-" + b + ",1");
            operands.push_back(a + "-" + b + "+" + a + " ;c");
        }
    }
    for (bool in_body : {false, true}) {
        eval.in_macro_body = in_body;
        for (const std::string& text : operands) {
            for (Width width : {Width::byte, Width::word}) {
                const Evaluation expected = evaluate_operand(eval, names, text, width);
                std::string expected_out;
                bool expected_symbolic = false;
                std::vector<Piece> expected_pieces;
                const Rewrite expected_rewrite =
                    translate_expression(eval, names, text, expected_out, &expected_symbolic, &expected_pieces);

                Evaluation value;
                std::string out = "#";
                bool symbolic = !expected_symbolic;
                std::vector<Piece> pieces = {{PieceKind::text, "stale", 0}};
                const Rewrite rewrite = evaluate_and_rewrite(eval, names, text, width, value, out, &symbolic, &pieces);
                EXPECT_EQ(rewrite, expected_rewrite) << text;
                EXPECT_EQ(out, "#" + expected_out) << text;
                EXPECT_EQ(symbolic, expected_symbolic) << text;
                expect_same_evaluation(value, expected, text);
                ASSERT_EQ(pieces.size(), expected_pieces.size()) << text;
                for (std::size_t i = 0; i < pieces.size(); ++i) {
                    EXPECT_EQ(pieces[i].kind, expected_pieces[i].kind) << text;
                    EXPECT_EQ(pieces[i].text, expected_pieces[i].text) << text;
                    EXPECT_EQ(pieces[i].value, expected_pieces[i].value) << text;
                }

                // Without pieces, as the H8/300 syntax asks, a lone name takes a shorter way still.
                Evaluation bare_value;
                bare_value.outcome.undefined_name = "stale";
                std::string bare_out = "@";
                bool bare_symbolic = !expected_symbolic;
                const Rewrite bare =
                    evaluate_and_rewrite(eval, names, text, width, bare_value, bare_out, &bare_symbolic);
                EXPECT_EQ(bare, expected_rewrite) << text;
                EXPECT_EQ(bare_out, "@" + expected_out) << text;
                EXPECT_EQ(bare_symbolic, expected_symbolic) << text;
                expect_same_evaluation(bare_value, expected, text);
            }
        }
    }
}
