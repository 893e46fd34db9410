#include "reading/keywords.h"

// clang-format off
constexpr std::array<Keyword, 115> KeywordTable = {{
    // Instructions
    {kw::LD, "LD"},    {kw::ADD, "ADD"},   {kw::ADC, "ADC"},   {kw::SUB, "SUB"},
    {kw::SBC, "SBC"},   {kw::AND, "AND"},   {kw::OR, "OR"},    {kw::XOR, "XOR"},
    {kw::CP, "CP"},    {kw::INC, "INC"},   {kw::DEC, "DEC"},   {kw::RLC, "RLC"},
    {kw::RRC, "RRC"},   {kw::RL, "RL"},    {kw::RR, "RR"},    {kw::RLCA, "RLCA"},
    {kw::RRCA, "RRCA"},  {kw::RLA, "RLA"},   {kw::RRA, "RRA"},   {kw::SLA, "SLA"},
    {kw::SRA, "SRA"},   {kw::SRL, "SRL"},   {kw::RLD, "RLD"},   {kw::RRD, "RRD"},
    {kw::DAA, "DAA"},   {kw::CPL, "CPL"},   {kw::NEG, "NEG"},   {kw::CCF, "CCF"},
    {kw::SCF, "SCF"},   {kw::SET, "SET"},   {kw::RES, "RES"},   {kw::BIT, "BIT"},
    {kw::CALL, "CALL"},  {kw::RET, "RET"},   {kw::RETI, "RETI"},  {kw::RETN, "RETN"},
    {kw::RST, "RST"},   {kw::JP, "JP"},    {kw::JR, "JR"},    {kw::DJNZ, "DJNZ"},
    {kw::EX, "EX"},    {kw::EXX, "EXX"},   {kw::PUSH, "PUSH"},  {kw::POP, "POP"},
    {kw::EI, "EI"},    {kw::DI, "DI"},    {kw::IM, "IM"},    {kw::NOP, "NOP"},
    {kw::HALT, "HALT"},  {kw::SLP, "SLP"},   {kw::TST, "TST"},   {kw::MLT, "MLT"},
    {kw::LDI, "LDI"},   {kw::LDIR, "LDIR"},  {kw::LDD, "LDD"},   {kw::LDDR, "LDDR"},
    {kw::CPI, "CPI"},   {kw::CPIR, "CPIR"},  {kw::CPD, "CPD"},   {kw::CPDR, "CPDR"},
    {kw::INI, "INI"},   {kw::INIR, "INIR"},  {kw::IND, "IND"},   {kw::INDR, "INDR"},
    {kw::OUTI, "OUTI"},  {kw::OTIR, "OTIR"},  {kw::OUTD, "OUTD"},  {kw::OTDR, "OTDR"},
    {kw::OTIM, "OTIM"},  {kw::OTIMR, "OTIMR"}, {kw::OTDM, "OTDM"},  {kw::OTDMR, "OTDMR"},
    {kw::IN, "IN"},    {kw::OUT, "OUT"},   {kw::IN0, "IN0"},   {kw::OUT0, "OUT0"},
    {kw::TSTIO, "TSTIO"},
    // Directives; keywords sharing a code are synonyms
    {kw::LIST, "LIST"},
    {kw::ASEG, "ASEG"},
    {kw::CSEG, "CSEG"},
    {kw::DSEG, "DSEG"},
    {kw::ORG, "ORG"},
    {kw::EQU, "EQU"},
    {kw::DEFL, "DEFL"},
    {kw::DB, "DB"},     {kw::DB, "DEFB"},  {kw::DB, "DC"},
    {kw::DW, "DW"},     {kw::DW, "DEFW"},
    {kw::DS, "DS"},     {kw::DS, "DEFS"},
    {kw::PUBLIC, "PUBLIC"}, {kw::PUBLIC, "ENTRY"}, {kw::PUBLIC, "GLOBAL"},
    {kw::EXTRN, "EXTRN"},  {kw::EXTRN, "EXT"},   {kw::EXTRN, "EXTERNAL"},
    {kw::RADIX, "RADIX"},
    {kw::NAME, "NAME"},
    {kw::TITLE, "TITLE"},
    {kw::SUBTTL, "SUBTTL"},
    {kw::NLIST, "NLIST"},  {kw::NLIST, "XLIST"},
    {kw::PAGE, "PAGE"},
    {kw::INCLUDE, "INCLUDE"}, {kw::INCLUDE, "MACLIB"},
    {kw::END, "END"},
    {kw::MACRO, "MACRO"},
    {kw::ENDM, "ENDM"},
    // Recognised and ignored
    {kw::ignored, "Z80"},    {kw::ignored, "COMMON"}, {kw::ignored, "CREF"},
    {kw::ignored, "XCREF"},  {kw::ignored, "PHASE"},  {kw::ignored, "DEPHASE"},
}};
// clang-format on

namespace {

// The first (at most eight) bytes of `name` as one number, the first byte lowest. Spelled out by
// length rather than looped over, as every word of every line is packed so.
constexpr std::uint64_t packed_of(std::string_view name) {
    const auto byte = [name](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i); };
    std::uint64_t packed = 0;
    switch (name.size() < longest_keyword ? name.size() : longest_keyword) {
        case 8: packed |= byte(7); [[fallthrough]];
        case 7: packed |= byte(6); [[fallthrough]];
        case 6: packed |= byte(5); [[fallthrough]];
        case 5: packed |= byte(4); [[fallthrough]];
        case 4: packed |= byte(3); [[fallthrough]];
        case 3: packed |= byte(2); [[fallthrough]];
        case 2: packed |= byte(1); [[fallthrough]];
        case 1: packed |= byte(0); [[fallthrough]];
        default: break;
    }
    return packed;
}

constexpr bool every_keyword_fits() {
    for (const Keyword& keyword : KeywordTable) {
        if (keyword.text.empty() || keyword.text.size() > longest_keyword) return false;
        for (char ch : keyword.text) {
            if (ch == '\0') return false;  // keyword_code_packed relies on it
        }
    }
    return KeywordTable.size() < keyword_index_slots;
}
static_assert(every_keyword_fits(), "the index holds fewer keywords than slots, each of 1 to 8 characters, no NUL");

constexpr bool no_keyword_is_code_0() {
    for (const Keyword& keyword : KeywordTable) {
        if (keyword.code == 0) return false;
    }
    return true;
}
static_assert(no_keyword_is_code_0(), "keyword_code_packed tells no keyword by code 0");

constexpr std::array<KeywordIndexEntry, keyword_index_slots> build_keyword_index() {
    std::array<KeywordIndexEntry, keyword_index_slots> index{};
    for (const Keyword& keyword : KeywordTable) {
        const std::uint64_t packed = packed_of(keyword.text);
        std::size_t slot = keyword_slot(packed);
        while (index[slot].length != 0) slot = (slot + 1) % keyword_index_slots;
        index[slot] = {packed, keyword.code, static_cast<std::uint8_t>(keyword.text.size())};
    }
    return index;
}

}  // namespace

constinit const std::array<KeywordIndexEntry, keyword_index_slots> keyword_index = build_keyword_index();

std::optional<std::uint16_t> keyword_lookup(std::string_view name) {
    if (name.size() > longest_keyword) return std::nullopt;  // cut to 16 characters or not, never a keyword
    const std::uint16_t code = keyword_code_packed(packed_of(name), name.size());
    return code != 0 ? std::optional<std::uint16_t>(code) : std::nullopt;
}
