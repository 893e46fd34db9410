#include "templates.h"

#include <array>

// The template table. Each step sequence is defined once below and named after what it does;
// the rows further down refer to the sequences by name. Keys are written as instruction code
// plus operand form (form in decimal), and each row carries the HD64180 shape it translates.

namespace {

// Data transfer.
constexpr TemplateStep mov_b_imm_reg1[] = {{"", "MOV.B", "{imm}", "{reg1}"}};
constexpr TemplateStep mov_b_reg2_reg1[] = {{"", "MOV.B", "{reg2}", "{reg1}"}};
constexpr TemplateStep mov_b_mem_reg1[] = {{"", "MOV.B", "{mem}", "{reg1}"}};
constexpr TemplateStep mov_b_reg2_mem[] = {{"", "MOV.B", "{reg2}", "{mem}"}};
constexpr TemplateStep store_imm_reg1[] = {
    {"", "MOV.B", "{imm}", "R6L"},
    {"", "MOV.B", "R6L", "{reg1}"},
};
constexpr TemplateStep store_imm_mem[] = {
    {"", "MOV.B", "{imm}", "R6L"},
    {"", "MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep mov_w_imm_reg1[] = {{"", "MOV.W", "{imm}", "{reg1}"}};
constexpr TemplateStep mov_w_reg2_reg1[] = {{"", "MOV.W", "{reg2}", "{reg1}"}};
constexpr TemplateStep mov_w_mem_reg1[] = {{"", "MOV.W", "{mem}", "{reg1}"}};
constexpr TemplateStep mov_w_reg2_mem[] = {{"", "MOV.W", "{reg2}", "{mem}"}};

// Addition and subtraction. ORC #H'04,CCR sets Z so that ADDX/SUBX leave Z as a whole-result test.
constexpr TemplateStep add_b_imm[] = {{"", "ADD.B", "{imm}", "{reg1}"}};
constexpr TemplateStep add_b_reg[] = {{"", "ADD.B", "{reg2}", "{reg1}"}};
constexpr TemplateStep add_b_indirect[] = {
    {"", "MOV.B", "{reg2}", "R6L"},
    {"", "ADD.B", "R6L", "{reg1}"},
};
constexpr TemplateStep add_b_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "ADD.B", "R6L", "{reg1}"},
};
constexpr TemplateStep add_w_reg[] = {{"", "ADD.W", "{reg2}", "{reg1}"}};

constexpr TemplateStep adc_imm[] = {
    {"", "ORC", "#H'04", "CCR"},
    {"", "ADDX", "{imm}", "{reg1}"},
};
constexpr TemplateStep adc_reg[] = {
    {"", "ORC", "#H'04", "CCR"},
    {"", "ADDX", "{reg2}", "{reg1}"},
};
constexpr TemplateStep adc_indirect[] = {
    {"", "MOV.B", "{reg2}", "R6L"},
    {"", "ORC", "#H'04", "CCR"},
    {"", "ADDX", "R6L", "{reg1}"},
};
constexpr TemplateStep adc_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "ORC", "#H'04", "CCR"},
    {"", "ADDX", "R6L", "{reg1}"},
};
constexpr TemplateStep adc_pair[] = {
    {"", "ORC", "#H'04", "CCR"},
    {"", "ADDX", "{reg2L}", "{reg1L}"},
    {"", "ADDX", "{reg2H}", "{reg1H}"},
};

constexpr TemplateStep sub_b_reg[] = {{"", "SUB.B", "{reg1}", "R0H"}};
constexpr TemplateStep sub_b_imm[] = {
    {"", "MOV.B", "{imm}", "R6L"},
    {"", "SUB.B", "R6L", "R0H"},
};
constexpr TemplateStep sub_b_indirect[] = {
    {"", "MOV.B", "{reg1}", "R6L"},
    {"", "SUB.B", "R6L", "R0H"},
};
constexpr TemplateStep sub_b_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "SUB.B", "R6L", "R0H"},
};
constexpr TemplateStep sub_w_reg[] = {{"", "SUB.W", "{reg2}", "{reg1}"}};

constexpr TemplateStep sbc_imm[] = {
    {"", "ORC", "#H'04", "CCR"},
    {"", "SUBX", "{imm}", "{reg1}"},
};
constexpr TemplateStep sbc_reg[] = {
    {"", "ORC", "#H'04", "CCR"},
    {"", "SUBX", "{reg2}", "{reg1}"},
};
constexpr TemplateStep sbc_indirect[] = {
    {"", "MOV.B", "{reg2}", "R6L"},
    {"", "ORC", "#H'04", "CCR"},
    {"", "SUBX", "R6L", "{reg1}"},
};
constexpr TemplateStep sbc_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "ORC", "#H'04", "CCR"},
    {"", "SUBX", "R6L", "{reg1}"},
};
constexpr TemplateStep sbc_pair[] = {
    {"", "ORC", "#H'04", "CCR"},
    {"", "SUBX", "{reg2L}", "{reg1L}"},
    {"", "SUBX", "{reg2H}", "{reg1H}"},
};

// AND, OR, XOR and CP: the dispatcher fills {logic} with the H8/300 mnemonic.
constexpr TemplateStep logic_imm[] = {{"", "{logic}", "{imm}", "R0H"}};
constexpr TemplateStep logic_reg[] = {{"", "{logic}", "{reg1}", "R0H"}};
constexpr TemplateStep logic_indirect[] = {
    {"", "MOV.B", "{reg1}", "R6L"},
    {"", "{logic}", "R6L", "R0H"},
};
constexpr TemplateStep logic_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "{logic}", "R6L", "R0H"},
};

// Increment and decrement.
constexpr TemplateStep inc_reg[] = {{"", "INC", "{reg1}", ""}};
constexpr TemplateStep inc_indirect[] = {
    {"", "MOV.B", "{reg1}", "R6L"},
    {"", "INC", "R6L", ""},
    {"", "MOV.B", "R6L", "{reg1}"},
};
constexpr TemplateStep inc_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "INC", "R6L", ""},
    {"", "MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep inc_pair[] = {{"", "ADDS", "#1", "{reg1}"}};
constexpr TemplateStep inc_pair_twice[] = {{"", "ADDS", "#2", "{reg1}"}};

constexpr TemplateStep dec_reg[] = {{"", "DEC", "{reg1}", ""}};
constexpr TemplateStep dec_indirect[] = {
    {"", "MOV.B", "{reg1}", "R6L"},
    {"", "DEC", "R6L", ""},
    {"", "MOV.B", "R6L", "{reg1}"},
};
constexpr TemplateStep dec_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "DEC", "R6L", ""},
    {"", "MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep dec_pair[] = {{"", "SUBS", "#1", "{reg1}"}};
constexpr TemplateStep dec_pair_twice[] = {{"", "SUBS", "#2", "{reg1}"}};

// Rotates and shifts.
constexpr TemplateStep rotl[] = {{"", "ROTL", "{reg1}", ""}};
constexpr TemplateStep rotr[] = {{"", "ROTR", "{reg1}", ""}};
constexpr TemplateStep rotxl[] = {{"", "ROTXL", "{reg1}", ""}};
constexpr TemplateStep rotxr[] = {{"", "ROTXR", "{reg1}", ""}};
constexpr TemplateStep shal[] = {{"", "SHAL", "{reg1}", ""}};
constexpr TemplateStep shar[] = {{"", "SHAR", "{reg1}", ""}};
constexpr TemplateStep shlr[] = {{"", "SHLR", "{reg1}", ""}};

// Accumulator, flags and processor control.
constexpr TemplateStep complement_carry[] = {{"", "XORC", "#H'01", "CCR"}};
constexpr TemplateStep set_carry[] = {{"", "ORC", "#H'01", "CCR"}};
constexpr TemplateStep clear_carry[] = {{"", "ANDC", "#H'FE", "CCR"}};
constexpr TemplateStep not_a[] = {{"", "NOT", "R0H", ""}};
constexpr TemplateStep neg_a[] = {{"", "NEG", "R0H", ""}};
constexpr TemplateStep daa_a[] = {{"", "DAA", "R0H", ""}};
constexpr TemplateStep enable_interrupts[] = {{"", "ANDC", "#H'7F", "CCR"}};
constexpr TemplateStep disable_interrupts[] = {{"", "ORC", "#H'80", "CCR"}};
constexpr TemplateStep nop[] = {{"", "NOP", "", ""}};
constexpr TemplateStep sleep[] = {{"", "SLEEP", "", ""}};

// Bit instructions: a register or (HL) directly, an indexed byte through R6L.
constexpr TemplateStep bset_reg[] = {{"", "BSET", "{bit}", "{reg1}"}};
constexpr TemplateStep bclr_reg[] = {{"", "BCLR", "{bit}", "{reg1}"}};
constexpr TemplateStep btst_reg[] = {{"", "BTST", "{bit}", "{reg1}"}};
constexpr TemplateStep bset_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "BSET", "{bit}", "R6L"},
    {"", "MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep bclr_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "BCLR", "{bit}", "R6L"},
    {"", "MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep btst_indexed[] = {
    {"", "MOV.B", "{mem}", "R6L"},
    {"", "BTST", "{bit}", "R6L"},
};

// Calls, returns and jumps. A conditional call or jump skips the 4-byte JSR/JMP on the opposite
// condition, a conditional return skips the 2-byte RTS.
constexpr TemplateStep jsr[] = {{"", "JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bcc[] = {{"", "BCC", "$+6", ""}, {"", "JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bcs[] = {{"", "BCS", "$+6", ""}, {"", "JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bne[] = {{"", "BNE", "$+6", ""}, {"", "JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_beq[] = {{"", "BEQ", "$+6", ""}, {"", "JSR", "{target}", ""}};

constexpr TemplateStep jmp[] = {{"", "JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bcc[] = {{"", "BCC", "$+6", ""}, {"", "JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bcs[] = {{"", "BCS", "$+6", ""}, {"", "JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bne[] = {{"", "BNE", "$+6", ""}, {"", "JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_beq[] = {{"", "BEQ", "$+6", ""}, {"", "JMP", "{target}", ""}};
constexpr TemplateStep jmp_register[] = {{"", "JMP", "{reg1}", ""}};

constexpr TemplateStep rts[] = {{"", "RTS", "", ""}};
constexpr TemplateStep rts_unless_bcc[] = {{"", "BCC", "$+4", ""}, {"", "RTS", "", ""}};
constexpr TemplateStep rts_unless_bcs[] = {{"", "BCS", "$+4", ""}, {"", "RTS", "", ""}};
constexpr TemplateStep rts_unless_bne[] = {{"", "BNE", "$+4", ""}, {"", "RTS", "", ""}};
constexpr TemplateStep rts_unless_beq[] = {{"", "BEQ", "$+4", ""}, {"", "RTS", "", ""}};
constexpr TemplateStep rte[] = {{"", "RTE", "", ""}};

constexpr TemplateStep bra[] = {{"", "BRA", "{target}", ""}};
constexpr TemplateStep bcs[] = {{"", "BCS", "{target}", ""}};
constexpr TemplateStep bcc[] = {{"", "BCC", "{target}", ""}};
constexpr TemplateStep beq[] = {{"", "BEQ", "{target}", ""}};
constexpr TemplateStep bne[] = {{"", "BNE", "{target}", ""}};
constexpr TemplateStep bhi[] = {{"", "BHI", "{target}", ""}};
constexpr TemplateStep bls[] = {{"", "BLS", "{target}", ""}};

constexpr TemplateStep djnz[] = {{"", "DEC", "R1H", ""}, {"", "BNE", "{target}", ""}};

// Exchange, stack, TST and MLT.
constexpr TemplateStep exchange_words[] = {
    {"", "MOV.W", "{reg2}", "R6"},
    {"", "MOV.W", "{reg1}", "{reg2}"},
    {"", "MOV.W", "R6", "{reg1}"},
};
constexpr TemplateStep push_af[] = {{"", "STC", "CCR", "R0L"}, {"", "PUSH", "R0", ""}};
constexpr TemplateStep push_pair[] = {{"", "PUSH", "{reg1}", ""}};
constexpr TemplateStep pop_af[] = {{"", "POP", "R0", ""}, {"", "LDC", "R0L", "CCR"}};
constexpr TemplateStep pop_pair[] = {{"", "POP", "{reg1}", ""}};
constexpr TemplateStep test_a[] = {{"", "MOV.B", "{reg1}", "R6L"}, {"", "AND", "R0H", "R6L"}};
constexpr TemplateStep multiply[] = {{"", "MULXU", "{reg1H}", "{reg1}"}};

// Block transfer: BC is R1, DE R2, HL R3. The loops branch back to the first line; every line is
// two bytes long. After a transfer Z tells whether BC has reached 0.
constexpr TemplateStep ldi[] = {
    {"", "MOV.B", "@R3+", "R6L"},
    {"", "MOV.B", "R6L", "@R2"},
    {"", "ADDS", "#1", "R2"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
};
constexpr TemplateStep ldir[] = {
    {"", "MOV.B", "@R3+", "R6L"},
    {"", "MOV.B", "R6L", "@R2"},
    {"", "ADDS", "#1", "R2"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
    {"", "BNE", "$-10", ""},
};
constexpr TemplateStep ldd[] = {
    {"", "MOV.B", "@R3", "R6L"},
    {"", "MOV.B", "R6L", "@R2"},
    {"", "SUBS", "#1", "R3"},
    {"", "SUBS", "#1", "R2"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
};
constexpr TemplateStep lddr[] = {
    {"", "MOV.B", "@R3", "R6L"},
    {"", "MOV.B", "R6L", "@R2"},
    {"", "SUBS", "#1", "R3"},
    {"", "SUBS", "#1", "R2"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
    {"", "BNE", "$-12", ""},
};

// Block compare: Z is the result of the byte compare, C is set when BC has reached 0.
constexpr TemplateStep cpi[] = {
    {"", "MOV.B", "@R3+", "R6L"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
    {"", "BEQ", "$+8", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "ANDC", "#H'FE", "CCR"},
    {"", "BRA", "$+6", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "ORC", "#H'01", "CCR"},
};
constexpr TemplateStep cpir[] = {
    {"", "MOV.B", "@R3+", "R6L"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
    {"", "BEQ", "$+10", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "BNE", "$-10", ""},
    {"", "ANDC", "#H'FE", "CCR"},
    {"", "BRA", "$+6", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "ORC", "#H'01", "CCR"},
};
constexpr TemplateStep cpd[] = {
    {"", "MOV.B", "@R3", "R6L"},
    {"", "SUBS", "#1", "R3"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
    {"", "BEQ", "$+8", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "ANDC", "#H'FE", "CCR"},
    {"", "BRA", "$+6", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "ORC", "#H'01", "CCR"},
};
constexpr TemplateStep cpdr[] = {
    {"", "MOV.B", "@R3", "R6L"},
    {"", "SUBS", "#1", "R3"},
    {"", "SUBS", "#1", "R1"},
    {"", "MOV.W", "R1", "R1"},
    {"", "BEQ", "$+10", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "BNE", "$-12", ""},
    {"", "ANDC", "#H'FE", "CCR"},
    {"", "BRA", "$+6", ""},
    {"", "CMP.B", "R6L", "R0H"},
    {"", "ORC", "#H'01", "CCR"},
};

constexpr TemplateEntry row(std::uint16_t key, std::span<const TemplateStep> steps) {
    return TemplateEntry{key, steps, {}};
}

// An instruction that is recognised but has no H8/300 translation.
constexpr TemplateEntry unsupported(std::uint16_t key, std::string_view display) {
    return TemplateEntry{key, {}, display};
}

// Entries with the same instruction code stand together; each group is one run of the index.
constexpr std::array table{
    row(0x1100 + 1, mov_b_imm_reg1),    // LD r,n
    row(0x1100 + 2, mov_b_reg2_reg1),   // LD r,r
    row(0x1100 + 4, mov_b_reg2_reg1),   // LD r,(rr)
    row(0x1100 + 6, mov_b_mem_reg1),    // LD r,(IX+d)
    row(0x1100 + 3, mov_b_mem_reg1),    // LD r,(nn)
    row(0x1100 + 8, mov_b_reg2_reg1),   // LD (rr),r
    row(0x1100 + 10, mov_b_reg2_mem),   // LD (IX+d),r
    row(0x1100 + 7, mov_b_reg2_mem),    // LD (nn),r
    row(0x1100 + 11, store_imm_reg1),   // LD (rr),n
    row(0x1100 + 12, store_imm_mem),    // LD (IX+d),n
    row(0x1100 + 5, mov_b_reg2_reg1),   // LD r,(rr) + INC rr
    row(0x1100 + 9, mov_b_reg2_reg1),   // DEC rr + LD (rr),r
    row(0x1100 + 33, mov_w_imm_reg1),   // LD rr,nn
    row(0x1100 + 34, mov_w_reg2_reg1),  // LD rr,rr; PUSH rr + POP qq
    row(0x1100 + 35, mov_w_mem_reg1),   // LD rr,(nn)
    row(0x1100 + 36, mov_w_reg2_mem),   // LD (nn),rr

    row(0x1200 + 1, add_b_imm),       // ADD A,n
    row(0x1200 + 2, add_b_reg),       // ADD A,r
    row(0x1200 + 4, add_b_indirect),  // ADD A,(rr)
    row(0x1200 + 6, add_b_indexed),   // ADD A,(IX+d)
    row(0x1200 + 34, add_w_reg),      // ADD HL,rr

    row(0x1300 + 1, adc_imm),       // ADC A,n
    row(0x1300 + 2, adc_reg),       // ADC A,r
    row(0x1300 + 4, adc_indirect),  // ADC A,(rr)
    row(0x1300 + 6, adc_indexed),   // ADC A,(IX+d)
    row(0x1300 + 34, adc_pair),     // ADC HL,rr

    row(0x1400 + 22, sub_b_imm),       // SUB n
    row(0x1400 + 21, sub_b_reg),       // SUB r
    row(0x1400 + 24, sub_b_indirect),  // SUB (rr)
    row(0x1400 + 25, sub_b_indexed),   // SUB (IX+d)
    row(0x1400 + 34, sub_w_reg),       // SBC HL,rr with the carry known clear

    row(0x1500 + 1, sbc_imm),       // SBC A,n
    row(0x1500 + 2, sbc_reg),       // SBC A,r
    row(0x1500 + 4, sbc_indirect),  // SBC A,(rr)
    row(0x1500 + 6, sbc_indexed),   // SBC A,(IX+d)
    row(0x1500 + 34, sbc_pair),     // SBC HL,rr

    row(0x6F00 + 22, logic_imm),       // AND/OR/XOR/CP n
    row(0x6F00 + 21, logic_reg),       // AND/OR/XOR/CP r
    row(0x6F00 + 24, logic_indirect),  // AND/OR/XOR/CP (rr)
    row(0x6F00 + 25, logic_indexed),   // AND/OR/XOR/CP (IX+d)

    row(0x1A00 + 21, inc_reg),         // INC r
    row(0x1A00 + 24, inc_indirect),    // INC (rr)
    row(0x1A00 + 25, inc_indexed),     // INC (IX+d)
    row(0x1A00 + 31, inc_pair),        // INC rr
    row(0x1A00 + 61, inc_pair_twice),  // INC rr + INC rr

    row(0x1B00 + 21, dec_reg),         // DEC r
    row(0x1B00 + 24, dec_indirect),    // DEC (rr)
    row(0x1B00 + 25, dec_indexed),     // DEC (IX+d)
    row(0x1B00 + 31, dec_pair),        // DEC rr
    row(0x1B00 + 61, dec_pair_twice),  // DEC rr + DEC rr

    row(0x2000 + 21, rotl),          // RLCA
    row(0x2100 + 21, rotr),          // RRCA
    row(0x2200 + 21, rotxl),         // RLA
    row(0x2300 + 21, rotxr),         // RRA
    row(0x1C00 + 21, rotl),          // RLC r
    row(0x1D00 + 21, rotr),          // RRC r
    row(0x1E00 + 21, rotxl),         // RL r
    row(0x1F00 + 21, rotxr),         // RR r
    row(0x2400 + 21, shal),          // SLA r
    row(0x2500 + 21, shar),          // SRA r
    row(0x2600 + 21, shlr),          // SRL r
    unsupported(0x2700 + 21, "RLD"),  // RLD
    unsupported(0x2800 + 21, "RRD"),  // RRD

    row(0x2D00, complement_carry),  // CCF
    row(0x2E00, set_carry),         // SCF
    row(0x2F00, clear_carry),       // SCF + CCF
    row(0x2B00, not_a),             // CPL
    row(0x2C00, neg_a),             // NEG
    row(0x2900, daa_a),             // DAA

    row(0x3000 + 41, bset_reg),      // SET b,r
    row(0x3000 + 42, bset_reg),      // SET b,(rr)
    row(0x3000 + 43, bset_indexed),  // SET b,(IX+d)
    row(0x3100 + 41, bclr_reg),      // RES b,r
    row(0x3100 + 42, bclr_reg),      // RES b,(rr)
    row(0x3100 + 43, bclr_indexed),  // RES b,(IX+d)
    row(0x3200 + 41, btst_reg),      // BIT b,r
    row(0x3200 + 42, btst_reg),      // BIT b,(rr)
    row(0x3200 + 43, btst_indexed),  // BIT b,(IX+d)

    row(0x3300 + 51, jsr),             // CALL nn
    row(0x3300 + 52, jsr_unless_bcc),  // CALL C,nn
    row(0x3300 + 53, jsr_unless_bcs),  // CALL NC,nn
    row(0x3300 + 54, jsr_unless_bne),  // CALL Z,nn
    row(0x3300 + 55, jsr_unless_beq),  // CALL NZ,nn
    row(0x3300 + 63, jsr_unless_beq),  // CALL PE,nn after a block transfer
    row(0x3300 + 62, jsr_unless_bne),  // CALL PO,nn after a block transfer
    row(0x3300 + 65, jsr_unless_bcs),  // CALL PE,nn after a block compare
    row(0x3300 + 64, jsr_unless_bcc),  // CALL PO,nn after a block compare

    row(0x3400 + 51, rts),             // RET
    row(0x3400 + 52, rts_unless_bcc),  // RET C
    row(0x3400 + 53, rts_unless_bcs),  // RET NC
    row(0x3400 + 54, rts_unless_bne),  // RET Z
    row(0x3400 + 55, rts_unless_beq),  // RET NZ
    row(0x3500, rte),                  // RETI
    row(0x3600, rte),                  // RETN
    unsupported(0x3700, "RST t"),      // RST t

    row(0x3800 + 51, jmp),             // JP nn
    row(0x3800 + 24, jmp_register),    // JP (rr)
    row(0x3800 + 52, jmp_unless_bcc),  // JP C,nn
    row(0x3800 + 53, jmp_unless_bcs),  // JP NC,nn
    row(0x3800 + 54, jmp_unless_bne),  // JP Z,nn
    row(0x3800 + 55, jmp_unless_beq),  // JP NZ,nn
    row(0x3800 + 63, jmp_unless_beq),  // JP PE,nn after a block transfer
    row(0x3800 + 62, jmp_unless_bne),  // JP PO,nn after a block transfer
    row(0x3800 + 65, jmp_unless_bcs),  // JP PE,nn after a block compare
    row(0x3800 + 64, jmp_unless_bcc),  // JP PO,nn after a block compare

    row(0x3900 + 51, bra),  // JR e
    row(0x3900 + 52, bcs),  // JR C,e
    row(0x3900 + 53, bcc),  // JR NC,e
    row(0x3900 + 54, beq),  // JR Z,e
    row(0x3900 + 55, bne),  // JR NZ,e
    row(0x3900 + 59, bhi),  // JR NZ,e + JR NC,e
    row(0x3900 + 60, bls),  // JR Z,e + JR C,e
    row(0x3A00, djnz),      // DJNZ e

    unsupported(0x3B00 + 32, "EX AF,\tAF'"),  // EX AF,AF'
    row(0x3B00 + 34, exchange_words),          // EX DE,HL
    row(0x3B00 + 37, exchange_words),          // EX (SP),HL
    unsupported(0x3C00, "EXX"),                // EXX

    row(0x3D00 + 32, push_af),    // PUSH AF
    row(0x3D00 + 31, push_pair),  // PUSH rr
    row(0x3E00 + 32, pop_af),     // POP AF
    row(0x3E00 + 31, pop_pair),   // POP rr
    row(0x4500 + 21, test_a),     // TST r
    row(0x4500 + 24, test_a),     // TST (HL)
    row(0x4600 + 31, multiply),   // MLT rr

    unsupported(0x6400, "IN  *,(*)"),   // IN r,(n)
    unsupported(0x6500, "OUT (*),*"),   // OUT (n),r
    unsupported(0x6600, "IN0  *,(*)"),  // IN0 r,(n)
    unsupported(0x6700, "OUT0 (*),*"),  // OUT0 (n),r
    unsupported(0x6800, "TSTIO n"),     // TSTIO n

    row(0x5000, ldi),   // LDI
    row(0x5100, ldir),  // LDIR
    row(0x5200, ldd),   // LDD
    row(0x5300, lddr),  // LDDR
    row(0x5400, cpi),   // CPI
    row(0x5500, cpir),  // CPIR
    row(0x5600, cpd),   // CPD
    row(0x5700, cpdr),  // CPDR

    unsupported(0x5800, "INI"),    // INI
    unsupported(0x5900, "INIR"),   // INIR
    unsupported(0x5A00, "IND"),    // IND
    unsupported(0x5B00, "INDR"),   // INDR
    unsupported(0x5C00, "OUTI"),   // OUTI
    unsupported(0x5D00, "OTIR"),   // OTIR
    unsupported(0x5E00, "OUTD"),   // OUTD
    unsupported(0x5F00, "OTDR"),   // OTDR
    unsupported(0x6000, "OTIM"),   // OTIM
    unsupported(0x6100, "OTIMR"),  // OTIMR
    unsupported(0x6200, "OTDM"),   // OTDM
    unsupported(0x6300, "OTDMR"),  // OTDMR

    row(0x3F00, enable_interrupts),   // EI
    row(0x4000, disable_interrupts),  // DI
    unsupported(0x4100, "IM n"),      // IM n
    row(0x4200, nop),                 // NOP
    unsupported(0x4300, "HALT"),      // HALT
    row(0x4400, sleep),               // SLP

    TemplateEntry{},  // end of table
};

}  // namespace

std::span<const TemplateEntry> template_table() { return table; }

TemplateIndex build_template_index() {
    TemplateIndex index;
    std::size_t position = 0;
    while (table[position].key >= 0x100) {
        const unsigned high = table[position].key >> 8;
        std::uint16_t count = 0;
        while (table[position + count].key >> 8 == high) ++count;
        index.push_back({static_cast<std::uint16_t>(high << 8), count});
        position += count;
    }
    index.push_back({0, 0});
    return index;
}

const TemplateEntry& find_template(const TemplateIndex& index, std::uint16_t key) {
    const std::uint16_t code = key & 0xFF00;
    std::size_t position = 0;
    for (const TemplateRun& run : index) {
        if (run.code == 0) break;
        if (run.code == code) {
            for (std::size_t i = position; i < position + run.count; ++i) {
                if (table[i].key == key) return table[i];
            }
        }
        position += run.count;
    }
    return table.back();
}
