// The converter's vocabulary, named once: instruction and directive codes, the special line codes,
// the operand forms and the HD64180 register codes. Every other file speaks these names; a bare
// form or code number appears nowhere else.
#pragma once

#include <cstdint>

// Keyword codes. An instruction code carries its mnemonic in the high byte (0x1000-0x6F00), so that
// code + form is the key of its template; a directive code is a multiple of 0x10 below 0x1000.
namespace kw {
// Directives.
inline constexpr std::uint16_t LIST = 0x0100, ASEG = 0x0110, CSEG = 0x0120, DSEG = 0x0130, ORG = 0x0140, EQU = 0x0150,
                               DEFL = 0x0160, DB = 0x0170, DW = 0x0180, DS = 0x0190, PUBLIC = 0x01A0, EXTRN = 0x01B0,
                               RADIX = 0x01C0, NAME = 0x01D0, TITLE = 0x01E0, SUBTTL = 0x01F0, NLIST = 0x0210,
                               PAGE = 0x0230, INCLUDE = 0x0240, END = 0x0250, MACRO = 0x0260, ENDM = 0x0270;
// Directives of the extended mode only (the CP/M-era relocating assemblers); IFT shares IF's code,
// ENDC ENDIF's.
inline constexpr std::uint16_t DC = 0x0300, IF = 0x0310, IFDEF = 0x0320, IFNDEF = 0x0330, IF1 = 0x0340, IF2 = 0x0350,
                               IFF = 0x0360, ELSE = 0x0370, ENDIF = 0x0380, PHASE = 0x0390, DEPHASE = 0x03A0,
                               REPT = 0x03B0, IRP = 0x03C0, IRPC = 0x03D0, COMMENT = 0x03E0, PRINTX = 0x03F0;
// Instructions.
inline constexpr std::uint16_t LD = 0x1100, ADD = 0x1200, ADC = 0x1300, SUB = 0x1400, SBC = 0x1500, AND = 0x1600,
                               OR = 0x1700, XOR = 0x1800, CP = 0x1900, INC = 0x1A00, DEC = 0x1B00, RLC = 0x1C00,
                               RRC = 0x1D00, RL = 0x1E00, RR = 0x1F00, RLCA = 0x2000, RRCA = 0x2100, RLA = 0x2200,
                               RRA = 0x2300, SLA = 0x2400, SRA = 0x2500, SRL = 0x2600, RLD = 0x2700, RRD = 0x2800,
                               DAA = 0x2900, CPL = 0x2B00, NEG = 0x2C00, CCF = 0x2D00, SCF = 0x2E00, SET = 0x3000,
                               RES = 0x3100, BIT = 0x3200, CALL = 0x3300, RET = 0x3400, RETI = 0x3500, RETN = 0x3600,
                               RST = 0x3700, JP = 0x3800, JR = 0x3900, DJNZ = 0x3A00, EX = 0x3B00, EXX = 0x3C00,
                               PUSH = 0x3D00, POP = 0x3E00, EI = 0x3F00, DI = 0x4000, IM = 0x4100, NOP = 0x4200,
                               HALT = 0x4300, SLP = 0x4400, TST = 0x4500, MLT = 0x4600, LDI = 0x5000, LDIR = 0x5100,
                               LDD = 0x5200, LDDR = 0x5300, CPI = 0x5400, CPIR = 0x5500, CPD = 0x5600, CPDR = 0x5700,
                               INI = 0x5800, INIR = 0x5900, IND = 0x5A00, INDR = 0x5B00, OUTI = 0x5C00, OTIR = 0x5D00,
                               OUTD = 0x5E00, OTDR = 0x5F00, OTIM = 0x6000, OTIMR = 0x6100, OTDM = 0x6200,
                               OTDMR = 0x6300, IN = 0x6400, OUT = 0x6500, IN0 = 0x6600, OUT0 = 0x6700, TSTIO = 0x6800;
// Instruction codes start here; directive codes lie below.
inline constexpr std::uint16_t first_instruction = 0x1000;
// Keywords that are recognised and ignored (Z80, COMMON, CREF, ...): their lines are comments.
inline constexpr std::uint16_t ignored = 0x7000;
// Internal codes of pass 2: the logical group (AND, OR, XOR, CP) and SCF followed by CCF.
inline constexpr std::uint16_t LOGIC = 0x6F00, SCF_CCF = 0x2F00;
}  // namespace kw

// Codes of lines that are neither an instruction nor a directive.
namespace line_code {
inline constexpr std::uint16_t label_only = 0x0000;  // also the all-zero terminating record
inline constexpr std::uint16_t macro_call = 0x0280;
inline constexpr std::uint16_t comment = kw::ignored;  // blank, comment-only, ignored keyword, absorbed
inline constexpr std::uint16_t unknown = 0x8000;       // unknown mnemonic, already reported
inline constexpr std::uint16_t error_bit = 0x8000;     // added to a code whose line is in error
inline constexpr std::uint16_t passthrough = 0xF000;   // line begins with a backslash
}  // namespace line_code

// A code of 0x1000 or more and below 0x7000 is an instruction.
constexpr bool is_instruction(std::uint16_t code) { return code >= kw::first_instruction && code < kw::ignored; }
// A nonzero code below 0x1000 is a directive or a macro call.
constexpr bool is_directive(std::uint16_t code) { return code != 0 && code < kw::first_instruction; }
// The code of a line that is reported in error.
constexpr std::uint16_t in_error(std::uint16_t code) { return static_cast<std::uint16_t>(code + line_code::error_bit); }

// Operand shapes. The classifier assigns them in pass 1 (r: 8-bit register, rr: pair, (rr+d): an
// indexed operand, nn: an expression); pass 2 rewrites some of them when it merges instructions or
// reads a branch condition in the light of the instruction before.
enum class Form : std::uint8_t {
    none = 0,                // not analysed: NOP, DJNZ LOOP
    reg_imm = 1,             // r,n          LD A,10H
    reg_reg = 2,             // r,r          LD A,B
    reg_mem = 3,             // r,(nn)       LD A,(ADDR)
    reg_indirect = 4,        // r,(rr)       LD A,(HL)
    reg_postinc = 5,         // r,(rr+)      LD A,(HL) + INC HL, merged in pass 2
    reg_indexed = 6,         // r,(rr+d)     LD A,(IX+5)
    mem_reg = 7,             // (nn),r       LD (ADDR),A
    indirect_reg = 8,        // (rr),r       LD (HL),A
    predec_reg = 9,          // (-rr),r      DEC HL + LD (HL),A, merged in pass 2
    indexed_reg = 10,        // (rr+d),r     LD (IX+5),A
    indirect_imm = 11,       // (rr),n       LD (HL),5
    indexed_imm = 12,        // (rr+d),n     LD (IX+5),5
    reg = 21,                // r            INC A; RLCA and friends (on A)
    imm = 22,                // n            SUB 10
    mem = 23,                // (nn)         JP (ADDR)
    indirect = 24,           // (rr)         INC (HL), JP (IX)
    indexed = 25,            // (rr+d)       INC (IX+5)
    pair = 31,               // rr           PUSH BC, INC HL, MLT DE
    af = 32,                 // AF           PUSH AF, EX AF,AF'
    pair_imm = 33,           // rr,nn        LD HL,1234H
    pair_pair = 34,          // rr,rr        ADD HL,DE; PUSH rr + POP qq merged in pass 2
    pair_mem = 35,           // rr,(nn)      LD HL,(ADDR)
    mem_pair = 36,           // (nn),rr      LD (ADDR),HL
    indirect_pair = 37,      // (rr),rr      EX (SP),HL
    bit_reg = 41,            // b,r          SET 3,A
    bit_indirect = 42,       // b,(rr)       SET 3,(HL)
    bit_indexed = 43,        // b,(rr+d)     SET 3,(IX+5)
    always = 51,             // nn           JP nn, RET
    cond_c = 52,             // C,nn
    cond_nc = 53,            // NC,nn
    cond_z = 54,             // Z,nn
    cond_nz = 55,            // NZ,nn
    cond_po = 56,            // PO,nn
    cond_pe = 57,            // PE,nn
    nz_and_nc = 59,          // JR Z over a JR NC, merged in pass 2: BHI
    z_or_c = 60,             // JR Z + JR C to one target, merged in pass 2: BLS
    pair_twice = 61,         // INC rr + INC rr (or DEC), merged in pass 2
    po_after_transfer = 62,  // PO after a block transfer: BC has reached 0
    pe_after_transfer = 63,
    po_after_compare = 64,  // PO after a block compare
    pe_after_compare = 65,
    after_subtraction = 66,  // DAA after a subtraction: DAS
    pair_mem_le = 67,        // rr,(nn) with words low byte first (--little-endian)
    mem_pair_le = 68,        // (nn),rr likewise
    sp_mem_le = 69,          // SP,(nn) likewise, through a scratch register
    mem_sp_le = 70,          // (nn),SP likewise
    cond_p = 71,             // P,nn: sign clear (extended mode)
    cond_m = 72,             // M,nn: sign set (extended mode)
    illegal_branch = 99,     // a branch target that cannot be translated
};

// The template key of an instruction: its code plus its form.
constexpr std::uint16_t key(std::uint16_t code, Form form) {
    return static_cast<std::uint16_t>(code + static_cast<std::uint8_t>(form));
}

// HD64180 register codes held in reg1/reg2, and the codes of the H8/300 addressing modes that pass 2
// builds from them.
namespace reg {
inline constexpr std::uint8_t A = 1, F = 2, B = 3, C = 4, D = 5, E = 6, H = 7, L = 8;
inline constexpr std::uint8_t AF = 9, BC = 10, DE = 11, HL = 12, IX = 13, IY = 14, SP = 15;
// (rr) is the pair's code plus this offset.
inline constexpr std::uint8_t indirect_offset = 16;
// @-rr and @rr+ are the indirect code plus these offsets.
inline constexpr std::uint8_t predecrement_offset = 32;
inline constexpr std::uint8_t postincrement_offset = 64;
// SP as a general register (R7), whose byte halves R7H and R7L some templates need.
inline constexpr std::uint8_t sp_as_general = 47;

constexpr std::uint8_t indirect(std::uint8_t pair) { return static_cast<std::uint8_t>(pair + indirect_offset); }
constexpr std::uint8_t predecrement(std::uint8_t indirect_code) {
    return static_cast<std::uint8_t>(indirect_code + predecrement_offset);
}
constexpr std::uint8_t postincrement(std::uint8_t indirect_code) {
    return static_cast<std::uint8_t>(indirect_code + postincrement_offset);
}
}  // namespace reg
