#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "reading/keywords.h"
#include "reading/pass1.h"
#include "reading/scanner.h"
#include "reading/text_scan.h"
#include "test_support.h"
#include "translating/directives.h"
#include "writing/output_writer.h"

namespace {

class DirectiveTest : public ::testing::Test {
protected:
    std::unique_ptr<Context> ctx = fresh_context();
    std::string written;  // the .SRC text since the last call of written_since_last_call

    // Puts each line through the scanner as pass 1 does (upper case) and through the directive
    // translator as pass 2 does (as written); returns the .SRC text written for them.
    std::string run(std::initializer_list<std::string_view> lines) {
        for (std::string_view text : lines) {
            const std::string line = std::string(text) + "\n";
            LineRecord record;
            scan_line(*ctx, upper_case(line), record);
            ++ctx->includes.current().line_count;
            translate(record, line);
        }
        return written_since_last_call();
    }

    void translate(LineRecord& record, std::string_view line) {
        Translation translation;
        if (is_directive(record.code)) {
            translate_directive(*ctx, record, line, translation);
        } else {
            translation.push_back(source_line_of(record));
        }
        written += render_translation(translation, line);
    }

    std::string written_since_last_call() { return std::exchange(written, {}); }

    // The console output since the last call.
    std::string messages() {
        std::string text = ctx->console.captured;
        ctx->console.captured.clear();
        return text;
    }

    const DataNameEntry* name(std::string_view text) { return data_name_find(ctx->data_names, text); }
};

}  // namespace

TEST_F(DirectiveTest, LinesWithoutOperandStoreNothingAndReportNoStaleName) {
    run({"\tORG\tUNDEF+1"});
    EXPECT_EQ(messages(), "(1) ERROR: undefined symbol 'UNDEF'\n");
    // The undefined name of the line before must not be reported for a line that has no operand.
    EXPECT_EQ(run({"X\tEQU", "Y\tDEFL", "Z\tDS", "\tORG", "T\tDB", "\tDW"}),
              "X\t\t\t;*** error ***\t;\tX\tEQU\n"
              "Y\t\t\t;*** error ***\t;\tY\tDEFL\n"
              "Z\tDS\t1\t;*** error ***\t;\tZ\tDS\n"
              "\t\t\t;*** error ***\t;\t\tORG\n"
              "T\tDS\t1\t;*** error ***\t;\tT\tDB\n"
              "\tDS\t2\t;*** error ***\t;\t\tDW\n");
    EXPECT_EQ(messages(),
              "(2) ERROR: illegal operand\n(3) ERROR: illegal operand\n(4) ERROR: illegal operand\n"
              "(5) ERROR: illegal operand\n(6) ERROR: illegal operand\n(7) ERROR: illegal operand\n");
    EXPECT_TRUE(ctx->data_names.entries.empty());
    EXPECT_EQ(ctx->pass2.location_counter, 0);
    // An operand that ends before it begins is no address either.
    run({"\tORG\t,5", "\tDSEG\tAT ;"});
    EXPECT_EQ(messages(), "(8) ERROR: illegal operand\n(9) ERROR: illegal operand\n");
}

TEST_F(DirectiveTest, LocationCounterFollowsOrgAtAndDs) {
    run({"\tDSEG\tAT 0FFF0H", "A1:\tDS\t8,0FFH", "A2:\tDS\t10H", "A3:\tDS\t1", "\tCSEG\tat 100H", "A4:\tDS\t0"});
    EXPECT_EQ(name("A1")->value, 0xFFF0);
    EXPECT_EQ(name("A2")->value, 0xFFF8);
    EXPECT_EQ(name("A3")->value, 0x0008);  // the counter wraps at 64K
    EXPECT_EQ(name("A4")->value, 0x0009);  // lower-case at is no address clause
    EXPECT_FALSE(ctx->pass2.data_section);
    EXPECT_EQ(messages(), "");
}

TEST_F(DirectiveTest, RedefinitionWarnsForEquAndDsButNeverForDefl) {
    EXPECT_EQ(run({"N\tDEFL\t1", "N\tDEFL\t2", "N\tEQU\t2", "N\tDS\t1"}),
              "N\t.ASSIGN\tH'1\t\t\t;\tN\tDEFL\t1\n"
              "N\t.ASSIGN\tH'2\t\t\t;\tN\tDEFL\t2\n"
              "N\t.EQU\tH'2\t\t\t;\tN\tEQU\t2\n"
              ";\t\t\t\t;*** warning: EQU,DS redefine ***\n"
              "N\t.RES\tH'1\t\t\t;\tN\tDS\t1\n");
    EXPECT_EQ(messages(), "(4) WARNING: EQU,DS redefine 'N'0002->0000\n");
    run({"LONGNAME_ABCDEFGH\tEQU\t1", "LONGNAME_ABCDEFGH\tEQU\t2"});
    EXPECT_NE(messages().find("WARNING: EQU,DS redefine 'LONGNAME_ABC'0001->0002\n"), std::string::npos);
}

TEST_F(DirectiveTest, ExternalNameKeepsItsFirstPlaceAndBecomesExternal) {
    run({"PUTCH\tEQU\t5", "LIMIT\tEQU\t9", "\tEXTRN\tPUTCH"});
    ASSERT_EQ(ctx->data_names.entries.size(), 2u);
    EXPECT_EQ(ctx->data_names.entries[0].name, "PUTCH");
    EXPECT_EQ(ctx->data_names.entries[0].kind, name_kind::external);
    EXPECT_EQ(ctx->data_names.entries[0].value, 0);
}

TEST_F(DirectiveTest, DataItemsInErrorBecomeErrorLinesOfTheirOwn) {
    LineRecord record;
    const std::string line = "TBL:\tDW\t1,(2,3\n";
    record.code = kw::DW;
    record.col1 = 8;
    record.set_label("TBL");
    ctx->includes.current().line_count = 7;
    translate(record, line);
    // The second item is malformed: written as an error line without the label and the comment,
    // never as its text (H'2 with an open parenthesis) on a data line.
    EXPECT_EQ(written_since_last_call(),
              "TBL\t.DATA.W\tH'1\t\t\t;\tTBL:\tDW\t1,(2,3\n"
              "\tDS\t2\t;*** error ***\n"
              "\t.DATA.W\tH'3\n");
    EXPECT_EQ(messages(), "(7) ERROR: illegal DB/DW operand\n");
    EXPECT_EQ(record.code, 0x8180);
    EXPECT_TRUE(record.label_view().empty());
}

TEST_F(DirectiveTest, StringItems) {
    EXPECT_EQ(run({"\tDB\t'HELL','O'+80H, 'x' ,\"\"\"\"", "\tDW\t'A'+1"}),
              "\t.SDATA\t\"HELL\"\t\t\t;\t\tDB\t'HELL','O'+80H, 'x' ,\"\"\"\"\n"
              "\t.DATA.B\t'O'+H'80\n"  // an expression, not the string "O"
              "\t.SDATA\t\"x\"\n"
              "\t.SDATA\t\"\"\"\"\n"
              "\t.DATA.W\t'A'+H'1\t\t\t;\t\tDW\t'A'+1\n");
    EXPECT_EQ(run({"\tDB\t\"A\"+1"}), "\t.DATA.B\tH'42\t\t\t;\t\tDB\t\"A\"+1\n");
    EXPECT_EQ(messages(), "");
}

TEST_F(DirectiveTest, LongStringsAndNameListsAreWrittenWhole) {
    const std::string text(120, 'x');
    std::string names;
    for (int i = 0; i < 30; ++i) names += "NAME" + std::to_string(i) + ",";
    names.pop_back();
    const std::string db_line = "\tDB\t'" + text + "'";
    const std::string public_line = "\tPUBLIC\t" + names;
    const std::string output = run({db_line, public_line});
    EXPECT_NE(output.find("\t.SDATA\t\"" + text + "\"\t;"), std::string::npos);
    EXPECT_NE(output.find("\t.EXPORT\t" + names + "\t;"), std::string::npos);
}

TEST_F(DirectiveTest, MacroArgumentsAreSixteenBitWhateverCameBefore) {
    run({"M\tMACRO\tP", "\tENDM", "\tDB\t1"});
    EXPECT_EQ(run({"\tM\t1234H+P"}), "\tM\tH'1234+P\t\t;\t\tM\t1234H+P\n");
}

TEST_F(DirectiveTest, RegistersAsMacroArgumentsAreRenamed) {
    run({"M\tMACRO\tP", "\tENDM"});
    messages();
    // Only a whole one- or two-letter register counts: AB and SPX are names.
    EXPECT_EQ(run({"\tM\tAB,SPX,E,IY,F"}), "\tM\tAB,SPX,R2L,R5,CCR\t;\t\tM\tAB,SPX,E,IY,F\n");
    EXPECT_EQ(messages(),
              "(3) ERROR: cannot use register for macro parameters\n"
              "(3) ERROR: cannot use register for macro parameters\n"
              "(3) ERROR: cannot use register for macro parameters\n");
}

TEST_F(DirectiveTest, ParametersGetBackslashOnlyInsideTheBody) {
    EXPECT_EQ(run({"OUTER\tMACRO\tP,Q", "\tDW\tP", "INNER\tMACRO\tP", "\tENDM", "\tDW\tQ"}),
              "\t.MACRO\tOUTER P,Q\t\t;\tOUTER\tMACRO\tP,Q\n"
              "\t.DATA.W\t\\P\t\t\t;\t\tDW\tP\n"
              // A nested head defines names: no backslash, and none stored with one.
              "\t.MACRO\tINNER P\t\t\t;\tINNER\tMACRO\tP\n"
              "\t.ENDM\t\t\t\t;\t\tENDM\n"
              // The flag does not count nesting: after the inner ENDM it is clear.
              "\t.DATA.W\tQ\t\t\t;\t\tDW\tQ\n");
    ASSERT_EQ(ctx->data_names.entries.size(), 2u);
    EXPECT_EQ(ctx->data_names.entries[0].name, "P");
    EXPECT_EQ(ctx->data_names.entries[1].name, "Q");
    EXPECT_FALSE(ctx->eval.in_macro_body);
}

TEST_F(DirectiveTest, MacroCallWithUnknownIndexWritesNoName) {
    LineRecord record;
    const std::string line = "\tGHOST\t1\n";
    record.code = line_code::macro_call;
    set_macro_index(record, 200);
    record.col1 = 7;
    translate(record, line);
    EXPECT_EQ(written_since_last_call(), "\t\tH'1\t\t\t;\t\tGHOST\t1\n");
}

TEST_F(DirectiveTest, RadixValues) {
    run({"\tRADIX\t16"});
    EXPECT_EQ(ctx->eval.default_radix, 'H');
    run({"\tRADIX\t99999999999999999999999", "\tRADIX\t-2", "\tRADIX\t0"});
    EXPECT_EQ(ctx->eval.default_radix, 'H');
    EXPECT_EQ(messages(),
              "(2) ERROR: illegal RADIX value\n(3) ERROR: illegal RADIX value\n(4) ERROR: illegal RADIX value\n");
    run({"\tRADIX\t8 ; octal"});
    EXPECT_EQ(ctx->eval.default_radix, 'O');
    EXPECT_EQ(run({"R\tRADIX"}), "R\t.EQU\t$\t\t\t;\tR\tRADIX\n");
    EXPECT_EQ(ctx->eval.default_radix, 'D');
}

TEST_F(DirectiveTest, OperandColumnPastTheLineIsNoOperand) {
    // A source that changed between the passes can leave col1 behind the end of the line.
    LineRecord record;
    const std::string line = "\tNAME\n";
    record.code = kw::NAME;
    record.col1 = 200;
    translate(record, line);
    const std::string line2 = std::string("\tDB\t1\0,2\n", 9);
    record = LineRecord{};
    record.code = kw::DB;
    record.col1 = 4;
    translate(record, line2);
    // A NUL ends the operand: the item list stops there.
    EXPECT_EQ(written_since_last_call(),
              "\t.PROGRAM\t\t\t;\t\tNAME\n" + std::string("\t.DATA.B\tH'1\t\t\t;\t\tDB\t1\0,2\n", 26));
}

// A string closed by its own quote with no quote inside is copied whole; the items at the edges of
// that shape (another quote inside or closing it, a doubled quote, an empty string, each ending)
// must come out as the general reading makes them.
TEST_F(DirectiveTest, PlainStringsAndTheirNeighboursAgree) {
    EXPECT_EQ(run({"\tDB\t'AB' ,'C'\t,\"D\";c", "\tDB\t'AB'.'C'", "\tDB\t''", "\tDB\t'a b'  "}),
              "\t.SDATA\t\"AB\"\t\t\t;\t\tDB\t'AB' ,'C'\t,\"D\";c\n"
              "\t.SDATA\t\"C\"\n"
              "\t.SDATA\t\"D\"\n"
              "\t.SDATA\t\"AB\"\t\t\t;\t\tDB\t'AB'.'C'\n"
              "\t.SDATA\t\"C\"\n"
              "\t.SDATA\t\"\"\t\t\t;\t\tDB\t''\n"
              "\t.SDATA\t\"a b\"\t\t\t;\t\tDB\t'a b'  \n");
    EXPECT_EQ(run({"\tDB\t'A\"B','A''B',\"A'B\"", "\tDB\t'AB\",1"}),
              "\t.SDATA\t\"A\"\"B\"\t\t\t;\t\tDB\t'A\"B','A''B',\"A'B\"\n"
              "\t.SDATA\t\"A'B\"\n"
              "\t.SDATA\t\"A'B\"\n"
              "\t.SDATA\t\"AB\"\t\t\t;\t\tDB\t'AB\",1\n"
              "\t.DATA.B\tH'1\n");
    EXPECT_EQ(messages(), "");
}
