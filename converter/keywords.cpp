#include "keywords.h"

// clang-format off
constexpr std::array<Keyword, 115> KeywordTable = {{
    // Instructions
    {0x1100, "LD"},    {0x1200, "ADD"},   {0x1300, "ADC"},   {0x1400, "SUB"},
    {0x1500, "SBC"},   {0x1600, "AND"},   {0x1700, "OR"},    {0x1800, "XOR"},
    {0x1900, "CP"},    {0x1A00, "INC"},   {0x1B00, "DEC"},   {0x1C00, "RLC"},
    {0x1D00, "RRC"},   {0x1E00, "RL"},    {0x1F00, "RR"},    {0x2000, "RLCA"},
    {0x2100, "RRCA"},  {0x2200, "RLA"},   {0x2300, "RRA"},   {0x2400, "SLA"},
    {0x2500, "SRA"},   {0x2600, "SRL"},   {0x2700, "RLD"},   {0x2800, "RRD"},
    {0x2900, "DAA"},   {0x2B00, "CPL"},   {0x2C00, "NEG"},   {0x2D00, "CCF"},
    {0x2E00, "SCF"},   {0x3000, "SET"},   {0x3100, "RES"},   {0x3200, "BIT"},
    {0x3300, "CALL"},  {0x3400, "RET"},   {0x3500, "RETI"},  {0x3600, "RETN"},
    {0x3700, "RST"},   {0x3800, "JP"},    {0x3900, "JR"},    {0x3A00, "DJNZ"},
    {0x3B00, "EX"},    {0x3C00, "EXX"},   {0x3D00, "PUSH"},  {0x3E00, "POP"},
    {0x3F00, "EI"},    {0x4000, "DI"},    {0x4100, "IM"},    {0x4200, "NOP"},
    {0x4300, "HALT"},  {0x4400, "SLP"},   {0x4500, "TST"},   {0x4600, "MLT"},
    {0x5000, "LDI"},   {0x5100, "LDIR"},  {0x5200, "LDD"},   {0x5300, "LDDR"},
    {0x5400, "CPI"},   {0x5500, "CPIR"},  {0x5600, "CPD"},   {0x5700, "CPDR"},
    {0x5800, "INI"},   {0x5900, "INIR"},  {0x5A00, "IND"},   {0x5B00, "INDR"},
    {0x5C00, "OUTI"},  {0x5D00, "OTIR"},  {0x5E00, "OUTD"},  {0x5F00, "OTDR"},
    {0x6000, "OTIM"},  {0x6100, "OTIMR"}, {0x6200, "OTDM"},  {0x6300, "OTDMR"},
    {0x6400, "IN"},    {0x6500, "OUT"},   {0x6600, "IN0"},   {0x6700, "OUT0"},
    {0x6800, "TSTIO"},
    // Directives; keywords sharing a code are synonyms
    {0x0100, "LIST"},
    {0x0110, "ASEG"},
    {0x0120, "CSEG"},
    {0x0130, "DSEG"},
    {0x0140, "ORG"},
    {0x0150, "EQU"},
    {0x0160, "DEFL"},
    {0x0170, "DB"},     {0x0170, "DEFB"},  {0x0170, "DC"},
    {0x0180, "DW"},     {0x0180, "DEFW"},
    {0x0190, "DS"},     {0x0190, "DEFS"},
    {0x01A0, "PUBLIC"}, {0x01A0, "ENTRY"}, {0x01A0, "GLOBAL"},
    {0x01B0, "EXTRN"},  {0x01B0, "EXT"},   {0x01B0, "EXTERNAL"},
    {0x01C0, "RADIX"},
    {0x01D0, "NAME"},
    {0x01E0, "TITLE"},
    {0x01F0, "SUBTTL"},
    {0x0210, "NLIST"},  {0x0210, "XLIST"},
    {0x0230, "PAGE"},
    {0x0240, "INCLUDE"}, {0x0240, "MACLIB"},
    {0x0250, "END"},
    {0x0260, "MACRO"},
    {0x0270, "ENDM"},
    // Recognised and ignored
    {0x7000, "Z80"},    {0x7000, "COMMON"}, {0x7000, "CREF"},
    {0x7000, "XCREF"},  {0x7000, "PHASE"},  {0x7000, "DEPHASE"},
}};
// clang-format on

std::uint16_t keyword_lookup(LineRecord& record, std::string_view name) {
    name = name.substr(0, 16);
    for (const Keyword& keyword : KeywordTable) {
        if (keyword.text == name) {
            record.code = keyword.code;
            return keyword.code;
        }
    }
    return 0;
}
