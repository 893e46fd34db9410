#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "translating/templates.h"

namespace {

// One entry as text: its lines joined by " ; ", an unsupported instruction as "<display>".
std::string render(const TemplateEntry& entry) {
    std::string text;
    for (const TemplateStep& step : entry.steps) {
        if (!text.empty()) text += " ; ";
        text += step.mnemonic;
        if (!step.operand1.empty()) text += " " + std::string(step.operand1);
        if (!step.operand2.empty()) text += "," + std::string(step.operand2);
    }
    if (!entry.display.empty()) text += "<" + std::string(entry.display) + ">";
    return text;
}

std::string render_key(std::uint16_t key) {
    const TemplateIndex index = build_template_index();
    return render(find_template(index, key));
}

// The translation table, row by row as the H8/300 lines read.
const std::map<std::uint16_t, std::string>& expected_rows() {
    static const std::map<std::uint16_t, std::string> rows{
        // LD
        {0x1100 + 1, "MOV.B {imm},{reg1}"},
        {0x1100 + 2, "MOV.B {reg2},{reg1}"},
        {0x1100 + 3, "MOV.B {mem},{reg1}"},
        {0x1100 + 4, "MOV.B {reg2},{reg1}"},
        {0x1100 + 5, "MOV.B {reg2},{reg1}"},
        {0x1100 + 6, "MOV.B {mem},{reg1}"},
        {0x1100 + 7, "MOV.B {reg2},{mem}"},
        {0x1100 + 8, "MOV.B {reg2},{reg1}"},
        {0x1100 + 9, "MOV.B {reg2},{reg1}"},
        {0x1100 + 10, "MOV.B {reg2},{mem}"},
        {0x1100 + 11, "MOV.B {imm},R6L ; MOV.B R6L,{reg1}"},
        {0x1100 + 12, "MOV.B {imm},R6L ; MOV.B R6L,{mem}"},
        {0x1100 + 33, "MOV.W {imm},{reg1}"},
        {0x1100 + 34, "MOV.W {reg2},{reg1}"},
        {0x1100 + 35, "MOV.W {mem},{reg1}"},
        {0x1100 + 36, "MOV.W {reg2},{mem}"},
        // ADD, ADC, SUB, SBC
        {0x1200 + 1, "ADD.B {imm},{reg1}"},
        {0x1200 + 2, "ADD.B {reg2},{reg1}"},
        {0x1200 + 4, "MOV.B {reg2},R6L ; ADD.B R6L,{reg1}"},
        {0x1200 + 6, "MOV.B {mem},R6L ; ADD.B R6L,{reg1}"},
        {0x1200 + 34, "ADD.W {reg2},{reg1}"},
        {0x1300 + 1, "ORC #H'04,CCR ; ADDX {imm},{reg1}"},
        {0x1300 + 2, "ORC #H'04,CCR ; ADDX {reg2},{reg1}"},
        {0x1300 + 4, "MOV.B {reg2},R6L ; ORC #H'04,CCR ; ADDX R6L,{reg1}"},
        {0x1300 + 6, "MOV.B {mem},R6L ; ORC #H'04,CCR ; ADDX R6L,{reg1}"},
        {0x1300 + 34, "ORC #H'04,CCR ; ADDX {reg2L},{reg1L} ; ADDX {reg2H},{reg1H}"},
        {0x1400 + 21, "SUB.B {reg1},R0H"},
        {0x1400 + 22, "MOV.B {imm},R6L ; SUB.B R6L,R0H"},
        {0x1400 + 24, "MOV.B {reg1},R6L ; SUB.B R6L,R0H"},
        {0x1400 + 25, "MOV.B {mem},R6L ; SUB.B R6L,R0H"},
        {0x1400 + 34, "SUB.W {reg2},{reg1}"},
        {0x1500 + 1, "ORC #H'04,CCR ; SUBX {imm},{reg1}"},
        {0x1500 + 2, "ORC #H'04,CCR ; SUBX {reg2},{reg1}"},
        {0x1500 + 4, "MOV.B {reg2},R6L ; ORC #H'04,CCR ; SUBX R6L,{reg1}"},
        {0x1500 + 6, "MOV.B {mem},R6L ; ORC #H'04,CCR ; SUBX R6L,{reg1}"},
        {0x1500 + 34, "ORC #H'04,CCR ; SUBX {reg2L},{reg1L} ; SUBX {reg2H},{reg1H}"},
        // AND, OR, XOR, CP
        {0x6F00 + 21, "{logic} {reg1},R0H"},
        {0x6F00 + 22, "{logic} {imm},R0H"},
        {0x6F00 + 24, "MOV.B {reg1},R6L ; {logic} R6L,R0H"},
        {0x6F00 + 25, "MOV.B {mem},R6L ; {logic} R6L,R0H"},
        // INC, DEC
        {0x1A00 + 21, "INC {reg1}"},
        {0x1A00 + 24, "MOV.B {reg1},R6L ; INC R6L ; MOV.B R6L,{reg1}"},
        {0x1A00 + 25, "MOV.B {mem},R6L ; INC R6L ; MOV.B R6L,{mem}"},
        {0x1A00 + 31, "ADDS #1,{reg1}"},
        {0x1A00 + 61, "ADDS #2,{reg1}"},
        {0x1B00 + 21, "DEC {reg1}"},
        {0x1B00 + 24, "MOV.B {reg1},R6L ; DEC R6L ; MOV.B R6L,{reg1}"},
        {0x1B00 + 25, "MOV.B {mem},R6L ; DEC R6L ; MOV.B R6L,{mem}"},
        {0x1B00 + 31, "SUBS #1,{reg1}"},
        {0x1B00 + 61, "SUBS #2,{reg1}"},
        // Rotates and shifts
        {0x1C00 + 21, "ROTL {reg1}"},
        {0x2000 + 21, "ROTL {reg1}"},
        {0x1D00 + 21, "ROTR {reg1}"},
        {0x2100 + 21, "ROTR {reg1}"},
        {0x1E00 + 21, "ROTXL {reg1}"},
        {0x2200 + 21, "ROTXL {reg1}"},
        {0x1F00 + 21, "ROTXR {reg1}"},
        {0x2300 + 21, "ROTXR {reg1}"},
        {0x2400 + 21, "SHAL {reg1}"},
        {0x2500 + 21, "SHAR {reg1}"},
        {0x2600 + 21, "SHLR {reg1}"},
        // Accumulator and flags
        {0x2D00, "XORC #H'01,CCR"},
        {0x2E00, "ORC #H'01,CCR"},
        {0x2F00, "ANDC #H'FE,CCR"},
        {0x2B00, "NOT R0H"},
        {0x2C00, "NEG R0H"},
        {0x2900, "DAA R0H"},
        {0x2900 + 66, "DAS R0H"},
        {0x1100 + 67, "MOV.B {mem},{reg1L} ; MOV.B {mem+1},{reg1H}"},
        {0x1100 + 68, "MOV.B {reg2L},{mem} ; MOV.B {reg2H},{mem+1}"},
        {0x1100 + 69, "MOV.B {mem},R6L ; MOV.B {mem+1},R6H ; MOV.W R6,SP"},
        {0x1100 + 70, "MOV.W SP,R6 ; MOV.B R6L,{mem} ; MOV.B R6H,{mem+1}"},
        {0x3F00, "ANDC #H'7F,CCR"},
        {0x4000, "ORC #H'80,CCR"},
        {0x4200, "NOP"},
        {0x4400, "SLEEP"},
        // SET, RES, BIT
        {0x3000 + 41, "BSET {bit},{reg1}"},
        {0x3000 + 42, "BSET {bit},{reg1}"},
        {0x3000 + 43, "MOV.B {mem},R6L ; BSET {bit},R6L ; MOV.B R6L,{mem}"},
        {0x3100 + 41, "BCLR {bit},{reg1}"},
        {0x3100 + 42, "BCLR {bit},{reg1}"},
        {0x3100 + 43, "MOV.B {mem},R6L ; BCLR {bit},R6L ; MOV.B R6L,{mem}"},
        {0x3200 + 41, "BTST {bit},{reg1}"},
        {0x3200 + 42, "BTST {bit},{reg1}"},
        {0x3200 + 43, "MOV.B {mem},R6L ; BTST {bit},R6L"},
        // CALL, JP, RET, JR by condition form
        {0x3300 + 51, "JSR {target}"},
        {0x3800 + 51, "JMP {target}"},
        {0x3400 + 51, "RTS"},
        {0x3900 + 51, "BRA {target}"},
        {0x3300 + 52, "BCC $+6 ; JSR {target}"},
        {0x3800 + 52, "BCC $+6 ; JMP {target}"},
        {0x3400 + 52, "BCC $+4 ; RTS"},
        {0x3900 + 52, "BCS {target}"},
        {0x3300 + 53, "BCS $+6 ; JSR {target}"},
        {0x3800 + 53, "BCS $+6 ; JMP {target}"},
        {0x3400 + 53, "BCS $+4 ; RTS"},
        {0x3900 + 53, "BCC {target}"},
        {0x3300 + 54, "BNE $+6 ; JSR {target}"},
        {0x3800 + 54, "BNE $+6 ; JMP {target}"},
        {0x3400 + 54, "BNE $+4 ; RTS"},
        {0x3900 + 54, "BEQ {target}"},
        {0x3300 + 55, "BEQ $+6 ; JSR {target}"},
        {0x3800 + 55, "BEQ $+6 ; JMP {target}"},
        {0x3400 + 55, "BEQ $+4 ; RTS"},
        {0x3900 + 55, "BNE {target}"},
        {0x3900 + 59, "BHI {target}"},
        {0x3900 + 60, "BLS {target}"},
        {0x3300 + 62, "BNE $+6 ; JSR {target}"},
        {0x3800 + 62, "BNE $+6 ; JMP {target}"},
        {0x3300 + 63, "BEQ $+6 ; JSR {target}"},
        {0x3800 + 63, "BEQ $+6 ; JMP {target}"},
        {0x3300 + 64, "BCC $+6 ; JSR {target}"},
        {0x3800 + 64, "BCC $+6 ; JMP {target}"},
        {0x3300 + 65, "BCS $+6 ; JSR {target}"},
        {0x3800 + 65, "BCS $+6 ; JMP {target}"},
        {0x3800 + 24, "JMP {reg1}"},
        {0x3300 + 71, "BMI $+6 ; JSR {target}"},
        {0x3800 + 71, "BMI $+6 ; JMP {target}"},
        {0x3400 + 71, "BMI $+4 ; RTS"},
        {0x3300 + 72, "BPL $+6 ; JSR {target}"},
        {0x3800 + 72, "BPL $+6 ; JMP {target}"},
        {0x3400 + 72, "BPL $+4 ; RTS"},
        // Other instructions
        {0x3500, "RTE"},
        {0x3600, "RTE"},
        {0x3A00, "DEC R1H ; BNE {target}"},
        {0x3B00 + 34, "MOV.W {reg2},R6 ; MOV.W {reg1},{reg2} ; MOV.W R6,{reg1}"},
        {0x3B00 + 37, "MOV.W {reg2},R6 ; MOV.W {reg1},{reg2} ; MOV.W R6,{reg1}"},
        {0x3D00 + 32, "STC CCR,R0L ; PUSH R0"},
        {0x3D00 + 31, "PUSH {reg1}"},
        {0x3E00 + 32, "POP R0 ; LDC R0L,CCR"},
        {0x3E00 + 31, "POP {reg1}"},
        {0x4500 + 21, "MOV.B {reg1},R6L ; AND R0H,R6L"},
        {0x4500 + 24, "MOV.B {reg1},R6L ; AND R0H,R6L"},
        {0x4600 + 31, "MULXU {reg1H},{reg1}"},
        // Block transfer and compare
        {0x5000, "MOV.B @R3+,R6L ; MOV.B R6L,@R2 ; ADDS #1,R2 ; SUBS #1,R1 ; MOV.W R1,R1"},
        {0x5100, "MOV.B @R3+,R6L ; MOV.B R6L,@R2 ; ADDS #1,R2 ; SUBS #1,R1 ; MOV.W R1,R1 ; BNE $-10"},
        {0x5200, "MOV.B @R3,R6L ; MOV.B R6L,@R2 ; SUBS #1,R3 ; SUBS #1,R2 ; SUBS #1,R1 ; MOV.W R1,R1"},
        {0x5300, "MOV.B @R3,R6L ; MOV.B R6L,@R2 ; SUBS #1,R3 ; SUBS #1,R2 ; SUBS #1,R1 ; MOV.W R1,R1 ; BNE $-12"},
        {0x5400,
         "MOV.B @R3+,R6L ; SUBS #1,R1 ; MOV.W R1,R1 ; BEQ $+8 ; CMP.B R6L,R0H ; ANDC #H'FE,CCR ; "
         "BRA $+6 ; CMP.B R6L,R0H ; ORC #H'01,CCR"},
        {0x5500,
         "MOV.B @R3+,R6L ; SUBS #1,R1 ; MOV.W R1,R1 ; BEQ $+10 ; CMP.B R6L,R0H ; BNE $-10 ; "
         "ANDC #H'FE,CCR ; BRA $+6 ; CMP.B R6L,R0H ; ORC #H'01,CCR"},
        {0x5600,
         "MOV.B @R3,R6L ; SUBS #1,R3 ; SUBS #1,R1 ; MOV.W R1,R1 ; BEQ $+8 ; CMP.B R6L,R0H ; "
         "ANDC #H'FE,CCR ; BRA $+6 ; CMP.B R6L,R0H ; ORC #H'01,CCR"},
        {0x5700,
         "MOV.B @R3,R6L ; SUBS #1,R3 ; SUBS #1,R1 ; MOV.W R1,R1 ; BEQ $+10 ; CMP.B R6L,R0H ; "
         "BNE $-12 ; ANDC #H'FE,CCR ; BRA $+6 ; CMP.B R6L,R0H ; ORC #H'01,CCR"},
        // Recognised but not translated
        {0x2700 + 21, "<RLD>"},
        {0x2800 + 21, "<RRD>"},
        {0x3700, "<RST t>"},
        {0x3B00 + 32, "<EX AF,\tAF'>"},
        {0x3C00, "<EXX>"},
        {0x6400, "<IN  *,(*)>"},
        {0x6500, "<OUT (*),*>"},
        {0x6600, "<IN0  *,(*)>"},
        {0x6700, "<OUT0 (*),*>"},
        {0x6800, "<TSTIO n>"},
        {0x5800, "<INI>"},
        {0x5900, "<INIR>"},
        {0x5A00, "<IND>"},
        {0x5B00, "<INDR>"},
        {0x5C00, "<OUTI>"},
        {0x5D00, "<OTIR>"},
        {0x5E00, "<OUTD>"},
        {0x5F00, "<OTDR>"},
        {0x6000, "<OTIM>"},
        {0x6100, "<OTIMR>"},
        {0x6200, "<OTDM>"},
        {0x6300, "<OTDMR>"},
        {0x4100, "<IM n>"},
        {0x4300, "<HALT>"},
    };
    return rows;
}

TEST(TemplateTable, HasAllEntriesInSeventyFiveRunsAndEndsWithTheTerminator) {
    const auto table = template_table();
    ASSERT_EQ(table.size(), 167u);
    EXPECT_EQ(table.back().key, 0);
    EXPECT_TRUE(table.back().steps.empty());
    EXPECT_TRUE(table.back().display.empty());

    const TemplateIndex index = build_template_index();
    ASSERT_EQ(index.runs.size(), 76u);
    EXPECT_EQ(index.runs.back().code, 0);
    EXPECT_EQ(index.runs.back().count, 0);
    unsigned total = 0;
    for (const TemplateRun& run : index.runs) total += run.count;
    EXPECT_EQ(total, 166u);
}

TEST(TemplateTable, IndexRunsFollowTheTableOrder) {
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> runs{
        {0x1100, 20}, {0x1200, 5}, {0x1300, 5}, {0x1400, 5},  {0x1500, 5}, {0x6F00, 4}, {0x1A00, 5},  {0x1B00, 5},
        {0x2000, 1},  {0x2100, 1}, {0x2200, 1}, {0x2300, 1},  {0x1C00, 1}, {0x1D00, 1}, {0x1E00, 1},  {0x1F00, 1},
        {0x2400, 1},  {0x2500, 1}, {0x2600, 1}, {0x2700, 1},  {0x2800, 1}, {0x2D00, 1}, {0x2E00, 1},  {0x2F00, 1},
        {0x2B00, 1},  {0x2C00, 1}, {0x2900, 2}, {0x3000, 3},  {0x3100, 3}, {0x3200, 3}, {0x3300, 11}, {0x3400, 7},
        {0x3500, 1},  {0x3600, 1}, {0x3700, 1}, {0x3800, 12}, {0x3900, 7}, {0x3A00, 1}, {0x3B00, 3},  {0x3C00, 1},
        {0x3D00, 2},  {0x3E00, 2}, {0x4500, 2}, {0x4600, 1},  {0x6400, 1}, {0x6500, 1}, {0x6600, 1},  {0x6700, 1},
        {0x6800, 1},  {0x5000, 1}, {0x5100, 1}, {0x5200, 1},  {0x5300, 1}, {0x5400, 1}, {0x5500, 1},  {0x5600, 1},
        {0x5700, 1},  {0x5800, 1}, {0x5900, 1}, {0x5A00, 1},  {0x5B00, 1}, {0x5C00, 1}, {0x5D00, 1},  {0x5E00, 1},
        {0x5F00, 1},  {0x6000, 1}, {0x6100, 1}, {0x6200, 1},  {0x6300, 1}, {0x3F00, 1}, {0x4000, 1},  {0x4100, 1},
        {0x4200, 1},  {0x4300, 1}, {0x4400, 1},
    };
    ASSERT_EQ(runs.size(), 75u);
    const TemplateIndex index = build_template_index();
    ASSERT_EQ(index.runs.size(), runs.size() + 1);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(index.runs[i].code, runs[i].first) << "run " << i;
        EXPECT_EQ(index.runs[i].count, runs[i].second) << "run " << i;
    }
}

TEST(TemplateTable, EveryEntryReadsAsItsTranslationRow) {
    const auto& rows = expected_rows();
    ASSERT_EQ(rows.size(), 166u);
    std::set<std::uint16_t> seen;
    const auto table = template_table();
    for (const TemplateEntry& entry : table.first(table.size() - 1)) {
        EXPECT_TRUE(seen.insert(entry.key).second) << "duplicate key " << std::hex << entry.key;
        const auto row = rows.find(entry.key);
        if (row == rows.end()) {
            ADD_FAILURE() << "no such row: key " << std::hex << entry.key;
            continue;
        }
        EXPECT_EQ(render(entry), row->second) << "key " << std::hex << entry.key;
    }
    EXPECT_EQ(seen.size(), rows.size());
}

// Relative branches count 2 bytes per line, 4 for JMP/JSR to an address; each must land on a line
// of its own sequence or just past its end.
TEST(TemplateTable, RelativeBranchesLandOnLinesOfTheirOwnSequence) {
    for (const TemplateEntry& entry : template_table()) {
        std::vector<int> starts;
        int address = 0;
        for (const TemplateStep& step : entry.steps) {
            starts.push_back(address);
            const bool long_jump = (step.mnemonic == "JMP" || step.mnemonic == "JSR") && step.operand1 == "{target}";
            address += long_jump ? 4 : 2;
        }
        starts.push_back(address);
        for (std::size_t i = 0; i < entry.steps.size(); ++i) {
            const std::string_view operand = entry.steps[i].operand1;
            if (operand.size() < 3 || operand[0] != '$') continue;
            const int distance = std::stoi(std::string(operand.substr(1)));
            const int target = starts[i] + distance;
            EXPECT_NE(std::find(starts.begin(), starts.end(), target), starts.end())
                << "key " << std::hex << entry.key << " line " << std::dec << i << " " << operand;
        }
    }
}

TEST(TemplateLookup, FindsEveryEntryByItsKeyWhereverItStands) {
    const TemplateIndex index = build_template_index();
    for (const TemplateEntry& entry : template_table()) {
        EXPECT_EQ(&find_template(index, entry.key), &entry) << std::hex << entry.key;
    }
    EXPECT_EQ(render_key(0x1101), "MOV.B {imm},{reg1}");  // LD r,n, first in its run
    EXPECT_EQ(render_key(0x1103), "MOV.B {mem},{reg1}");  // LD r,(nn), after the (IX+d) row
    EXPECT_EQ(render_key(0x2000 + 21), "ROTL {reg1}");    // RLCA
}

TEST(TemplateLookup, UnknownCombinationsGiveTheTerminatingEntry) {
    const TemplateIndex index = build_template_index();
    const TemplateEntry& terminator = template_table().back();
    for (std::uint16_t key : {0x1203,          // ADD A,(nn)
                              0x3338,          // CALL PO,nn not after a block instruction
                              0x1C00 + 24,     // RLC (HL)
                              0x3800 + 21,     // JP r
                              0x4500 + 22,     // TST n
                              0x0000, 0x4700,  // no code, a code without a keyword
                              0x6F00 + 23}) {  // AND (nn)
        EXPECT_EQ(&find_template(index, key), &terminator) << std::hex << key;
    }
}

TEST(TemplateLookup, UnsupportedInstructionHasNoStepsButADisplay) {
    const TemplateIndex index = build_template_index();
    const TemplateEntry& ex_af = find_template(index, 0x3B20);
    EXPECT_EQ(ex_af.key, 0x3B20);
    EXPECT_TRUE(ex_af.steps.empty());
    EXPECT_EQ(ex_af.display, "EX AF,\tAF'");
}

TEST(TemplateLookup, BlockLoopsHaveTheirFullLength) {
    const TemplateIndex index = build_template_index();
    const TemplateEntry& ldir = find_template(index, 0x5100);
    ASSERT_EQ(ldir.steps.size(), 6u);
    EXPECT_EQ(ldir.steps.back().mnemonic, "BNE");
    EXPECT_EQ(ldir.steps.back().operand1, "$-10");
    EXPECT_EQ(find_template(index, 0x5700).steps.size(), 11u);  // CPDR
}

}  // namespace

namespace {

// The sizes and branch marks a filled line gets from what the table knew of its step agree with
// those its texts give when looked at whole, whatever the slots bring: registers, indirect and
// stepping registers, absolute addresses, displacements, word immediates.
TEST(TemplateFill, SizesAndShortBranchesAgreeWithTheLineTexts) {
    const std::vector<std::string_view> registers = {"R0H", "R3", "@R3", "@R3+", "@-R3", "@SP", "@H'1234"};
    for (std::string_view reg : registers) {
        for (std::string_view mem : {"@H'1234", "@(H'5,R4)", "R6L"}) {
            OperandSlots slots;
            slots.with_pieces = false;
            slots.reg1 = slots.reg2 = slots.reg1H = slots.reg1L = slots.reg2H = slots.reg2L = reg;
            slots.logic = "CMP.B";
            slots.imm = "#H'12";
            slots.mem = mem;
            slots.mem_next = std::string(mem) + "+1";
            slots.bit = "#3";
            slots.target = "LOOP";
            slots.target_pieces.pieces.push_back({PieceKind::name, "LOOP", 0});
            for (const TemplateEntry& entry : template_table()) {
                const Translation lines = fill_template(entry.steps, slots, {});
                ASSERT_EQ(lines.size(), entry.steps.size());
                for (std::size_t i = 0; i < lines.size(); ++i) {
                    const OutputLine& line = lines[i];
                    EXPECT_EQ(line.size, instruction_size(line.mnemonic, line.operand1, line.operand2))
                        << std::hex << entry.key << " " << line.mnemonic << " " << line.operand1 << ","
                        << line.operand2;
                    const bool short_branch = entry.steps[i].operand1 == "{target}" && is_short_branch(line.mnemonic);
                    EXPECT_EQ(line.branch_target, short_branch ? "LOOP" : "") << std::hex << entry.key;
                }
            }
        }
    }
}

}  // namespace
