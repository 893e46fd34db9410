#include "translating/templates.h"

#include <array>

#include "reading/vocabulary.h"

// The template table. Each step sequence is defined once below and named after what it does;
// the rows further down refer to the sequences by name. Each row is keyed by instruction code and
// operand form, and carries the HD64180 shape it translates.

namespace {

// One step or one row a line, as the translation table reads:
// clang-format off
// Data transfer.
constexpr TemplateStep mov_b_imm_reg1[] = {{"MOV.B", "{imm}", "{reg1}"}};
constexpr TemplateStep mov_b_reg2_reg1[] = {{"MOV.B", "{reg2}", "{reg1}"}};
constexpr TemplateStep mov_b_mem_reg1[] = {{"MOV.B", "{mem}", "{reg1}"}};
constexpr TemplateStep mov_b_reg2_mem[] = {{"MOV.B", "{reg2}", "{mem}"}};
constexpr TemplateStep store_imm_reg1[] = {
    {"MOV.B", "{imm}", "R6L"},
    {"MOV.B", "R6L", "{reg1}"},
};
constexpr TemplateStep store_imm_mem[] = {
    {"MOV.B", "{imm}", "R6L"},
    {"MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep mov_w_imm_reg1[] = {{"MOV.W", "{imm}", "{reg1}"}};
constexpr TemplateStep mov_w_reg2_reg1[] = {{"MOV.W", "{reg2}", "{reg1}"}};
constexpr TemplateStep mov_w_mem_reg1[] = {{"MOV.W", "{mem}", "{reg1}"}};
constexpr TemplateStep mov_w_reg2_mem[] = {{"MOV.W", "{reg2}", "{mem}"}};
// Words in data memory low byte first, as the HD64180 keeps them (--little-endian).
constexpr TemplateStep load_pair_low_first[] = {
    {"MOV.B", "{mem}", "{reg1L}"},
    {"MOV.B", "{mem+1}", "{reg1H}"},
};
constexpr TemplateStep store_pair_low_first[] = {
    {"MOV.B", "{reg2L}", "{mem}"},
    {"MOV.B", "{reg2H}", "{mem+1}"},
};
constexpr TemplateStep load_sp_low_first[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"MOV.B", "{mem+1}", "R6H"},
    {"MOV.W", "R6", "SP"},
};
constexpr TemplateStep store_sp_low_first[] = {
    {"MOV.W", "SP", "R6"},
    {"MOV.B", "R6L", "{mem}"},
    {"MOV.B", "R6H", "{mem+1}"},
};

// Addition and subtraction. ORC #H'04,CCR sets Z so that ADDX/SUBX leave Z as a whole-result test.
constexpr TemplateStep add_b_imm[] = {{"ADD.B", "{imm}", "{reg1}"}};
constexpr TemplateStep add_b_reg[] = {{"ADD.B", "{reg2}", "{reg1}"}};
constexpr TemplateStep add_b_indirect[] = {
    {"MOV.B", "{reg2}", "R6L"},
    {"ADD.B", "R6L", "{reg1}"},
};
constexpr TemplateStep add_b_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"ADD.B", "R6L", "{reg1}"},
};
constexpr TemplateStep add_w_reg[] = {{"ADD.W", "{reg2}", "{reg1}"}};

constexpr TemplateStep adc_imm[] = {
    {"ORC", "#H'04", "CCR"},
    {"ADDX", "{imm}", "{reg1}"},
};
constexpr TemplateStep adc_reg[] = {
    {"ORC", "#H'04", "CCR"},
    {"ADDX", "{reg2}", "{reg1}"},
};
constexpr TemplateStep adc_indirect[] = {
    {"MOV.B", "{reg2}", "R6L"},
    {"ORC", "#H'04", "CCR"},
    {"ADDX", "R6L", "{reg1}"},
};
constexpr TemplateStep adc_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"ORC", "#H'04", "CCR"},
    {"ADDX", "R6L", "{reg1}"},
};
constexpr TemplateStep adc_pair[] = {
    {"ORC", "#H'04", "CCR"},
    {"ADDX", "{reg2L}", "{reg1L}"},
    {"ADDX", "{reg2H}", "{reg1H}"},
};

constexpr TemplateStep sub_b_reg[] = {{"SUB.B", "{reg1}", "R0H"}};
constexpr TemplateStep sub_b_imm[] = {
    {"MOV.B", "{imm}", "R6L"},
    {"SUB.B", "R6L", "R0H"},
};
constexpr TemplateStep sub_b_indirect[] = {
    {"MOV.B", "{reg1}", "R6L"},
    {"SUB.B", "R6L", "R0H"},
};
constexpr TemplateStep sub_b_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"SUB.B", "R6L", "R0H"},
};
constexpr TemplateStep sub_w_reg[] = {{"SUB.W", "{reg2}", "{reg1}"}};

constexpr TemplateStep sbc_imm[] = {
    {"ORC", "#H'04", "CCR"},
    {"SUBX", "{imm}", "{reg1}"},
};
constexpr TemplateStep sbc_reg[] = {
    {"ORC", "#H'04", "CCR"},
    {"SUBX", "{reg2}", "{reg1}"},
};
constexpr TemplateStep sbc_indirect[] = {
    {"MOV.B", "{reg2}", "R6L"},
    {"ORC", "#H'04", "CCR"},
    {"SUBX", "R6L", "{reg1}"},
};
constexpr TemplateStep sbc_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"ORC", "#H'04", "CCR"},
    {"SUBX", "R6L", "{reg1}"},
};
constexpr TemplateStep sbc_pair[] = {
    {"ORC", "#H'04", "CCR"},
    {"SUBX", "{reg2L}", "{reg1L}"},
    {"SUBX", "{reg2H}", "{reg1H}"},
};

// AND, OR, XOR and CP: the dispatcher fills {logic} with the H8/300 mnemonic.
constexpr TemplateStep logic_imm[] = {{"{logic}", "{imm}", "R0H"}};
constexpr TemplateStep logic_reg[] = {{"{logic}", "{reg1}", "R0H"}};
constexpr TemplateStep logic_indirect[] = {
    {"MOV.B", "{reg1}", "R6L"},
    {"{logic}", "R6L", "R0H"},
};
constexpr TemplateStep logic_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"{logic}", "R6L", "R0H"},
};

// Increment and decrement.
constexpr TemplateStep inc_reg[] = {{"INC", "{reg1}", ""}};
constexpr TemplateStep inc_indirect[] = {
    {"MOV.B", "{reg1}", "R6L"},
    {"INC", "R6L", ""},
    {"MOV.B", "R6L", "{reg1}"},
};
constexpr TemplateStep inc_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"INC", "R6L", ""},
    {"MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep inc_pair[] = {{"ADDS", "#1", "{reg1}"}};
constexpr TemplateStep inc_pair_twice[] = {{"ADDS", "#2", "{reg1}"}};

constexpr TemplateStep dec_reg[] = {{"DEC", "{reg1}", ""}};
constexpr TemplateStep dec_indirect[] = {
    {"MOV.B", "{reg1}", "R6L"},
    {"DEC", "R6L", ""},
    {"MOV.B", "R6L", "{reg1}"},
};
constexpr TemplateStep dec_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"DEC", "R6L", ""},
    {"MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep dec_pair[] = {{"SUBS", "#1", "{reg1}"}};
constexpr TemplateStep dec_pair_twice[] = {{"SUBS", "#2", "{reg1}"}};

// Rotates and shifts.
constexpr TemplateStep rotl[] = {{"ROTL", "{reg1}", ""}};
constexpr TemplateStep rotr[] = {{"ROTR", "{reg1}", ""}};
constexpr TemplateStep rotxl[] = {{"ROTXL", "{reg1}", ""}};
constexpr TemplateStep rotxr[] = {{"ROTXR", "{reg1}", ""}};
constexpr TemplateStep shal[] = {{"SHAL", "{reg1}", ""}};
constexpr TemplateStep shar[] = {{"SHAR", "{reg1}", ""}};
constexpr TemplateStep shlr[] = {{"SHLR", "{reg1}", ""}};

// Accumulator, flags and processor control.
constexpr TemplateStep complement_carry[] = {{"XORC", "#H'01", "CCR"}};
constexpr TemplateStep set_carry[] = {{"ORC", "#H'01", "CCR"}};
constexpr TemplateStep clear_carry[] = {{"ANDC", "#H'FE", "CCR"}};
constexpr TemplateStep not_a[] = {{"NOT", "R0H", ""}};
constexpr TemplateStep neg_a[] = {{"NEG", "R0H", ""}};
constexpr TemplateStep daa_a[] = {{"DAA", "R0H", ""}};
constexpr TemplateStep das_a[] = {{"DAS", "R0H", ""}};
constexpr TemplateStep enable_interrupts[] = {{"ANDC", "#H'7F", "CCR"}};
constexpr TemplateStep disable_interrupts[] = {{"ORC", "#H'80", "CCR"}};
constexpr TemplateStep nop[] = {{"NOP", "", ""}};
constexpr TemplateStep sleep[] = {{"SLEEP", "", ""}};

// Bit instructions: a register or (HL) directly, an indexed byte through R6L.
constexpr TemplateStep bset_reg[] = {{"BSET", "{bit}", "{reg1}"}};
constexpr TemplateStep bclr_reg[] = {{"BCLR", "{bit}", "{reg1}"}};
constexpr TemplateStep btst_reg[] = {{"BTST", "{bit}", "{reg1}"}};
constexpr TemplateStep bset_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"BSET", "{bit}", "R6L"},
    {"MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep bclr_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"BCLR", "{bit}", "R6L"},
    {"MOV.B", "R6L", "{mem}"},
};
constexpr TemplateStep btst_indexed[] = {
    {"MOV.B", "{mem}", "R6L"},
    {"BTST", "{bit}", "R6L"},
};

// Calls, returns and jumps. A conditional call or jump skips the 4-byte JSR/JMP on the opposite
// condition, a conditional return skips the 2-byte RTS.
constexpr TemplateStep jsr[] = {{"JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bcc[] = {{"BCC", "$+6", ""}, {"JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bcs[] = {{"BCS", "$+6", ""}, {"JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bne[] = {{"BNE", "$+6", ""}, {"JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_beq[] = {{"BEQ", "$+6", ""}, {"JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bmi[] = {{"BMI", "$+6", ""}, {"JSR", "{target}", ""}};
constexpr TemplateStep jsr_unless_bpl[] = {{"BPL", "$+6", ""}, {"JSR", "{target}", ""}};

constexpr TemplateStep jmp[] = {{"JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bcc[] = {{"BCC", "$+6", ""}, {"JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bcs[] = {{"BCS", "$+6", ""}, {"JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bne[] = {{"BNE", "$+6", ""}, {"JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_beq[] = {{"BEQ", "$+6", ""}, {"JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bmi[] = {{"BMI", "$+6", ""}, {"JMP", "{target}", ""}};
constexpr TemplateStep jmp_unless_bpl[] = {{"BPL", "$+6", ""}, {"JMP", "{target}", ""}};
constexpr TemplateStep jmp_register[] = {{"JMP", "{reg1}", ""}};

constexpr TemplateStep rts[] = {{"RTS", "", ""}};
constexpr TemplateStep rts_unless_bcc[] = {{"BCC", "$+4", ""}, {"RTS", "", ""}};
constexpr TemplateStep rts_unless_bcs[] = {{"BCS", "$+4", ""}, {"RTS", "", ""}};
constexpr TemplateStep rts_unless_bne[] = {{"BNE", "$+4", ""}, {"RTS", "", ""}};
constexpr TemplateStep rts_unless_beq[] = {{"BEQ", "$+4", ""}, {"RTS", "", ""}};
constexpr TemplateStep rts_unless_bmi[] = {{"BMI", "$+4", ""}, {"RTS", "", ""}};
constexpr TemplateStep rts_unless_bpl[] = {{"BPL", "$+4", ""}, {"RTS", "", ""}};
constexpr TemplateStep rte[] = {{"RTE", "", ""}};

constexpr TemplateStep bra[] = {{"BRA", "{target}", ""}};
constexpr TemplateStep bcs[] = {{"BCS", "{target}", ""}};
constexpr TemplateStep bcc[] = {{"BCC", "{target}", ""}};
constexpr TemplateStep beq[] = {{"BEQ", "{target}", ""}};
constexpr TemplateStep bne[] = {{"BNE", "{target}", ""}};
constexpr TemplateStep bhi[] = {{"BHI", "{target}", ""}};
constexpr TemplateStep bls[] = {{"BLS", "{target}", ""}};

constexpr TemplateStep djnz[] = {{"DEC", "R1H", ""}, {"BNE", "{target}", ""}};

// Exchange, stack, TST and MLT.
constexpr TemplateStep exchange_words[] = {
    {"MOV.W", "{reg2}", "R6"},
    {"MOV.W", "{reg1}", "{reg2}"},
    {"MOV.W", "R6", "{reg1}"},
};
constexpr TemplateStep push_af[] = {{"STC", "CCR", "R0L"}, {"PUSH", "R0", ""}};
constexpr TemplateStep push_pair[] = {{"PUSH", "{reg1}", ""}};
constexpr TemplateStep pop_af[] = {{"POP", "R0", ""}, {"LDC", "R0L", "CCR"}};
constexpr TemplateStep pop_pair[] = {{"POP", "{reg1}", ""}};
constexpr TemplateStep test_a[] = {{"MOV.B", "{reg1}", "R6L"}, {"AND", "R0H", "R6L"}};
constexpr TemplateStep multiply[] = {{"MULXU", "{reg1H}", "{reg1}"}};

// Block transfer: BC is R1, DE R2, HL R3. The loops branch back to the first line; every line is
// two bytes long. After a transfer Z tells whether BC has reached 0.
constexpr TemplateStep ldi[] = {
    {"MOV.B", "@R3+", "R6L"},
    {"MOV.B", "R6L", "@R2"},
    {"ADDS", "#1", "R2"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
};
constexpr TemplateStep ldir[] = {
    {"MOV.B", "@R3+", "R6L"},
    {"MOV.B", "R6L", "@R2"},
    {"ADDS", "#1", "R2"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
    {"BNE", "$-10", ""},
};
constexpr TemplateStep ldd[] = {
    {"MOV.B", "@R3", "R6L"},
    {"MOV.B", "R6L", "@R2"},
    {"SUBS", "#1", "R3"},
    {"SUBS", "#1", "R2"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
};
constexpr TemplateStep lddr[] = {
    {"MOV.B", "@R3", "R6L"},
    {"MOV.B", "R6L", "@R2"},
    {"SUBS", "#1", "R3"},
    {"SUBS", "#1", "R2"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
    {"BNE", "$-12", ""},
};

// Block compare: Z is the result of the byte compare, C is set when BC has reached 0.
constexpr TemplateStep cpi[] = {
    {"MOV.B", "@R3+", "R6L"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
    {"BEQ", "$+8", ""},
    {"CMP.B", "R6L", "R0H"},
    {"ANDC", "#H'FE", "CCR"},
    {"BRA", "$+6", ""},
    {"CMP.B", "R6L", "R0H"},
    {"ORC", "#H'01", "CCR"},
};
constexpr TemplateStep cpir[] = {
    {"MOV.B", "@R3+", "R6L"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
    {"BEQ", "$+10", ""},
    {"CMP.B", "R6L", "R0H"},
    {"BNE", "$-10", ""},
    {"ANDC", "#H'FE", "CCR"},
    {"BRA", "$+6", ""},
    {"CMP.B", "R6L", "R0H"},
    {"ORC", "#H'01", "CCR"},
};
constexpr TemplateStep cpd[] = {
    {"MOV.B", "@R3", "R6L"},
    {"SUBS", "#1", "R3"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
    {"BEQ", "$+8", ""},
    {"CMP.B", "R6L", "R0H"},
    {"ANDC", "#H'FE", "CCR"},
    {"BRA", "$+6", ""},
    {"CMP.B", "R6L", "R0H"},
    {"ORC", "#H'01", "CCR"},
};
constexpr TemplateStep cpdr[] = {
    {"MOV.B", "@R3", "R6L"},
    {"SUBS", "#1", "R3"},
    {"SUBS", "#1", "R1"},
    {"MOV.W", "R1", "R1"},
    {"BEQ", "$+10", ""},
    {"CMP.B", "R6L", "R0H"},
    {"BNE", "$-12", ""},
    {"ANDC", "#H'FE", "CCR"},
    {"BRA", "$+6", ""},
    {"CMP.B", "R6L", "R0H"},
    {"ORC", "#H'01", "CCR"},
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
    row(key(kw::LD, Form::reg_imm), mov_b_imm_reg1),    // LD r,n
    row(key(kw::LD, Form::reg_reg), mov_b_reg2_reg1),   // LD r,r
    row(key(kw::LD, Form::reg_indirect), mov_b_reg2_reg1),   // LD r,(rr)
    row(key(kw::LD, Form::reg_indexed), mov_b_mem_reg1),    // LD r,(IX+d)
    row(key(kw::LD, Form::reg_mem), mov_b_mem_reg1),    // LD r,(nn)
    row(key(kw::LD, Form::indirect_reg), mov_b_reg2_reg1),   // LD (rr),r
    row(key(kw::LD, Form::indexed_reg), mov_b_reg2_mem),   // LD (IX+d),r
    row(key(kw::LD, Form::mem_reg), mov_b_reg2_mem),    // LD (nn),r
    row(key(kw::LD, Form::indirect_imm), store_imm_reg1),   // LD (rr),n
    row(key(kw::LD, Form::indexed_imm), store_imm_mem),    // LD (IX+d),n
    row(key(kw::LD, Form::reg_postinc), mov_b_reg2_reg1),   // LD r,(rr) + INC rr
    row(key(kw::LD, Form::predec_reg), mov_b_reg2_reg1),   // DEC rr + LD (rr),r
    row(key(kw::LD, Form::pair_imm), mov_w_imm_reg1),   // LD rr,nn
    row(key(kw::LD, Form::pair_pair), mov_w_reg2_reg1),  // LD rr,rr; PUSH rr + POP qq
    row(key(kw::LD, Form::pair_mem), mov_w_mem_reg1),   // LD rr,(nn)
    row(key(kw::LD, Form::mem_pair), mov_w_reg2_mem),   // LD (nn),rr
    row(key(kw::LD, Form::pair_mem_le), load_pair_low_first),   // LD rr,(nn), words low byte first
    row(key(kw::LD, Form::mem_pair_le), store_pair_low_first),  // LD (nn),rr, words low byte first
    row(key(kw::LD, Form::sp_mem_le), load_sp_low_first),       // LD SP,(nn), words low byte first
    row(key(kw::LD, Form::mem_sp_le), store_sp_low_first),      // LD (nn),SP, words low byte first

    row(key(kw::ADD, Form::reg_imm), add_b_imm),       // ADD A,n
    row(key(kw::ADD, Form::reg_reg), add_b_reg),       // ADD A,r
    row(key(kw::ADD, Form::reg_indirect), add_b_indirect),  // ADD A,(rr)
    row(key(kw::ADD, Form::reg_indexed), add_b_indexed),   // ADD A,(IX+d)
    row(key(kw::ADD, Form::pair_pair), add_w_reg),      // ADD HL,rr

    row(key(kw::ADC, Form::reg_imm), adc_imm),       // ADC A,n
    row(key(kw::ADC, Form::reg_reg), adc_reg),       // ADC A,r
    row(key(kw::ADC, Form::reg_indirect), adc_indirect),  // ADC A,(rr)
    row(key(kw::ADC, Form::reg_indexed), adc_indexed),   // ADC A,(IX+d)
    row(key(kw::ADC, Form::pair_pair), adc_pair),     // ADC HL,rr

    row(key(kw::SUB, Form::imm), sub_b_imm),       // SUB n
    row(key(kw::SUB, Form::reg), sub_b_reg),       // SUB r
    row(key(kw::SUB, Form::indirect), sub_b_indirect),  // SUB (rr)
    row(key(kw::SUB, Form::indexed), sub_b_indexed),   // SUB (IX+d)
    row(key(kw::SUB, Form::pair_pair), sub_w_reg),       // SBC HL,rr with the carry known clear

    row(key(kw::SBC, Form::reg_imm), sbc_imm),       // SBC A,n
    row(key(kw::SBC, Form::reg_reg), sbc_reg),       // SBC A,r
    row(key(kw::SBC, Form::reg_indirect), sbc_indirect),  // SBC A,(rr)
    row(key(kw::SBC, Form::reg_indexed), sbc_indexed),   // SBC A,(IX+d)
    row(key(kw::SBC, Form::pair_pair), sbc_pair),     // SBC HL,rr

    row(key(kw::LOGIC, Form::imm), logic_imm),       // AND/OR/XOR/CP n
    row(key(kw::LOGIC, Form::reg), logic_reg),       // AND/OR/XOR/CP r
    row(key(kw::LOGIC, Form::indirect), logic_indirect),  // AND/OR/XOR/CP (rr)
    row(key(kw::LOGIC, Form::indexed), logic_indexed),   // AND/OR/XOR/CP (IX+d)

    row(key(kw::INC, Form::reg), inc_reg),         // INC r
    row(key(kw::INC, Form::indirect), inc_indirect),    // INC (rr)
    row(key(kw::INC, Form::indexed), inc_indexed),     // INC (IX+d)
    row(key(kw::INC, Form::pair), inc_pair),        // INC rr
    row(key(kw::INC, Form::pair_twice), inc_pair_twice),  // INC rr + INC rr

    row(key(kw::DEC, Form::reg), dec_reg),         // DEC r
    row(key(kw::DEC, Form::indirect), dec_indirect),    // DEC (rr)
    row(key(kw::DEC, Form::indexed), dec_indexed),     // DEC (IX+d)
    row(key(kw::DEC, Form::pair), dec_pair),        // DEC rr
    row(key(kw::DEC, Form::pair_twice), dec_pair_twice),  // DEC rr + DEC rr

    row(key(kw::RLCA, Form::reg), rotl),          // RLCA
    row(key(kw::RRCA, Form::reg), rotr),          // RRCA
    row(key(kw::RLA, Form::reg), rotxl),         // RLA
    row(key(kw::RRA, Form::reg), rotxr),         // RRA
    row(key(kw::RLC, Form::reg), rotl),          // RLC r
    row(key(kw::RRC, Form::reg), rotr),          // RRC r
    row(key(kw::RL, Form::reg), rotxl),         // RL r
    row(key(kw::RR, Form::reg), rotxr),         // RR r
    row(key(kw::SLA, Form::reg), shal),          // SLA r
    row(key(kw::SRA, Form::reg), shar),          // SRA r
    row(key(kw::SRL, Form::reg), shlr),          // SRL r
    unsupported(key(kw::RLD, Form::reg), "RLD"),  // RLD
    unsupported(key(kw::RRD, Form::reg), "RRD"),  // RRD

    row(key(kw::CCF, Form::none), complement_carry),  // CCF
    row(key(kw::SCF, Form::none), set_carry),         // SCF
    row(key(kw::SCF_CCF, Form::none), clear_carry),       // SCF + CCF
    row(key(kw::CPL, Form::none), not_a),             // CPL
    row(key(kw::NEG, Form::none), neg_a),             // NEG
    row(key(kw::DAA, Form::none), daa_a),             // DAA
    row(key(kw::DAA, Form::after_subtraction), das_a),  // DAA after a subtraction

    row(key(kw::SET, Form::bit_reg), bset_reg),      // SET b,r
    row(key(kw::SET, Form::bit_indirect), bset_reg),      // SET b,(rr)
    row(key(kw::SET, Form::bit_indexed), bset_indexed),  // SET b,(IX+d)
    row(key(kw::RES, Form::bit_reg), bclr_reg),      // RES b,r
    row(key(kw::RES, Form::bit_indirect), bclr_reg),      // RES b,(rr)
    row(key(kw::RES, Form::bit_indexed), bclr_indexed),  // RES b,(IX+d)
    row(key(kw::BIT, Form::bit_reg), btst_reg),      // BIT b,r
    row(key(kw::BIT, Form::bit_indirect), btst_reg),      // BIT b,(rr)
    row(key(kw::BIT, Form::bit_indexed), btst_indexed),  // BIT b,(IX+d)

    row(key(kw::CALL, Form::always), jsr),             // CALL nn
    row(key(kw::CALL, Form::cond_c), jsr_unless_bcc),  // CALL C,nn
    row(key(kw::CALL, Form::cond_nc), jsr_unless_bcs),  // CALL NC,nn
    row(key(kw::CALL, Form::cond_z), jsr_unless_bne),  // CALL Z,nn
    row(key(kw::CALL, Form::cond_nz), jsr_unless_beq),  // CALL NZ,nn
    row(key(kw::CALL, Form::pe_after_transfer), jsr_unless_beq),  // CALL PE,nn after a block transfer
    row(key(kw::CALL, Form::po_after_transfer), jsr_unless_bne),  // CALL PO,nn after a block transfer
    row(key(kw::CALL, Form::pe_after_compare), jsr_unless_bcs),  // CALL PE,nn after a block compare
    row(key(kw::CALL, Form::po_after_compare), jsr_unless_bcc),  // CALL PO,nn after a block compare
    row(key(kw::CALL, Form::cond_p), jsr_unless_bmi),  // CALL P,nn
    row(key(kw::CALL, Form::cond_m), jsr_unless_bpl),  // CALL M,nn

    row(key(kw::RET, Form::always), rts),             // RET
    row(key(kw::RET, Form::cond_c), rts_unless_bcc),  // RET C
    row(key(kw::RET, Form::cond_nc), rts_unless_bcs),  // RET NC
    row(key(kw::RET, Form::cond_z), rts_unless_bne),  // RET Z
    row(key(kw::RET, Form::cond_nz), rts_unless_beq),  // RET NZ
    row(key(kw::RET, Form::cond_p), rts_unless_bmi),  // RET P
    row(key(kw::RET, Form::cond_m), rts_unless_bpl),  // RET M
    row(key(kw::RETI, Form::none), rte),                  // RETI
    row(key(kw::RETN, Form::none), rte),                  // RETN
    unsupported(key(kw::RST, Form::none), "RST t"),      // RST t

    row(key(kw::JP, Form::always), jmp),             // JP nn
    row(key(kw::JP, Form::indirect), jmp_register),    // JP (rr)
    row(key(kw::JP, Form::cond_c), jmp_unless_bcc),  // JP C,nn
    row(key(kw::JP, Form::cond_nc), jmp_unless_bcs),  // JP NC,nn
    row(key(kw::JP, Form::cond_z), jmp_unless_bne),  // JP Z,nn
    row(key(kw::JP, Form::cond_nz), jmp_unless_beq),  // JP NZ,nn
    row(key(kw::JP, Form::pe_after_transfer), jmp_unless_beq),  // JP PE,nn after a block transfer
    row(key(kw::JP, Form::po_after_transfer), jmp_unless_bne),  // JP PO,nn after a block transfer
    row(key(kw::JP, Form::pe_after_compare), jmp_unless_bcs),  // JP PE,nn after a block compare
    row(key(kw::JP, Form::po_after_compare), jmp_unless_bcc),  // JP PO,nn after a block compare
    row(key(kw::JP, Form::cond_p), jmp_unless_bmi),  // JP P,nn
    row(key(kw::JP, Form::cond_m), jmp_unless_bpl),  // JP M,nn

    row(key(kw::JR, Form::always), bra),  // JR e
    row(key(kw::JR, Form::cond_c), bcs),  // JR C,e
    row(key(kw::JR, Form::cond_nc), bcc),  // JR NC,e
    row(key(kw::JR, Form::cond_z), beq),  // JR Z,e
    row(key(kw::JR, Form::cond_nz), bne),  // JR NZ,e
    row(key(kw::JR, Form::nz_and_nc), bhi),  // JR NZ,e + JR NC,e
    row(key(kw::JR, Form::z_or_c), bls),  // JR Z,e + JR C,e
    row(key(kw::DJNZ, Form::none), djnz),      // DJNZ e

    unsupported(key(kw::EX, Form::af), "EX AF,\tAF'"),  // EX AF,AF'
    row(key(kw::EX, Form::pair_pair), exchange_words),          // EX DE,HL
    row(key(kw::EX, Form::indirect_pair), exchange_words),          // EX (SP),HL
    unsupported(key(kw::EXX, Form::none), "EXX"),                // EXX

    row(key(kw::PUSH, Form::af), push_af),    // PUSH AF
    row(key(kw::PUSH, Form::pair), push_pair),  // PUSH rr
    row(key(kw::POP, Form::af), pop_af),     // POP AF
    row(key(kw::POP, Form::pair), pop_pair),   // POP rr
    row(key(kw::TST, Form::reg), test_a),     // TST r
    row(key(kw::TST, Form::indirect), test_a),     // TST (HL)
    row(key(kw::MLT, Form::pair), multiply),   // MLT rr

    unsupported(key(kw::IN, Form::none), "IN  *,(*)"),   // IN r,(n)
    unsupported(key(kw::OUT, Form::none), "OUT (*),*"),   // OUT (n),r
    unsupported(key(kw::IN0, Form::none), "IN0  *,(*)"),  // IN0 r,(n)
    unsupported(key(kw::OUT0, Form::none), "OUT0 (*),*"),  // OUT0 (n),r
    unsupported(key(kw::TSTIO, Form::none), "TSTIO n"),     // TSTIO n

    row(key(kw::LDI, Form::none), ldi),   // LDI
    row(key(kw::LDIR, Form::none), ldir),  // LDIR
    row(key(kw::LDD, Form::none), ldd),   // LDD
    row(key(kw::LDDR, Form::none), lddr),  // LDDR
    row(key(kw::CPI, Form::none), cpi),   // CPI
    row(key(kw::CPIR, Form::none), cpir),  // CPIR
    row(key(kw::CPD, Form::none), cpd),   // CPD
    row(key(kw::CPDR, Form::none), cpdr),  // CPDR

    unsupported(key(kw::INI, Form::none), "INI"),    // INI
    unsupported(key(kw::INIR, Form::none), "INIR"),   // INIR
    unsupported(key(kw::IND, Form::none), "IND"),    // IND
    unsupported(key(kw::INDR, Form::none), "INDR"),   // INDR
    unsupported(key(kw::OUTI, Form::none), "OUTI"),   // OUTI
    unsupported(key(kw::OTIR, Form::none), "OTIR"),   // OTIR
    unsupported(key(kw::OUTD, Form::none), "OUTD"),   // OUTD
    unsupported(key(kw::OTDR, Form::none), "OTDR"),   // OTDR
    unsupported(key(kw::OTIM, Form::none), "OTIM"),   // OTIM
    unsupported(key(kw::OTIMR, Form::none), "OTIMR"),  // OTIMR
    unsupported(key(kw::OTDM, Form::none), "OTDM"),   // OTDM
    unsupported(key(kw::OTDMR, Form::none), "OTDMR"),  // OTDMR

    row(key(kw::EI, Form::none), enable_interrupts),   // EI
    row(key(kw::DI, Form::none), disable_interrupts),  // DI
    unsupported(key(kw::IM, Form::none), "IM n"),      // IM n
    row(key(kw::NOP, Form::none), nop),                 // NOP
    unsupported(key(kw::HALT, Form::none), "HALT"),      // HALT
    row(key(kw::SLP, Form::none), sleep),               // SLP

    TemplateEntry{},  // end of table
};

// clang-format on

}  // namespace

std::span<const TemplateEntry> template_table() { return table; }

namespace {

// By the whole key: the table position plus one, 0 for a key without an entry; the first entry of
// a key wins. Made when the program is compiled, so that it lies in the program file: a run maps
// only the pages its keys fall on, instead of filling 128 KB of fresh memory, page by page, on
// every start.
constexpr std::array<std::uint16_t, std::size_t{1} << 16> positions_by_key = [] {
    std::array<std::uint16_t, std::size_t{1} << 16> positions{};
    for (std::size_t i = table.size() - 1; i-- > 0;) positions[table[i].key] = static_cast<std::uint16_t>(i + 1);
    return positions;
}();

// Every template line asks for three texts: kept where the compiler can inline it.
inline std::string_view slot_text(const OperandSlots& slots, Slot slot, std::string_view text) {
    if (slot == Slot::fixed) return text;  // most texts: without the jump through the cases
    switch (slot) {
        case Slot::fixed: return text;
        case Slot::reg1: return slots.reg1;
        case Slot::reg2: return slots.reg2;
        case Slot::imm: return slots.imm;
        case Slot::mem: return slots.mem;
        case Slot::mem_next: return slots.mem_next;
        case Slot::bit: return slots.bit;
        case Slot::target: return slots.target;
        case Slot::logic: return slots.logic;
        case Slot::reg1H: return slots.reg1H;
        case Slot::reg1L: return slots.reg1L;
        case Slot::reg2H: return slots.reg2H;
        case Slot::reg2L: return slots.reg2L;
    }
    return text;
}

}  // namespace

std::string_view resolve_slot(const OperandSlots& slots, Slot slot, std::string_view text) {
    return slot_text(slots, slot, text);
}

std::string_view resolve_slot(const OperandSlots& slots, std::string_view text) {
    return resolve_slot(slots, slot_of(text), text);
}

namespace {

std::uint16_t hex_value(std::string_view digits) {
    std::uint16_t value = 0;
    for (char ch : digits) {
        const int digit = ch <= '9' ? ch - '0' : ch - 'A' + 10;
        value = static_cast<std::uint16_t>(value * 16 + digit);
    }
    return value;
}

}  // namespace

std::uint16_t instruction_size(std::string_view mnemonic, std::string_view operand1, std::string_view operand2) {
    if (mnemonic == "MOV.W" && operand1.starts_with('#')) return 4;
    return is_long_operand(mnemonic, operand1) || is_long_operand(mnemonic, operand2) ? 4 : 2;
}

namespace {

// instruction_size() of a step's line: what its fixed texts tell is known from the table, only
// the texts its slots bring are looked at.
[[gnu::always_inline]] inline std::uint16_t step_size(const TemplateStep& step, std::string_view mnemonic,
                                                      std::string_view operand1, std::string_view operand2) {
    if (step.mnemonic_slot != Slot::fixed) return instruction_size(mnemonic, operand1, operand2);
    if (step.long_fixed) return 4;
    if (step.slot1 != Slot::fixed) {
        if (step.word_move && operand1.starts_with('#')) return 4;
        if (operand1.starts_with('@') && (step.bit_operation || !is_register_operand(operand1))) return 4;
    }
    if (step.slot2 != Slot::fixed && operand2.starts_with('@') &&
        (step.bit_operation || !is_register_operand(operand2))) {
        return 4;
    }
    return 2;
}

}  // namespace

OperandPieces resolve_slot_pieces(const OperandSlots& slots, Slot slot, std::string_view text) {
    switch (slot) {
        case Slot::imm: return slots.imm_pieces;
        case Slot::mem: return slots.mem_pieces;
        case Slot::bit: return slots.bit_pieces;
        case Slot::target: return slots.target_pieces;
        case Slot::mem_next: {
            OperandPieces next = slots.mem_pieces;
            next.pieces.push_back({PieceKind::binary, "+", 0});
            next.pieces.push_back({PieceKind::number, "1", 1});
            return next;
        }
        default: break;
    }
    const std::string_view resolved = resolve_slot(slots, slot, text);
    OperandPieces result;
    if (resolved.empty()) return result;
    // The fixed texts of the table: #H'04 and the like, and the relative targets $+6, $-10.
    if (resolved.starts_with("#H'")) {
        result.pieces.push_back({PieceKind::text, "#", 0});
        result.pieces.push_back({PieceKind::number, std::string(resolved.substr(1)), hex_value(resolved.substr(3))});
    } else if (resolved.size() > 2 && resolved.front() == '$') {
        result.pieces.push_back({PieceKind::location, "$", 0});
        result.pieces.push_back({PieceKind::binary, std::string(1, resolved[1]), 0});
        result.pieces.push_back({PieceKind::text, std::string(resolved.substr(2)), 0});
    } else {
        result.pieces.push_back({PieceKind::text, std::string(resolved), 0});
    }
    return result;
}

namespace {

// Whether a step's line is a short branch, which the layout measures.
inline bool is_short_branch_step(const TemplateStep& step, std::string_view mnemonic) {
    return step.mnemonic_slot == Slot::fixed ? step.short_branch
                                             : step.slot1 == Slot::target && is_short_branch(mnemonic);
}

// The name a short branch goes to, when its target is one name: such a branch can be measured
// against the name's place in the file.
inline std::string_view branch_name(const OperandSlots& slots) {
    const OperandPieces& target = slots.target_pieces;
    if (target.pieces.size() != 1 || target.pieces.front().kind != PieceKind::name) return {};
    return target.pieces.front().text;
}

}  // namespace

StepLine step_line(const TemplateStep& step, const OperandSlots& slots, std::string_view label) {
    StepLine line;
    line.label = label;
    line.mnemonic = slot_text(slots, step.mnemonic_slot, step.mnemonic);
    line.operand1 = slot_text(slots, step.slot1, step.operand1);
    line.operand2 = slot_text(slots, step.slot2, step.operand2);
    line.size = step_size(step, line.mnemonic, line.operand1, line.operand2);
    line.short_branch = is_short_branch_step(step, line.mnemonic);
    if (line.short_branch) line.branch_target = branch_name(slots);
    line.in_strings = step.in_strings;
    return line;
}

// The steps are read as step_line reads them, the texts straight into the new line: a StepLine in
// between had to be kept in memory across the line's making, which cost the GNU syntax 2 % of its
// instructions.
void fill_template(std::span<const TemplateStep> steps, const OperandSlots& slots, std::string_view label,
                   Translation& out) {
    std::string_view line_label = label;
    for (const TemplateStep& step : steps) {
        const std::string_view mnemonic = slot_text(slots, step.mnemonic_slot, step.mnemonic);
        const std::string_view operand1 = slot_text(slots, step.slot1, step.operand1);
        const std::string_view operand2 = slot_text(slots, step.slot2, step.operand2);
        OutputLine& line = out.emplace_back(line_label, mnemonic, operand1, operand2);
        line_label = {};
        if (slots.with_pieces) {
            line.pieces1 = resolve_slot_pieces(slots, step.slot1, step.operand1);
            line.pieces2 = resolve_slot_pieces(slots, step.slot2, step.operand2);
        }
        line.size = step_size(step, mnemonic, operand1, operand2);
        line.even = true;
        if (!is_short_branch_step(step, mnemonic)) continue;
        line.branch_target = branch_name(slots);
        line.long_branch = slots.target_fixed;
    }
}

Translation fill_template(std::span<const TemplateStep> steps, const OperandSlots& slots, std::string_view label) {
    Translation lines;
    fill_template(steps, slots, label, lines);
    return lines;
}

TemplateIndex build_template_index() {
    TemplateIndex index;
    std::size_t position = 0;
    while (table[position].key >= 0x100) {
        const unsigned high = table[position].key >> 8;
        std::uint16_t count = 0;
        while (table[position + count].key >> 8 == high) ++count;
        index.runs.push_back({static_cast<std::uint16_t>(high << 8), count});
        index.by_code[high] = {static_cast<std::uint16_t>(position), count};
        position += count;
    }
    index.runs.push_back({0, 0});
    index.by_key = positions_by_key;
    return index;
}

const TemplateEntry& find_template(const TemplateIndex& index, std::uint16_t key) {
    const std::uint16_t position = key < index.by_key.size() ? index.by_key[key] : 0;
    return position != 0 ? table[position - 1] : table.back();
}
