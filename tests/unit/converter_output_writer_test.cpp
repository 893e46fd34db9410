// The .SRC line layout: label field, operands, the comment field from column 40, error and
// label-only lines, pass-through lines with and without /H, and the cut before column 255.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "test_support.h"
#include "translating/operands.h"
#include "writing/output_writer.h"

namespace {

class OutputWriterTest : public ::testing::Test {
protected:
    std::unique_ptr<Context> ctx = fresh_context();

    static std::string write_step(std::string_view source, TemplateStep step, std::string_view label = {}) {
        return render_translation(fill_template(std::span<const TemplateStep>(&step, 1), {}, label), source);
    }

    static std::string write_record(std::string_view source, std::uint16_t code, std::string_view label = {}) {
        LineRecord record;
        record.code = code;
        record.set_label(label);
        return render_translation({source_line_of(record)}, source);
    }
};

TEST_F(OutputWriterTest, LabelFieldWidths) {
    const TemplateStep step{"NOP", "", ""};
    EXPECT_EQ(write_step("X\n", step, "SEVEN_7"), "SEVEN_7\tNOP\t\t\t\t;\tX\n");
    EXPECT_EQ(write_step("X\n", step, "EIGHT__8"), "EIGHT__8 NOP\t\t\t\t;\tX\n");
    EXPECT_EQ(write_step("X\n", step, "SIXTEEN_CHARS_16"), "SIXTEEN_CHARS_16 NOP\t\t\t;\tX\n");
    EXPECT_EQ(write_step("X\n", step), "\tNOP\t\t\t\t;\tX\n");
}

TEST_F(OutputWriterTest, OperandsAndTheCommentColumn) {
    const std::string source = "LOOP:\tLD\tA,(HL)\t; get\n";
    EXPECT_EQ(write_step(source, {"MOV.B", "@R3", "R0H"}, "LOOP"), "LOOP\tMOV.B\t@R3,R0H\t\t\t;\t" + source);
    // operand2 without operand1 is not written
    EXPECT_EQ(write_step("X\n", {"RTS", "", "R0"}), "\tRTS\t\t\t\t;\tX\n");
    // text that already reaches column 40 gets exactly one tab before the ';'
    EXPECT_EQ(write_step("X\n", {".SECTION LONG_SECTION_NAME,DATA,LOCATE=H'8000", "", ""}),
              "\t.SECTION LONG_SECTION_NAME,DATA,LOCATE=H'8000\t;\tX\n");
    // A tab in a field moves the columns after it, within the fields' first 16 bytes or after them.
    EXPECT_EQ(write_step("X\n", {"MOV.B", "A\tB", "R0H"}), "\tMOV.B\tA\tB,R0H\t\t;\tX\n");
    EXPECT_EQ(write_step("X\n", {"MOV.B", "0123456789\tA", ""}), "\tMOV.B\t0123456789\tA\t;\tX\n");
}

TEST_F(OutputWriterTest, OnlyTheFirstLineCarriesTheComment) {
    const TemplateStep steps[] = {{"MOV.B", "#H'5", "R6L"}, {"MOV.B", "R6L", "@R3"}};
    EXPECT_EQ(render_translation(fill_template(steps, {}, "LOOP"), "LOOP:\tLD\t(HL),5\n"),
              "LOOP\tMOV.B\t#H'5,R6L\t\t;\tLOOP:\tLD\t(HL),5\n\tMOV.B\tR6L,@R3\n");
}

TEST_F(OutputWriterTest, SlotsAreFilledOnlyForTemplateSteps) {
    OperandSlots slots;
    slots.reg1 = "R1H";
    const TemplateStep step{"INC", "{reg1}", ""};
    EXPECT_EQ(render_line(fill_template(std::span<const TemplateStep>(&step, 1), slots, {}).front(), "X\n", false),
              "\tINC\tR1H\n");
    // A directive's own text is written as it stands.
    EXPECT_EQ(render_line(code_line({}, "INC", "{reg1}"), "X\n", false), "\tINC\t{reg1}\n");
}

TEST_F(OutputWriterTest, SourceLineKinds) {
    EXPECT_EQ(write_record("LOOP:\n", 0x0000, "LOOP"), "LOOP\t.EQU\t$\t\t\t;\tLOOP:\n");
    EXPECT_EQ(write_record("; comment line\n", 0x7000), ";\t\t\t\t\t;\t; comment line\n");
    EXPECT_EQ(write_record("\tLD\tP,A\n", 0x9100), "\tNOP\t\t;*** error ***\t;\t\tLD\tP,A\n");
    EXPECT_EQ(write_record("TBL:\tDB\t?\n", 0x8170, "TBL"), "TBL\tDS\t1\t;*** error ***\t;\tTBL:\tDB\t?\n");
    EXPECT_EQ(write_record("\tDS\t?\n", 0x8190), "\tDS\t1\t;*** error ***\t;\t\tDS\t?\n");
    EXPECT_EQ(write_record("\tDW\t?\n", 0x8180), "\tDS\t2\t;*** error ***\t;\t\tDW\t?\n");
    EXPECT_EQ(write_record("X Y\n", 0x8000, "X"), "X\t\t\t;*** error ***\t;\tX Y\n");
}

TEST_F(OutputWriterTest, OperandErrorMessages) {
    ctx->includes.levels[0].line_count = 12;
    LineRecord record;
    record.code = 0x1100;
    const OutputLine error = report_operand_error(*ctx, record, Outcome{EvalStatus::undefined_name, "ABCDEFGHIJKL"});
    EXPECT_EQ(record.code, 0x9100);
    EXPECT_EQ(error.kind, LineKind::error);
    record.code = 0x1100;
    report_operand_error(*ctx, record, Outcome::malformed());
    EXPECT_EQ(ctx->console.captured, "(12) ERROR: undefined symbol 'ABCDEFGHIJKL'\n(12) ERROR: illegal operand\n");
}

TEST_F(OutputWriterTest, CommentFieldIsCutBeforeColumn255) {
    std::string long_source = std::string(253, 'x') + "\n";
    std::string line = write_step(long_source, {"NOP", "", ""});
    EXPECT_EQ(line, "\tNOP\t\t\t\t;\t" + std::string(206, 'x') + "\n");
    EXPECT_EQ(column_after(line.substr(0, line.size() - 1)), 254U);
    // Tabs in the source count to their stop.
    std::string tabbed = write_step("\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tabc\n", {"NOP", "", ""});
    EXPECT_EQ(tabbed, "\tNOP\t\t\t\t;\t" + std::string(25, '\t') + "\n");
    // H8/300 text that reaches column 255 itself leaves no room for source text.
    std::string wide(260, 'W');
    EXPECT_EQ(render_translation({code_line({}, wide)}, "X\n"), "\t" + wide + "\t;\t\n");
}

// The comment field keeps the longest start of the source line whose characters all stay below
// column 255, wherever the tabs fall around the cut and wherever the field begins.
TEST_F(OutputWriterTest, CutKeepsTheLongestStartBelowColumn255) {
    auto expect_cut = [](const std::string& h8_text, const std::string& source) {
        const std::string line = render_translation({code_line({}, h8_text)}, source);
        const std::size_t field = line.find(";\t") + 2;
        std::size_t column = column_after(std::string_view(line).substr(0, field));
        std::size_t expected = 0;
        while (expected + 1 < source.size()) {
            column = column_after(source.substr(expected, 1), column);
            if (column >= 255) break;
            ++expected;
        }
        EXPECT_EQ(line.substr(field), source.substr(0, expected) + "\n") << h8_text.size() << " " << source;
    };
    for (std::size_t width = 1; width <= 48; width += 7) {
        const std::string h8_text(width, 'W');
        for (std::size_t run = 0; run < 12; ++run) {
            std::string source;
            while (source.size() < 240) source += std::string(run, 'x') + "\t";
            source += "\n";
            expect_cut(h8_text, source);
        }
        // Lines that end just short of column 255 or just reach it, with a run of tabs after a few
        // characters: those that fit are told apart without walking the whole line.
        for (std::size_t tabs = 0; tabs <= 26; ++tabs) {
            for (std::size_t lead : {0, 3}) {
                const std::size_t width_before = 48 + lead + 8 * tabs;  // about, for short H8/300 text
                for (std::size_t rest = width_before > 250 ? 0 : 250 - width_before; rest < 270 - width_before;
                     rest += 2) {
                    expect_cut(h8_text,
                               std::string(lead, 'x') + std::string(tabs, '\t') + std::string(rest, 'y') + "\n");
                }
            }
        }
    }
}

TEST_F(OutputWriterTest, PassThroughLines) {
    struct Case {
        const char* source;
        const char* plain;
        const char* with_h;
    };
    const Case cases[] = {
        {"\\\tMOV.B\tR0L,R1L\t; copy\n", "\tMOV.B\tR0L,R1L\t; copy\n",
         "\tMOV.B\tR0L,R1L\t\t\t; -->\t\tMOV.B\tR0L,R1L\t; copy\n"},
        {"\\LBL:\tBSR\tSUB1\n", "LBL:\tBSR\tSUB1\n", "LBL:\tBSR\tSUB1\t\t\t; -->\tLBL:\tBSR\tSUB1\n"},
        {"\\\n", "\n", "\t\t\t\t\t; -->\t\n"},
    };
    OutputLine passthrough;
    passthrough.kind = LineKind::passthrough;
    for (const Case& c : cases) {
        EXPECT_EQ(render_translation({passthrough}, c.source, false), c.plain) << c.source;
        EXPECT_EQ(render_translation({passthrough}, c.source, true), c.with_h) << c.source;
    }
}

TEST_F(OutputWriterTest, CodeLinesFromTextsThatEndAnywhereMatchOutputLines) {
    // The texts of fixed tables are copied by their length, not 16 bytes at a time as texts in
    // std::strings are: each lies here in a buffer of exactly its size, of every length up to 20,
    // and is laid out as the same texts of an OutputLine are.
    MemoryFiles memory;
    SrcWriter writer(ctx->console, "OUT.SRC", false);
    writer.open(FileAccess{nullptr, &memory});
    std::string expected;
    std::array<char, 17> label{};
    std::copy_n("LOOP", 4, label.begin());
    for (std::size_t length = 0; length <= 20; ++length) {
        const std::string text = std::string("ABCDEFGHIJKLMNOPQRST").substr(0, length);
        const auto exact = std::make_unique<char[]>(std::max<std::size_t>(length, 1));
        std::copy(text.begin(), text.end(), exact.get());
        const std::string_view view(exact.get(), length);
        const std::string_view label_text = length % 2 == 0 ? std::string_view(label.data(), 4) : std::string_view();
        writer.write_code_line({label_text, view, view, view}, 0, "X\n", true);
        writer.write_code_line({{}, "MOV.B", view, "R0H"}, 0, "Y\n", false);
        writer.write_code_line({label_text, text, text, text}, 7, "Z\n", true);  // all in std::strings
        for (const char* source : {"X\n", "Z\n"}) {
            expected += render_line(code_line(std::string(label_text), text, text, text), source, true);
            if (source[0] == 'X') expected += render_line(code_line({}, "MOV.B", text, "R0H"), "Y\n", false);
        }
    }
    writer.close();
    writer.commit();
    EXPECT_EQ(memory["OUT.SRC"], expected);
}

TEST_F(OutputWriterTest, AHeldBlockThatGrowsKeepsItsLines) {
    // While held, nothing is written out: 300 KB of lines make the block grow twice past its first
    // room, and each time the lines already laid out must move with it, a line put in at the start
    // included.
    MemoryFiles memory;
    SrcWriter writer(ctx->console, "OUT.SRC", false);
    writer.open(FileAccess{nullptr, &memory});
    writer.hold();
    std::string expected;
    for (int i = 0; i < 10000; ++i) {
        const std::string operand = "#" + std::to_string(i);
        const std::string source = "\tLD\tA," + std::to_string(i) + "\n";
        writer.write_code_line({{}, "MOV.B", operand, "R0L"}, 0, source, true);
        expected += render_line(code_line({}, "MOV.B", operand, "R0L"), source, true);
    }
    writer.insert(0, code_line("START", "NOP"));
    writer.release();
    writer.close();
    writer.commit();
    expected.insert(0, render_line(code_line("START", "NOP"), {}, false));
    ASSERT_GT(expected.size(), std::size_t{256} * 1024);
    EXPECT_EQ(memory["OUT.SRC"], expected);
}

TEST_F(OutputWriterTest, FailedWriteIsFatal) {
    // Lines wait in the buffer; the full device refuses them when they are written out.
    SrcWriter writer(ctx->console, "/dev/full", false);
    writer.open();
    EXPECT_THROW(
        {
            for (int i = 0; i < 10000; ++i) writer.write({code_line({}, "NOP")}, "X\n");
            writer.close();
        },
        FatalExit);
    EXPECT_EQ(ctx->console.captured, "\t/dev/full Write Error\n");
}

}  // namespace
