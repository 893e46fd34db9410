#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "reading/classifier.h"
#include "reading/scanner.h"
#include "reading/text_scan.h"
#include "test_support.h"
#include "translating/branches.h"
#include "translating/dispatcher.h"
#include "writing/output_writer.h"

namespace {

// Translates a small program the way pass 2 does (a cursor over the records beside the lines as
// written) and returns its .SRC lines without their comment fields, tabs shown as single blanks.
class DispatcherTest : public ::testing::Test {
protected:
    std::unique_ptr<Context> ctx = fresh_context();
    bool lookahead_left = false;  // a line read ahead that no later line took

    void SetUp() override { ctx->template_index = build_template_index(); }

    std::vector<std::string> translate(const std::vector<std::string>& lines) {
        std::vector<LineRecord> records;
        for (const std::string& text : lines) {
            const std::string upper = upper_case(text + "\n");
            LineRecord record;
            if (is_instruction(scan_line(*ctx, upper, record))) classify_operands(*ctx, upper, record);
            records.push_back(record);
        }
        RecordCursor cursor = cursor_over(records);
        std::string text;
        for (const std::string& written : lines) {
            EXPECT_EQ(cursor.advance(ctx->console), RecordCursor::Step::record);
            const std::string line = written + "\n";
            ++ctx->includes.levels[0].line_count;
            LineRecord& record = cursor.current();
            Translation translation;
            if (is_instruction(record.code)) {
                translate_instruction(*ctx, cursor, record, line, translation);
            } else {
                translation.push_back(source_line_of(record));
            }
            text += render_translation(translation, line);
        }
        std::string unused;
        lookahead_left = cursor.take_lookahead(unused);
        return compact_lines(text);
    }

    static std::vector<std::string> compact_lines(const std::string& text) {
        std::vector<std::string> result;
        std::string line;
        for (char ch : text) {
            if (ch != '\n') {
                line.push_back(static_cast<char>(ch));
                continue;
            }
            std::size_t comment = line.find("\t;\t");
            if (comment != std::string::npos) line.erase(comment);
            std::string compact;
            for (char c : line) {
                if (c != '\t')
                    compact.push_back(c);
                else if (!compact.empty() && compact.back() != ' ')
                    compact.push_back(' ');
            }
            while (!compact.empty() && compact.back() == ' ') compact.pop_back();
            result.push_back(compact);
            line.clear();
        }
        return result;
    }

    std::string console() const { return ctx->console.captured; }
};

using Lines = std::vector<std::string>;

TEST_F(DispatcherTest, ScfCcfBecomesOneLineAndMergesOnIntoSbc) {
    EXPECT_EQ(translate({" SCF", " CCF"}), (Lines{"ANDC #H'FE,CCR", ";"}));
    ctx = fresh_context();
    SetUp();
    EXPECT_EQ(translate({" SCF", " CCF", " SBC HL,DE"}), (Lines{"SUB.W R2,R3", ";", ";"}));
}

TEST_F(DispatcherTest, TestOfAClearsCarryForSbcAndXorGetsItsCarryCleared) {
    EXPECT_EQ(translate({" OR A", " SBC HL,BC", " AND A", " SBC HL,DE", " CP A", " SBC HL,SP"}),
              (Lines{"SUB.W R1,R3", ";", "SUB.W R2,R3", ";", "SUB.W SP,R3", ";"}));
    ctx = fresh_context();
    SetUp();
    EXPECT_EQ(translate({" XOR A", " SBC HL,BC"}),
              (Lines{"XOR R0H,R0H", "ANDC #H'FE,CCR", "ORC #H'04,CCR", "SUBX R1L,R3L", "SUBX R1H,R3H"}));
    // The carry is set again before anything reads it: no extra line.
    EXPECT_EQ(translate({" AND 7", " ADD A,B", " RLA"}), (Lines{"AND #H'7,R0H", "ADD.B R1H,R0H", "ROTXL R0H"}));
    EXPECT_EQ(translate({" TST B", " RLA"}), (Lines{"MOV.B R1H,R6L", "AND R0H,R6L", "ANDC #H'FE,CCR", "ROTXL R0H"}));
}

TEST_F(DispatcherTest, PairIncrementsMergeOncePerLine) {
    EXPECT_EQ(translate({" INC HL", " INC HL", " INC HL", " DEC DE", "; between", " DEC DE"}),
              (Lines{"ADDS #2,R3", ";", "ADDS #1,R3", "SUBS #2,R2", ";", ";"}));
}

TEST_F(DispatcherTest, LabelOnTheSecondLinePreventsEveryMerge) {
    EXPECT_EQ(
        translate({" INC HL", "L1: INC HL", " LD A,(HL)", "L2: INC HL", " SCF", "L3: CCF"}),
        (Lines{"ADDS #1,R3", "L1 ADDS #1,R3", "MOV.B @R3,R0H", "L2 ADDS #1,R3", "ORC #H'01,CCR", "L3 XORC #H'01,CCR"}));
}

TEST_F(DispatcherTest, PostIncrementAndPreDecrementMerges) {
    EXPECT_EQ(translate({"LOOP: LD A,(HL)", "; comment", " INC HL", " LD A,(HL)", " INC DE", " DEC HL", " LD (HL),B",
                         " LD C,(DE)", " INC DE", " DEC BC", " LD (BC),A"}),
              (Lines{"LOOP MOV.B @R3+,R0H", ";", ";", "MOV.B @R3,R0H", "ADDS #1,R2", "MOV.B R1H,@-R3", ";",
                     "MOV.B @R2+,R1L", ";", "MOV.B R0H,@-R1", ";"}));
}

TEST_F(DispatcherTest, IndexAndStackPairsAreNotMergedIntoAutoStepAddressing) {
    // (IX)+, -(IY) and the like have no H8/300 names here: the pair stays two translations.
    EXPECT_EQ(translate({" LD A,(IX)", " INC IX", " DEC IY", " LD (IY),A"}),
              (Lines{"MOV.B @R4,R0H", "ADDS #1,R4", "SUBS #1,R5", "MOV.B R0H,@R5"}));
    EXPECT_EQ(console(), "");
}

TEST_F(DispatcherTest, PushPopBecomesMoveExceptForAf) {
    EXPECT_EQ(translate({" PUSH BC", " POP DE", " PUSH AF", " POP BC"}),
              (Lines{"MOV.W R1,R2", ";", "STC CCR,R0L", "PUSH R0", "POP R1"}));
}

TEST_F(DispatcherTest, RedundantTestAfterLoadOfAOnlyClearsTheCarry) {
    EXPECT_EQ(translate({" LD A,(X)", " OR A", " JR Z,L", " LD A,B", " CP 0", " JP NZ,L", " LD (HL),A", " AND A",
                         " JR NZ,L"}),
              (Lines{"MOV.B @X,R0H", "ANDC #H'FE,CCR", "BEQ L", "MOV.B R1H,R0H", "ANDC #H'FE,CCR", "BEQ $+6", "JMP @L",
                     "MOV.B R0H,@R3", "ANDC #H'FE,CCR", "BNE L"}));
    EXPECT_EQ(console(), "");
}

TEST_F(DispatcherTest, TestStaysWhenANotLoadedLabelledOrXor) {
    EXPECT_EQ(translate({" LD B,C", " OR A", " JR Z,L", " LD A,B", "T: OR A", " JR Z,L", " LD A,B", " XOR A", " JR Z,L",
                         " LD A,B", " CP 1", " JR Z,L", " LD A,B", " OR A", " RET Z"}),
              (Lines{"MOV.B R1L,R1H",  "OR R0H,R0H",     "ANDC #H'FE,CCR", "BEQ L",          "MOV.B R1H,R0H",
                     "T OR R0H,R0H",   "ANDC #H'FE,CCR", "BEQ L",          "MOV.B R1H,R0H",  "XOR R0H,R0H",
                     "ANDC #H'FE,CCR", "BEQ L",          "MOV.B R1H,R0H",  "CMP.B #H'1,R0H", "BEQ L",
                     "MOV.B R1H,R0H",  "OR R0H,R0H",     "ANDC #H'FE,CCR", "BNE $+4",        "RTS"}));
}

TEST_F(DispatcherTest, LogicalGroupAndErrors) {
    EXPECT_EQ(translate({" XOR B", " CP (HL)", " EXX", " IN A,(0)", " EX AF,AF'", " ADD A,(1234H)", "LOOP: LD (HL),5"}),
              (Lines{"XOR R1H,R0H", "MOV.B @R3,R6L", "CMP.B R6L,R0H", "NOP ;*** error ***", "NOP ;*** error ***",
                     "NOP ;*** error ***", "NOP ;*** error ***", "LOOP MOV.B #H'5,R6L", "MOV.B R6L,@R3"}));
    EXPECT_EQ(console(),
              "(3) ERROR: unsupport mnemonic 'EXX'\n(4) ERROR: unsupport mnemonic 'IN  *,(*)'\n"
              "(5) ERROR: unsupport mnemonic 'EX AF,\tAF''\n(6) ERROR: unknown mnemonic\n");
}

TEST_F(DispatcherTest, ZFlagWarningFollowsTheLastInstruction) {
    EXPECT_EQ(translate({" JR Z,L", " SUB B", " INC HL", " JR Z,L", " LD A,(X)", " JR NZ,L", " SUB B", " CALL X",
                         " JP Z,L", " SUB B", "L1: JP NZ,L2", " SUB B", " RLCA", " PUSH BC", " JR C,L", " JR NZ,L"}),
              (Lines{"; *** warning: Z flag unknown ***",
                     "BEQ L",
                     "SUB.B R1H,R0H",
                     "ADDS #1,R3",
                     "BEQ L",
                     "MOV.B @X,R0H",
                     "; *** warning: Z flag unknown ***",
                     "BNE L",
                     "SUB.B R1H,R0H",
                     "JSR @X",
                     "; *** warning: Z flag unknown ***",
                     "BNE $+6",
                     "JMP @L",
                     "SUB.B R1H,R0H",
                     "; *** warning: Z flag unknown ***",
                     "L1 BEQ $+6",
                     "JMP @L2",
                     "SUB.B R1H,R0H",
                     "ROTL R0H",
                     "PUSH R1",
                     "BCS L",
                     "; *** warning: Z flag unknown ***",
                     "BNE L"}));
    EXPECT_EQ(console(),
              "(1) WARNING: Z flag unknown\n(6) WARNING: Z flag unknown\n(9) WARNING: Z flag unknown\n"
              "(11) WARNING: Z flag unknown\n(16) WARNING: Z flag unknown\n");
}

TEST_F(DispatcherTest, ZFlagStateAfterEachClass) {
    // set: LD, ADD.W, CPL, SET/RES on (IX+d), block transfers, PUSH, POP, EX, rotates of A;
    // kept: pair INC/DEC, rotates, SET/RES on registers, MLT, NOP, EI, DI, SCF, CCF; cleared:
    // everything else.
    struct Case {
        const char* instruction;
        bool unknown_after_known;
    } cases[] = {
        {" LD A,B", true},       {" LD HL,5", true},      {" ADD HL,DE", true},     {" CPL", true},
        {" SET 1,(IX+2)", true}, {" RES 1,(IY+2)", true}, {" LDIR", true},          {" LDD", true},
        {" INC HL", false},      {" DEC DE", false},      {" RLC B", false},        {" SRL A", false},
        {" SET 1,A", false},     {" RES 2,(HL)", false},  {" PUSH BC", true},       {" POP AF", true},
        {" MLT DE", false},      {" NOP", false},         {" EI", false},           {" DI", false},
        {" ADD A,B", false},     {" INC A", false},       {" BIT 1,(IX+2)", false}, {" CPIR", false},
        {" RLA", true},          {" EX (SP),IX", true},   {" DJNZ L", true},        {" SCF", false},
        {" DAA", false},         {" RET NZ", false},      {" EX DE,HL", true},      {" TST B", false},
    };
    for (const Case& c : cases) {
        ctx = fresh_context();
        SetUp();
        ctx->pass2.z_flag_unknown = false;
        translate({c.instruction});
        EXPECT_EQ(ctx->pass2.z_flag_unknown, c.unknown_after_known) << c.instruction;
    }
}

TEST_F(DispatcherTest, UnchangedClassKeepsAnUnknownFlagUnknown) {
    for (const char* instruction : {" INC HL", " RLC B", " SET 1,A", " MLT DE", " NOP", " SCF", " CCF"}) {
        ctx = fresh_context();
        SetUp();
        ctx->pass2.z_flag_unknown = true;
        translate({instruction});
        EXPECT_TRUE(ctx->pass2.z_flag_unknown) << instruction;
    }
    for (const char* instruction : {" ADD A,B", " CP 5", " NEG", " ADD A,(1234H)"}) {
        ctx = fresh_context();
        SetUp();
        translate({instruction});
        EXPECT_FALSE(ctx->pass2.z_flag_unknown) << instruction;
    }
}

TEST_F(DispatcherTest, JrPairsWithoutLookAhead) {
    EXPECT_EQ(translate({" SUB B", " JR Z,$+4", " JR NC,X", " SUB B", " JR Z,L", " JR NC,X", "L: NOP", " SUB B",
                         "A1: JR Z,L", " JR NC,X", "L: NOP"}),
              (Lines{"SUB.B R1H,R0H", ";", "BHI X", "SUB.B R1H,R0H", ";", "BHI X", "L NOP", "SUB.B R1H,R0H",
                     "; *** warning: Z flag unknown ***", "A1 .EQU $", "BHI X", "L NOP"}));
}

TEST_F(DispatcherTest, JrPairsThatDoNotMerge) {
    EXPECT_EQ(translate({" SUB B", " JR Z,$+6", " JR NC,X", " SUB B", " JR Z,L", " JR NC,X", " NOP", " SUB B",
                         " JR Z,X", "L2: JR NC,X"}),
              (Lines{"SUB.B R1H,R0H", "NOP ;*** error ***", "BCC X", "SUB.B R1H,R0H", "BEQ L", "BCC X", "NOP",
                     "SUB.B R1H,R0H", "BEQ X", "L2 BCC X"}));
    EXPECT_EQ(console(), "(2) ERROR: illegal CALL/JP/JR operand\n");
}

TEST_F(DispatcherTest, JrZToCWithoutAFileToReadAheadStaysTwoBranches) {
    // No source file is open here, so the look-ahead reads nothing.
    EXPECT_EQ(translate({" SUB B", " JR Z,X", " JR C,X"}), (Lines{"SUB.B R1H,R0H", "BEQ X", "BCS X"}));
    EXPECT_FALSE(lookahead_left);
}

TEST_F(DispatcherTest, ParityConditionsAfterBlockInstructions) {
    EXPECT_EQ(translate({" LDIR", " JP PE,LOOP", " LDI", " CALL PO,S", " CPIR", " JR Z,FOUND", " JP PE,AGAIN", " CPD",
                         " JP PO,X", " LD A,B", " JP PO,X", " CPI", " JR PE,X"}),
              (Lines{"MOV.B @R3+,R6L", "MOV.B R6L,@R2",
                     "ADDS #1,R2",     "SUBS #1,R1",
                     "MOV.W R1,R1",    "BNE $-10",
                     "BEQ $+6",        "JMP @LOOP",
                     "MOV.B @R3+,R6L", "MOV.B R6L,@R2",
                     "ADDS #1,R2",     "SUBS #1,R1",
                     "MOV.W R1,R1",    "BNE $+6",
                     "JSR @S",         "MOV.B @R3+,R6L",
                     "SUBS #1,R1",     "MOV.W R1,R1",
                     "BEQ $+10",       "CMP.B R6L,R0H",
                     "BNE $-10",       "ANDC #H'FE,CCR",
                     "BRA $+6",        "CMP.B R6L,R0H",
                     "ORC #H'01,CCR",  "BEQ FOUND",
                     "BCS $+6",        "JMP @AGAIN",
                     "MOV.B @R3,R6L",  "SUBS #1,R3",
                     "SUBS #1,R1",     "MOV.W R1,R1",
                     "BEQ $+8",        "CMP.B R6L,R0H",
                     "ANDC #H'FE,CCR", "BRA $+6",
                     "CMP.B R6L,R0H",  "ORC #H'01,CCR",
                     "BCC $+6",        "JMP @X",
                     "MOV.B R1H,R0H",  "NOP ;*** error ***",
                     "MOV.B @R3+,R6L", "SUBS #1,R1",
                     "MOV.W R1,R1",    "BEQ $+8",
                     "CMP.B R6L,R0H",  "ANDC #H'FE,CCR",
                     "BRA $+6",        "CMP.B R6L,R0H",
                     "ORC #H'01,CCR",  "NOP ;*** error ***"}));
    EXPECT_EQ(console(), "(11) ERROR: unknown mnemonic\n(13) ERROR: unknown mnemonic\n");
}

TEST_F(DispatcherTest, BranchTargetsAreSixteenBitAndDollarIsIllegal) {
    EXPECT_EQ(translate({" JP 1234H", " SUB B", " CALL NZ,0FFFFH", " DJNZ LOOP", " JP (HL)", " JR $", " CALL X+"}),
              (Lines{"JMP @H'1234", "SUB.B R1H,R0H", "BEQ $+6", "JSR @H'FFFF", "DEC R1H", "BNE LOOP", "JMP @R3",
                     "NOP ;*** error ***", "NOP ;*** error ***"}));
    EXPECT_EQ(console(), "(6) ERROR: illegal CALL/JP/JR operand\n(7) ERROR: illegal CALL/JP/JR operand\n");
}

TEST_F(DispatcherTest, NeighbourWalkStopsAtTheEndsOfTheSource) {
    // The first and the last line have no neighbour to merge with or test against.
    EXPECT_EQ(translate({"; head", " INC HL"}), (Lines{";", "ADDS #1,R3"}));
    LineRecord next;
    next.code = kw::JP;
    next.form = Form::cond_po;
    LineRecord previous;  // all zero
    LineRecord record;
    record.code = kw::INC;
    record.form = Form::reg;
    RecordCursor cursor = cursor_over({record});
    OperandSlots slots;
    Translation out;
    EXPECT_FALSE(track_branches_and_flags(*ctx, cursor, record, " INC A\n", previous, next, slots, out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(next.form, Form::cond_po);
}

}  // namespace
