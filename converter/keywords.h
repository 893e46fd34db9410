// The converter's vocabulary: every HD64180 mnemonic and assembler directive with its 16-bit code.
// Instruction codes (0x1000-0x6F00) carry the mnemonic in their high byte; directive codes are
// multiples of 0x10 below 0x1000; synonyms share a code; 0x7000 marks keywords that are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "line_record.h"

struct Keyword {
    std::uint16_t code;
    std::string_view text;
};

// Directive and instruction codes that other parts of the converter switch on.
namespace kw {
inline constexpr std::uint16_t LIST = 0x0100, ASEG = 0x0110, CSEG = 0x0120, DSEG = 0x0130, ORG = 0x0140,
                               EQU = 0x0150, DEFL = 0x0160, DB = 0x0170, DW = 0x0180, DS = 0x0190,
                               PUBLIC = 0x01A0, EXTRN = 0x01B0, RADIX = 0x01C0, NAME = 0x01D0,
                               TITLE = 0x01E0, SUBTTL = 0x01F0, NLIST = 0x0210, PAGE = 0x0230,
                               INCLUDE = 0x0240, END = 0x0250, MACRO = 0x0260, ENDM = 0x0270;
inline constexpr std::uint16_t LD = 0x1100, ADD = 0x1200, ADC = 0x1300, SUB = 0x1400, SBC = 0x1500,
                               AND = 0x1600, OR = 0x1700, XOR = 0x1800, CP = 0x1900, INC = 0x1A00,
                               DEC = 0x1B00, RLC = 0x1C00, RRC = 0x1D00, RL = 0x1E00, RR = 0x1F00,
                               RLCA = 0x2000, RRCA = 0x2100, RLA = 0x2200, RRA = 0x2300, SLA = 0x2400,
                               SRA = 0x2500, SRL = 0x2600, RLD = 0x2700, RRD = 0x2800, DAA = 0x2900,
                               CPL = 0x2B00, NEG = 0x2C00, CCF = 0x2D00, SCF = 0x2E00, SET = 0x3000,
                               RES = 0x3100, BIT = 0x3200, CALL = 0x3300, RET = 0x3400, RETI = 0x3500,
                               RETN = 0x3600, RST = 0x3700, JP = 0x3800, JR = 0x3900, DJNZ = 0x3A00,
                               EX = 0x3B00, EXX = 0x3C00, PUSH = 0x3D00, POP = 0x3E00, EI = 0x3F00,
                               DI = 0x4000, IM = 0x4100, NOP = 0x4200, HALT = 0x4300, SLP = 0x4400,
                               TST = 0x4500, MLT = 0x4600, LDI = 0x5000, LDIR = 0x5100, LDD = 0x5200,
                               LDDR = 0x5300, CPI = 0x5400, CPIR = 0x5500, CPD = 0x5600, CPDR = 0x5700,
                               IN = 0x6400, OUT = 0x6500, IN0 = 0x6600, OUT0 = 0x6700, TSTIO = 0x6800;
// Internal codes of pass 2: the logical group (AND, OR, XOR, CP) and SCF followed by CCF.
inline constexpr std::uint16_t LOGIC = 0x6F00, SCF_CCF = 0x2F00;
}  // namespace kw

extern const std::array<Keyword, 115> KeywordTable;

// Looks `name` (upper case) up; on a match stores the code in the record and returns it, else 0.
std::uint16_t keyword_lookup(LineRecord& record, std::string_view name);
