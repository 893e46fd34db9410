#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "reading/keywords.h"
#include "test_support.h"
#include "translating/operands.h"
#include "writing/output_writer.h"

namespace {

class OperandTest : public ::testing::Test {
protected:
    std::unique_ptr<Context> ctx = fresh_context();
    OperandSlots slots;
    std::string line;     // the current source line
    std::string written;  // the error lines rendered so far

    void SetUp() override {
        data_name_put(ctx->data_names, ctx->console, "V", 5, name_kind::value);
        data_name_put(ctx->data_names, ctx->console, "X", 0x1A2B, name_kind::value);
        data_name_put(ctx->data_names, ctx->console, "BITNO", 3, name_kind::value);
    }

    // What has been written to the .SRC file so far.
    std::string output() const { return written; }

    // A record of `code` and `form` whose operand columns point into `text`, the current line.
    LineRecord record_on(std::string text, std::uint16_t code, Form form, std::uint8_t reg1, std::uint8_t reg2,
                         std::string_view col1_text, std::string_view col2_text = {}) {
        line = std::move(text);
        LineRecord record;
        record.code = code;
        record.form = form;
        record.reg1 = reg1;
        record.reg2 = reg2;
        record.col1 = static_cast<std::uint8_t>(line.find(col1_text));
        if (!col2_text.empty()) record.col2 = static_cast<std::uint8_t>(line.find(col2_text));
        return record;
    }

    // Renders the record's operands against the current line, as the dispatcher does.
    bool render(LineRecord& record) {
        Translation out;
        const bool rendered = render_operands(*ctx, record, line, slots, out);
        written += render_translation(out, line);
        return rendered;
    }
};

TEST_F(OperandTest, RegisterNamesFollowTheRegisterModel) {
    const std::pair<std::uint8_t, std::string_view> names[] = {
        {1, "R0H"}, {2, "CCR"},   {3, "R1H"},   {4, "R1L"},   {5, "R2H"},   {6, "R2L"},   {7, "R3H"},
        {8, "R3L"}, {9, "R0"},    {10, "R1"},   {11, "R2"},   {12, "R3"},   {13, "R4"},   {14, "R5"},
        {15, "SP"}, {26, "@R1"},  {27, "@R2"},  {28, "@R3"},  {29, "@R4"},  {30, "@R5"},  {31, "@SP"},
        {47, "R7"}, {58, "@-R1"}, {59, "@-R2"}, {60, "@-R3"}, {90, "@R1+"}, {91, "@R2+"}, {92, "@R3+"},
    };
    for (const auto& [code, name] : names) {
        std::string slot;
        EXPECT_TRUE(h8_register_name(ctx->console, slot, code)) << int(code);
        EXPECT_EQ(slot, name) << int(code);
    }
    EXPECT_EQ(ctx->console.captured, "");
}

TEST_F(OperandTest, RegisterWithoutNameIsReportedInHexAndLeavesTheSlot) {
    // 0 none, 25 (AF), 61 (IX) pre-decremented, 93 (IX) post-incremented, 95 (SP) post-incremented
    for (std::uint8_t code : {0, 25, 61, 0x5D, 95, 255}) {
        std::string slot = "kept";
        EXPECT_FALSE(h8_register_name(ctx->console, slot, code));
        EXPECT_EQ(slot, "kept");
    }
    EXPECT_EQ(ctx->console.captured,
              "register error 0\nregister error 19\nregister error 3D\nregister error 5D\nregister error 5F\n"
              "register error FF\n");
}

TEST_F(OperandTest, ImmediateIsTranslatedOrElseEvaluated) {
    struct Case {
        std::string_view text;
        Width width;
        std::string_view imm;
    } cases[] = {
        {"5\n", Width::byte, "#H'5"},          {"1234H ; load\n", Width::byte, "#H'34"},  // 8 bits keep the low byte
        {"1234H\n", Width::word, "#H'1234"},   {"V+1,A\n", Width::byte, "#V+H'1"},        // defined names stay symbolic
        {"$+3\n", Width::word, "#H'3"},         // '$' cannot be rewritten: the value is written
        {"X SHL 2\n", Width::word, "#H'68AC"},  // nor can SHL
        {"\"A\"\n", Width::byte, "#H'41"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(render_immediate(*ctx, c.text, c.width, slots.imm).ok()) << c.text;
        EXPECT_EQ(slots.imm, c.imm) << c.text;
    }
}

TEST_F(OperandTest, UndefinedNameIsToleratedOnlyIn16BitImmediates) {
    EXPECT_TRUE(render_immediate(*ctx, "LABEL+1\n", Width::word, slots.imm).ok());
    EXPECT_EQ(slots.imm, "#LABEL+H'1");

    Outcome byte = render_immediate(*ctx, "LABEL\n", Width::byte, slots.imm);
    EXPECT_EQ(byte.status, EvalStatus::undefined_name);
    EXPECT_EQ(byte.undefined_name, "LABEL");

    // Undefined, and not rewritable either.
    EXPECT_EQ(render_immediate(*ctx, "LABEL SHL 2\n", Width::word, slots.imm).status, EvalStatus::undefined_name);
    // Malformed: no tolerance whatever the width.
    EXPECT_EQ(render_immediate(*ctx, "(1+2\n", Width::word, slots.imm).status, EvalStatus::malformed);
}

TEST_F(OperandTest, DirectAddressEndsAtTheLastParenthesisOfTheOperand) {
    EXPECT_TRUE(render_direct(*ctx, "1234H)\n", Width::word, true, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@H'1234");
    EXPECT_TRUE(render_direct(*ctx, "BUF) ; (buffer)\n", Width::word, true, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@BUF");
    EXPECT_TRUE(render_direct(*ctx, "(X+1)*2),A\n", Width::word, false, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@(X+H'1)*H'2");
    // No closing parenthesis: the operand up to its end.
    EXPECT_TRUE(render_direct(*ctx, "V+2\n", Width::word, false, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@V+H'2");
    // A string's ',' does not end the operand, and its ')' counts as any other.
    EXPECT_TRUE(render_direct(*ctx, "',)'+1),A\n", Width::word, false, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@H'2C2A");
    EXPECT_EQ(render_direct(*ctx, "'(,)'\n", Width::word, false, slots.mem).status, EvalStatus::malformed);

    // The same with more of the line behind the operand, as most lines have: sixteen bytes and more
    // are looked through at once, up to the first stop.
    const std::pair<std::string_view, std::string_view> long_lines[] = {
        {"1234H)\t\t; load it (fast)\n", "@H'1234"},
        {"(X+1)*2),A\t\t; store it\n", "@(X+H'1)*H'2"},
        {"V+2 ; the (second) word\n", "@V+H'2"},
        {"',)'+1),A ; a string's comma\n", "@H'2C2A"},
        {"00000000001234H),A ; at its end\n", "@H'1234"},
        {"((((((V))))))),A ; deep\n", "@((((((V))))))"},
        {"V+V+V+V+V+V+V+V+V),A ; the stop past sixteen\n", "@V+V+V+V+V+V+V+V+V"},
    };
    for (const auto& [text, mem] : long_lines) {
        EXPECT_TRUE(render_direct(*ctx, text, Width::word, false, slots.mem).ok()) << text;
        EXPECT_EQ(slots.mem, mem) << text;
    }
}

TEST_F(OperandTest, DirectAddressWidthAndToleranceAreSeparate) {
    // A store address keeps its 16 bits...
    EXPECT_TRUE(render_direct(*ctx, "8000H),A\n", Width::word, false, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@H'8000");
    // ...but an undefined name there is an error, while a load may name it.
    EXPECT_EQ(render_direct(*ctx, "BUF),A\n", Width::word, false, slots.mem).undefined_name, "BUF");
    EXPECT_TRUE(render_direct(*ctx, "BUF),A\n", Width::word, true, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@BUF");
}

TEST_F(OperandTest, IndexedOperandNamesItsPair) {
    const std::pair<std::uint8_t, std::string_view> pairs[] = {
        {reg::IX, "@(H'5,R4)"}, {reg::IY, "@(H'5,R5)"}, {reg::HL, "@(H'5,R3)"}, {reg::AF, "@(H'5,R0)"},
        {reg::BC, "@(H'5,R1)"}, {reg::DE, "@(H'5,R2)"}, {reg::SP, "@(H'5,SP)"},
    };
    for (const auto& [pair, mem] : pairs) {
        EXPECT_TRUE(render_indexed(*ctx, "5),A\n", pair, slots.mem).ok());
        EXPECT_EQ(slots.mem, mem);
    }
    EXPECT_TRUE(render_indexed(*ctx, "V)\n", reg::IY, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@(V,R5)");
    EXPECT_TRUE(render_indexed(*ctx, "123H)\n", reg::IX, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@(H'23,R4)");  // the displacement is a byte
    EXPECT_EQ(render_indexed(*ctx, "OFS)\n", reg::IX, slots.mem).undefined_name, "OFS");
}

TEST_F(OperandTest, LongOperandsAreRenderedWhole) {
    const std::string long_sum = "V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V+V";
    EXPECT_TRUE(render_indexed(*ctx, long_sum + ")\n", reg::IX, slots.mem).ok());
    std::string expected = long_sum;
    EXPECT_EQ(slots.mem, "@(" + expected + ",R4)");
    EXPECT_TRUE(render_direct(*ctx, long_sum + ")\n", Width::word, true, slots.mem).ok());
    EXPECT_EQ(slots.mem, "@" + expected);
}

TEST_F(OperandTest, BitNumberDropsThePrefixOfOneDigit) {
    EXPECT_TRUE(render_bit_number(*ctx, "3,A\n", slots.bit).ok());
    EXPECT_EQ(slots.bit, "#3");
    EXPECT_TRUE(render_bit_number(*ctx, "10,A\n", slots.bit).ok());
    EXPECT_EQ(slots.bit, "#H'A");
    EXPECT_TRUE(render_bit_number(*ctx, "BITNO,(HL)\n", slots.bit).ok());
    EXPECT_EQ(slots.bit, "#BITNO");
    EXPECT_TRUE(render_bit_number(*ctx, "1+1,A\n", slots.bit).ok());
    EXPECT_EQ(slots.bit, "#H'1+H'1");
    EXPECT_EQ(render_bit_number(*ctx, "NOBIT,A\n", slots.bit).undefined_name, "NOBIT");
}

TEST_F(OperandTest, FormsFillTheirSlots) {
    LineRecord ld = record_on("\tLD\t(IY+1),7\n", kw::LD, Form::indexed_imm, reg::IY, 0, "1),", "7\n");
    EXPECT_TRUE(render(ld));
    EXPECT_EQ(slots.mem, "@(H'1,R5)");
    EXPECT_EQ(slots.imm, "#H'7");

    LineRecord bit = record_on("\tBIT\t7,(IX+3)\n", kw::BIT, Form::bit_indexed, reg::IX, 0, "3)", "7,");
    EXPECT_TRUE(render(bit));
    EXPECT_EQ(slots.bit, "#7");
    EXPECT_EQ(slots.mem, "@(H'3,R4)");

    LineRecord adc = record_on("\tADC\tHL,SP\n", kw::ADC, Form::pair_pair, reg::HL, reg::SP, "HL");
    EXPECT_TRUE(render(adc));
    EXPECT_EQ(std::string(slots.reg1H) + std::string(slots.reg1L) + std::string(slots.reg2H) + std::string(slots.reg2L),
              "R3HR3LR7HR7L");

    LineRecord add = record_on("\tADD\tHL,SP\n", kw::ADD, Form::pair_pair, reg::HL, reg::SP, "HL");
    EXPECT_TRUE(render(add));
    EXPECT_EQ(slots.reg2, "SP");

    LineRecord mlt = record_on("\tMLT\tSP\n", kw::MLT, Form::pair, reg::SP, 0, "SP");
    EXPECT_TRUE(render(mlt));
    EXPECT_EQ(std::string(slots.reg1H) + "," + std::string(slots.reg1), "R7H,SP");

    LineRecord store = record_on("\tld\t(8000h),a\n", kw::LD, Form::mem_reg, 0, reg::A, "8000h");
    EXPECT_TRUE(render(store));
    EXPECT_EQ(std::string(slots.reg2) + "," + slots.mem, "R0H,@H'8000");
    EXPECT_EQ(output(), "");
}

TEST_F(OperandTest, FirstFailureDecidesTheReport) {
    ctx->includes.levels[0].line_count = 7;
    // The bit number fails first (undefined); the displacement after it is fine.
    LineRecord res = record_on("\tRES\tNOBIT,(IX+4)\n", kw::RES, Form::bit_indexed, reg::IX, 0, "4)", "NOBIT");
    EXPECT_FALSE(render(res));
    EXPECT_EQ(res.code, kw::RES + 0x8000);
    // A malformed displacement fails first; the undefined immediate after it does not name itself.
    LineRecord ld = record_on("\tLD\t(IX+(1),NONAME\n", kw::LD, Form::indexed_imm, reg::IX, 0, "(1)", "NONAME");
    EXPECT_FALSE(render(ld));
    EXPECT_EQ(ctx->console.captured, "(7) ERROR: undefined symbol 'NOBIT'\n(7) ERROR: illegal operand\n");
    EXPECT_EQ(output(),
              "\tNOP\t\t;*** error ***\t;\t\tRES\tNOBIT,(IX+4)\n"
              "\tNOP\t\t;*** error ***\t;\t\tLD\t(IX+(1),NONAME\n");
}

TEST_F(OperandTest, RegisterFailureIsAnIllegalOperandEvenAfterAToleratedName) {
    // LD A,(IX) merged with INC IX would name (IX) post-incremented, which has no name.
    LineRecord ld = record_on("\tLD\tA,(IX)\n", kw::LD, Form::reg_postinc, reg::A, 29 + 64, "A,");
    EXPECT_FALSE(render(ld));
    EXPECT_EQ(ctx->console.captured, "register error 5D\n(0) ERROR: illegal operand\n");

    ctx->console.captured.clear();
    LineRecord load = record_on("\tLD\tHL,(EXT)\n", kw::LD, Form::pair_mem, 25, 0, "EXT");
    EXPECT_FALSE(render(load));
    EXPECT_EQ(ctx->console.captured, "register error 19\n(0) ERROR: illegal operand\n");
}

TEST_F(OperandTest, OperandWithoutValueIsIllegal) {
    ctx->includes.levels[0].line_count = 3;
    auto expect_illegal = [&](LineRecord record) {
        ctx->console.captured.clear();
        EXPECT_FALSE(render(record)) << line;
        EXPECT_EQ(ctx->console.captured, "(3) ERROR: illegal operand\n") << line;
    };
    expect_illegal(record_on("\tLD\tA,\n", kw::LD, Form::reg_imm, reg::A, 0, "\n"));
    expect_illegal(record_on("\tLD\tA,()\n", kw::LD, Form::reg_mem, reg::A, 0, ")"));
    expect_illegal(record_on("\tSUB\t\"\"\n", kw::SUB, Form::imm, 0, 0, "\""));
}

}  // namespace
