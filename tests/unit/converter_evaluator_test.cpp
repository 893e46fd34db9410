#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "expressions/evaluator.h"

namespace {

struct Result {
    std::string out;
    std::uint16_t status = 0;
    std::string undefined;
    std::optional<std::size_t> next;
};

// An operand and its value in a 16-bit and in an 8-bit evaluation.
struct ValueCase {
    std::string_view text, value16, value8;
};

class EvaluatorTest : public ::testing::Test {
protected:
    EvalState eval;
    DataNameTable names;
    Console console;

    void SetUp() override {
        console.capture = true;
        data_name_put(names, console, "X", 0x1A2B, name_kind::value);
        data_name_put(names, console, "W", 0xABCD, name_kind::value);
    }

    // The evaluation in the shape the cases are written in: the value as hex digits ("" without a
    // value, "0" when malformed) and the status as 0 (ok), 1 (malformed), 3 (undefined name) or 4
    // (a label's address, extended mode).
    Result evaluate(std::string_view text, int width = 1) {
        const Evaluation evaluation = evaluate_operand(eval, names, text, width == 0 ? Width::byte : Width::word);
        Result result;
        result.next = evaluation.next;
        result.undefined = evaluation.outcome.undefined_name;
        switch (evaluation.outcome.status) {
            case EvalStatus::ok: result.out = evaluation.has_value ? hex_digits(evaluation.value) : ""; break;
            case EvalStatus::malformed:
                result.out = "0";
                result.status = 1;
                break;
            case EvalStatus::undefined_name: result.status = 3; break;
            case EvalStatus::address_name: result.status = 4; break;
        }
        return result;
    }

    void expect_values(std::initializer_list<ValueCase> cases, char radix = 'D') {
        eval.default_radix = radix;
        for (const ValueCase& c : cases) {
            Result wide = evaluate(c.text, 1);
            EXPECT_EQ(wide.out, c.value16) << "16-bit: " << c.text;
            EXPECT_EQ(wide.status, 0) << "16-bit: " << c.text;
            Result narrow = evaluate(c.text, 0);
            EXPECT_EQ(narrow.out, c.value8) << "8-bit: " << c.text;
            EXPECT_EQ(narrow.status, 0) << "8-bit: " << c.text;
        }
    }

    void expect_malformed(std::initializer_list<std::string_view> texts) {
        for (std::string_view text : texts) {
            Result result = evaluate(text);
            EXPECT_EQ(result.out, "0") << text;
            EXPECT_EQ(result.status, 1) << text;
            EXPECT_EQ(result.undefined, "") << text;
        }
    }
};

}  // namespace

TEST_F(EvaluatorTest, WorkedResults) {
    expect_values({
        {"0FFH", "FF", "FF"},
        {"1234H", "1234", "34"},
        {"1010B", "A", "A"},
        {"377O", "FF", "FF"},
        {"17Q", "11", "11"},
        {"'A'", "41", "41"},
        {"'AB'", "4142", "42"},
        {"HIGH 1234H", "12", "12"},
        {"LOW 1234H", "34", "34"},
        {"NOT 0", "FFFF", "FF"},
        {"-1", "FFFF", "FF"},
        {"2+3*4", "E", "E"},
        {"(2+3)*4", "14", "14"},
        {"1 EQ 1", "FFFF", "FF"},
        {"1 SHL 4", "10", "10"},
        {"$", "0", "0"},
        {"X+1", "1A2C", "2C"},
    });
    expect_values({{"99D", "63", "63"}, {"10", "10", "10"}, {"12AB", "1", "1"}}, 'H');

    Result undefined = evaluate("Y+1");
    EXPECT_EQ(undefined.out, "");
    EXPECT_EQ(undefined.status, 3);
    EXPECT_EQ(undefined.undefined, "Y");
    expect_malformed({"(1+2"});
}

TEST_F(EvaluatorTest, RadixAndNumberScan) {
    expect_values({
        {"0ffh", "FF", "FF"},
        {"377o", "FF", "FF"},
        {"102B", "2", "2"},  // binary digits stop at the 2
        {"8O", "0", "0"},    // no octal digit
        {"0X1FH", "1F", "1F"},
        {"0XH", "0", "0"},  // %x takes a 0x prefix
        {"65536", "0", "0"},
        {"70000", "1170", "70"},
        {"12345678901234567890", "AD2", "D2"},  // long digit strings keep their low 16 bits
        {"1 2", "1", "1"},                      // the scan stops at the blank
        {"2~3", "2", "2"},                      // NOT inside a part is not applied
    });
    expect_values({{"10", "2", "2"}, {"11D", "B", "B"}}, 'B');
    expect_values({{"10", "8", "8"}, {"18", "1", "1"}}, 'O');
}

TEST_F(EvaluatorTest, NumberValues) {
    struct Case {
        std::string_view text;
        char radix;
        Width width;
        std::uint16_t value;
    };
    for (const Case& c : {Case{"0FFH", 'D', Width::word, 0xFF}, Case{"12AB", 'H', Width::word, 1},
                          Case{"1+2", 'D', Width::word, 1}, Case{"1234H", 'D', Width::byte, 0x34}}) {
        EXPECT_EQ(number_value(c.radix, c.text, c.width), c.value) << c.text;
    }
}

TEST_F(EvaluatorTest, CharacterConstants) {
    expect_values({
        {"'A''B'", "2742", "42"},  // a doubled delimiter stands for one; the last two bytes count
        {"\"A\"", "41", "41"},
        {"'\"'", "22", "22"},
        {"\"\"\"\"", "22", "22"},
        {"''''", "27", "27"},
        {"'ABC'", "4243", "43"},
        {"'ABC'+0", "4243", "43"},  // as an operand only the low 16 bits count
        {"'AB'+0", "4142", "42"},
        {"'A'+1", "42", "42"},
        {"('A')", "41", "41"},
        {"'\t'", "9", "9"},
        {"'\x01\x02'", "102", "2"},  // control characters are values like any other
        {"'AB\"", "4142", "42"},
        {"\"A'", "41", "41"},  // closed by the other kind of quote
        {"'\xC8'", "C8", "C8"},
        {"'(' + 1", "29", "29"},
        {"'x' EQ 'x'", "FFFF", "FF"},
    });
    // Quotes protect a ',' '.' or ';'; an unclosed quote protects nothing.
    expect_values({{"'A,B'", "2C42", "42"}, {"'A.B'", "2E42", "42"}, {"'A;B'", "3B42", "42"}});
    expect_malformed({"'A,B", "'A", "'''", "'1'2'", "5'A'", "'A' 'B'", "''+1"});
    Result empty = evaluate("''");
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.status, 0);
}

TEST_F(EvaluatorTest, NamesAndUndefinedNames) {
    expect_values({
        {"x+1", "1A2C", "2C"},  // names are looked up in upper case
        {"W", "ABCD", "CD"},    // substituted as abcdh, still a number
        {"1 and 3", "1", "1"},
        {"high 1234h", "12", "12"},
    });

    struct Case {
        std::string_view text, undefined;
    };
    for (const Case& c :
         {Case{"Y+1", "Y"}, Case{"first+second", "SECOND"}, Case{"LONG_UNDEFINED_NAME+X", "LONG_UNDEFIN"},
          Case{"Y+(", "Y"}, Case{"_Q", "_Q"}, Case{"Z'", "Z'"}}) {
        Result result = evaluate(c.text);
        EXPECT_EQ(result.out, "") << c.text;
        EXPECT_EQ(result.status, 3) << c.text;
        EXPECT_EQ(result.undefined, c.undefined) << c.text;
    }
    Result clean = evaluate("1");  // a later evaluation starts clean
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.undefined, "");
}

TEST_F(EvaluatorTest, PrecedenceAndGrouping) {
    expect_values({
        {"10-1-1", "8", "8"},       {"100/10/2", "5", "5"},      {"2*-3", "FFFA", "FA"},     {"1--2", "3", "3"},
        {"- -1", "1", "1"},         {"-1+2", "1", "1"},          {"3-NOT 0", "4", "4"},      {"NOT NOT 5", "5", "5"},
        {"1 OR 2 AND 3", "3", "3"}, {"1+2 SHL 1", "5", "5"},     {"1 EQ 1 AND 0", "0", "0"}, {"5 XOR 3", "6", "6"},
        {"1 NE 2", "FFFF", "FF"},   {"2 GT 1", "FFFF", "FF"},    {"1 GE 2", "0", "0"},       {"1 LT 2", "FFFF", "FF"},
        {"2 LE 2", "FFFF", "FF"},   {"0 LT -1", "FFFF", "FF"},   {"8 SHR 2", "2", "2"},      {"1 SHL 16", "0", "0"},
        {"1 SHL 33", "2", "2"},  // shift counts are taken mod 32
        {"7 % 3", "1", "1"},        {"0FFFFH*0FFFFH", "1", "1"}, {"((1+2))*3", "9", "9"},    {"-(2)", "FFFE", "FE"},
        {"(1)+(2)", "3", "3"},      {" \t1 + 2\t ", "3", "3"},
    });
}

TEST_F(EvaluatorTest, EightBitEvaluationCutsOnlyTheResult) {
    expect_values({{"1234H/10H", "123", "23"},
                   {"100H+1", "101", "1"},
                   {"0FFH+1", "100", "0"},
                   {"HIGH (1234H+0)", "12", "12"},
                   {"100H EQ 0", "0", "0"}});
}

TEST_F(EvaluatorTest, MalformedOperands) {
    expect_malformed({"1+2)", "5(3)", "(5)3", "(1)(2)", "*3", "3*", "-", "1 AND", "1/0", "1%0", "5/(1-1)", ")", "(",
                      "1+()", "\xA2 1234H"});
    // A malformed part ends the whole evaluation even under an operator that would discard it.
    expect_malformed({"0*(1/0)", "0 AND 5(3)"});
}

TEST_F(EvaluatorTest, OperandEndAndNextItem) {
    struct Case {
        std::string_view text, out;
        std::optional<std::size_t> next;
    };
    for (const Case& c :
         {Case{"1, 2", "1", 3}, Case{"1,\t 2", "1", 4}, Case{"1.5", "1", 2}, Case{"1;,2", "1", std::nullopt},
          Case{"1\n,2", "1", std::nullopt}, Case{"1", "1", std::nullopt}, Case{"1,", "1", 2},
          Case{std::string_view("1\0,2", 4), "1", std::nullopt}, Case{"'A,B',1", "2C42", 6}}) {
        Result result = evaluate(c.text);
        EXPECT_EQ(result.out, c.out) << c.text;
        EXPECT_EQ(result.next, c.next) << c.text;
    }
}

TEST_F(EvaluatorTest, LongOperandsEvaluateWhole) {
    std::string sum = "1";
    while (sum.size() + 2 <= 254) sum += "+1";
    EXPECT_EQ(evaluate(sum).out, "7F");
    // Each one-letter name grows into five characters of work text.
    std::string names_sum = "X";
    while (names_sum.size() + 2 <= 254) names_sum += "+X";
    EXPECT_EQ(evaluate(names_sum).out, "FB55");
    EXPECT_EQ(evaluate(std::string(126, '(') + "7" + std::string(126, ')')).out, "7");
    EXPECT_EQ(evaluate(std::string(252, '-') + "1").out, "1");
    EXPECT_EQ(evaluate(std::string(250, '0') + "1").out, "1");
    EXPECT_EQ(evaluate(std::string(250, 'Q')).undefined, "QQQQQQQQQQQQ");
}

// A plain operand (one quoted constant, or names and numbers joined by + and -) takes a short way;
// a blank in front sends the same operand the general way, which must give the same value, width,
// status, name and next item.
TEST_F(EvaluatorTest, PlainOperandsEvaluateAsTheGeneralWay) {
    address_name_put(names, "LBL");
    for (char radix : {'D', 'H'}) {
        eval.default_radix = radix;
        for (std::string_view text : {"X",
                                      "x",
                                      "W",
                                      "0FFH",
                                      "0ffh",
                                      "1010B",
                                      "17O",
                                      "65535",
                                      "0FF80H",
                                      "0FF7FH",
                                      "12'",
                                      "1AB",
                                      "LBL",
                                      "UNDEFINED_LONG_NAME_XYZ",
                                      "AND",
                                      "high",
                                      "X  ,5",
                                      "X.5",
                                      "X\t; comment\n",
                                      "X\n",
                                      "X Y",
                                      "X)",
                                      "AF'",
                                      "\xA2X",
                                      "'A'",
                                      "'AB'",
                                      "'ABC'",
                                      "''",
                                      "'A' ,1",
                                      "'A,B'",
                                      "\"Q\"",
                                      "'it''s'",
                                      "'A\"'",
                                      "'x",
                                      "'A'+1",
                                      "'\xA2'",
                                      "'A\nB'",
                                      "X+1",
                                      "X-W",
                                      "W-X-1",
                                      "1+2-3",
                                      "0FFFFH+2",
                                      "LBL+1",
                                      "UNDEF+X",
                                      "UNDEF1+UNDEF2",
                                      "LBL+UNDEF",
                                      "X+LBL",
                                      "X+",
                                      "X+-1",
                                      "X+AND",
                                      "X+1,5",
                                      "X+1 ;c",
                                      "X+1.",
                                      "X+ 1",
                                      "X +1",
                                      "X+1'",
                                      "X+(1)",
                                      "X+1*2",
                                      "X*2+1"}) {
            for (Width width : {Width::byte, Width::word}) {
                const Evaluation fast = evaluate_operand(eval, names, text, width);
                const Evaluation general = evaluate_operand(eval, names, " " + std::string(text), width);
                EXPECT_EQ(fast.value, general.value) << text;
                EXPECT_EQ(fast.has_value, general.has_value) << text;
                EXPECT_EQ(fast.truncated, general.truncated) << text;
                EXPECT_EQ(fast.outcome.status, general.outcome.status) << text;
                EXPECT_EQ(fast.outcome.undefined_name, general.outcome.undefined_name) << text;
                EXPECT_EQ(fast.next.has_value(), general.next.has_value()) << text;
                if (fast.next && general.next) {
                    EXPECT_EQ(*fast.next + 1, *general.next) << text;
                }
            }
        }
    }
}

// The table's index grows as names are stored: every name stays found, by lookup and in operands,
// with one entry each in the order of first storing, and names alike in their first 16 characters
// are one name.
TEST(DataNameTable, NamesStayFoundAsTheIndexGrows) {
    Console console;
    console.capture = true;
    DataNameTable names;
    names.capacity = 5000;
    auto name_of = [](int i) {
        std::string name = "N" + std::to_string(i);
        name.append(static_cast<std::size_t>(i % 19), 'Q');  // 2 to 23 characters
        return name;
    };
    for (int i = 0; i < 3000; ++i) data_name_put(names, console, name_of(i), static_cast<std::uint16_t>(i), 0);
    ASSERT_EQ(names.entries.size(), 3000u);
    data_name_put(names, console, name_of(7), 0x7777, name_kind::external);  // updated in place
    data_name_put(names, console, name_of(2998) + "XYZ", 0x2998, 0);         // its first 16 characters again
    ASSERT_EQ(names.entries.size(), 3000u);
    EvalState eval;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = name_of(i);
        EXPECT_EQ(names.entries[static_cast<std::size_t>(i)].name, name.substr(0, 16));
        const DataNameEntry* entry = data_name_find(names, name);
        ASSERT_NE(entry, nullptr) << name;
        const std::uint16_t expected = i == 7 ? 0x7777 : i == 2998 ? 0x2998 : static_cast<std::uint16_t>(i);
        EXPECT_EQ(entry->value, expected) << name;
        const Evaluation value = evaluate_operand(eval, names, name + "+1", Width::word);
        EXPECT_EQ(value.value, static_cast<std::uint16_t>(expected + 1)) << name;
    }
    EXPECT_EQ(data_name_find(names, name_of(7))->kind, name_kind::external);
    EXPECT_EQ(data_name_find(names, "n1"), nullptr);  // letter case counts in the table
    EXPECT_EQ(data_name_find(names, "NQ"), nullptr);
    EXPECT_EQ(data_name_find(names, std::string_view("N1Q\0X", 5)), data_name_find(names, "N1Q"));
}
