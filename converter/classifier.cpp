#include "classifier.h"

#include <cctype>
#include <initializer_list>
#include <string_view>

namespace {

// Instruction codes the dispatch needs (the keyword table holds the full set).
namespace op {
inline constexpr std::uint16_t LD = 0x1100, ADD = 0x1200, ADC = 0x1300, SUB = 0x1400, SBC = 0x1500;
inline constexpr std::uint16_t AND = 0x1600, OR = 0x1700, XOR = 0x1800, CP = 0x1900;
inline constexpr std::uint16_t INC = 0x1A00, DEC = 0x1B00;
inline constexpr std::uint16_t RLC = 0x1C00, RRC = 0x1D00, RL = 0x1E00, RR = 0x1F00;
inline constexpr std::uint16_t RLCA = 0x2000, RRCA = 0x2100, RLA = 0x2200, RRA = 0x2300;
inline constexpr std::uint16_t SLA = 0x2400, SRA = 0x2500, SRL = 0x2600, RLD = 0x2700, RRD = 0x2800;
inline constexpr std::uint16_t SET = 0x3000, RES = 0x3100, BIT = 0x3200;
inline constexpr std::uint16_t CALL = 0x3300, RET = 0x3400, JP = 0x3800, JR = 0x3900;
inline constexpr std::uint16_t EX = 0x3B00, PUSH = 0x3D00, POP = 0x3E00;
inline constexpr std::uint16_t TST = 0x4500, MLT = 0x4600;
}  // namespace op

// Forms named where the dispatch rewrites them.
namespace form {
inline constexpr std::uint8_t none = 0, expression = 22, pair = 31, af = 32, pair_pair = 34;
}  // namespace form

// What the text between parentheses turned out to be.
enum class Inner { no_match, indirect, indexed, address };

enum class Prime { no, yes };

bool is_white(char ch) { return ch != '\0' && std::isspace(static_cast<unsigned char>(ch)); }
bool is_blank(char ch) { return ch == ' ' || ch == '\t'; }
bool is_name_start(char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '\'';
}

// A character that ends a register name: white space, the terminator `t`, or the end of the text
// (a last line without a newline behaves like one with it).
bool ends_name(char ch, char t) { return ch == '\0' || is_white(ch) || ch == t; }

// The operand text of one instruction line, as offsets into the line. Reads past the end of the
// line yield '\0', so every look-ahead is safe.
struct Operands {
    std::string_view line;
    std::size_t start = 0;   // first operand
    std::size_t end = 0;     // first ',', newline or ';' at or after start, or the end of the text
    std::size_t second = 0;  // first non-blank after the ',' (meaningful only when has_comma())

    char at(std::size_t pos) const { return pos < line.size() ? line[pos] : '\0'; }
    std::string_view from(std::size_t pos) const {
        return pos < line.size() ? line.substr(pos) : std::string_view{};
    }
    bool has_comma() const { return at(end) == ','; }

    std::size_t skip_blanks(std::size_t pos) const {
        while (is_blank(at(pos))) ++pos;
        return pos;
    }

    // The character n places after `pos` ends a name (with `t` as an extra terminator). With a
    // prime, an apostrophe followed by such a character also ends it, so AF' reads as AF.
    bool ends_after(std::size_t pos, std::size_t n, char t, Prime prime = Prime::no) const {
        char ch = at(pos + n);
        if (ends_name(ch, t)) return true;
        return prime == Prime::yes && ch == '\'' && ends_name(at(pos + n + 1), t);
    }

    std::uint8_t reg8_at(std::size_t pos) const { return reg8_code(from(pos)); }
    std::uint8_t reg16_at(std::size_t pos) const { return reg16_code(from(pos)); }
};

Operands prepare(std::string_view line, std::size_t col1) {
    // Text after an embedded NUL is not part of the line.
    if (std::size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    Operands ops;
    ops.line = line;
    ops.start = col1 < line.size() ? col1 : line.size();
    std::size_t end = line.find_first_of(",\n;", ops.start);
    ops.end = end == std::string_view::npos ? line.size() : end;
    if (ops.has_comma()) ops.second = ops.skip_blanks(ops.end + 1);
    return ops;
}

// A parenthesised operand: where its text begins and the first character of the stop set at or
// after that (or the end of the text).
struct Paren {
    std::size_t inner;
    std::size_t close;
};

Paren find_paren(const Operands& ops, std::size_t open, std::string_view stops) {
    Paren paren{};
    paren.inner = ops.skip_blanks(open + 1);
    paren.close = paren.inner;
    while (paren.close < ops.line.size() && stops.find(ops.line[paren.close]) == std::string_view::npos) {
        ++paren.close;
    }
    return paren;
}

// The parenthesis is really closed, and the operand ends right behind it.
bool closed_before(const Operands& ops, const Paren& paren, char t) {
    return ops.at(paren.close) == ')' && ends_name(ops.at(paren.close + 1), t);
}

// The text between parentheses: a pair (indirect), a pair plus displacement (indexed) or an
// address expression. Sets `code` to the indirect or pair code, and col1 to the expression.
Inner classify_indirect(const Operands& ops, const Paren& paren, LineRecord& record, std::uint8_t& code) {
    std::uint8_t pair = ops.reg16_at(paren.inner);
    if (pair == 0) {
        record.col1 = static_cast<std::uint8_t>(paren.inner);
        return Inner::address;
    }
    std::size_t pos = ops.skip_blanks(paren.inner + 2);
    if (pos == paren.close) {
        code = static_cast<std::uint8_t>(pair + reg::indirect);
        return Inner::indirect;
    }
    // Only '+' displacements are recognised.
    if (ops.at(pos) != '+') return Inner::no_match;
    pos = ops.skip_blanks(pos + 1);
    if (!is_name_start(ops.at(pos))) return Inner::no_match;
    record.col1 = static_cast<std::uint8_t>(pos);
    code = pair;
    return Inner::indexed;
}

// Each classifier either matches (fills the record, returns the form) or returns 0. They are run
// on a copy of the record, so a failed attempt may leave partial results behind.
using Classifier = std::uint8_t (*)(const Operands&, LineRecord&);

std::uint8_t set_form(LineRecord& record, std::uint8_t form) {
    record.form = form;
    return form;
}

std::uint8_t classify_single(const Operands& ops, LineRecord& record) {
    if (ops.has_comma()) return 0;
    if (ops.ends_after(ops.start, 1, ';')) {
        if (std::uint8_t r = ops.reg8_at(ops.start); r != 0) {
            record.reg1 = r;
            return set_form(record, 21);
        }
    }
    // A lone pair is left to classify_pair.
    if (ops.ends_after(ops.start, 2, ';') && ops.reg16_at(ops.start) != 0) return 0;
    if (ops.at(ops.start) != '(') return set_form(record, form::expression);

    Paren paren = find_paren(ops, ops.start, ");\n");
    if (!closed_before(ops, paren, ';')) return 0;
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, 24);
        case Inner::indexed: record.reg1 = code; return set_form(record, 25);
        case Inner::address: return set_form(record, 23);
        case Inner::no_match: break;
    }
    return 0;
}

std::uint8_t classify_r8_first(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma() || !ops.ends_after(ops.start, 1, ',')) return 0;
    std::uint8_t r = ops.reg8_at(ops.start);
    if (r == 0) return 0;
    record.reg1 = r;

    if (ops.ends_after(ops.second, 1, ';')) {
        if (std::uint8_t s = ops.reg8_at(ops.second); s != 0) {
            record.reg2 = s;
            return set_form(record, 2);
        }
    }
    if (ops.ends_after(ops.second, 2, ';') && ops.reg16_at(ops.second) != 0) return 0;
    if (ops.at(ops.second) != '(') {
        record.col1 = static_cast<std::uint8_t>(ops.second);
        return set_form(record, 1);
    }

    // The closing parenthesis is not required here, so LD A,(HL still reads as (HL).
    Paren paren = find_paren(ops, ops.second, ");\n");
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg2 = code; return set_form(record, 4);
        case Inner::indexed: record.reg2 = code; return set_form(record, 6);
        case Inner::address: return set_form(record, 3);
        case Inner::no_match: break;
    }
    return 0;
}

std::uint8_t classify_r8_second(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma() || !ops.ends_after(ops.second, 1, ';')) return 0;
    std::uint8_t s = ops.reg8_at(ops.second);
    if (s == 0) return 0;
    record.reg2 = s;

    if (ops.ends_after(ops.start, 1, ',')) {
        if (std::uint8_t r = ops.reg8_at(ops.start); r != 0) {
            record.reg1 = r;
            return set_form(record, 2);
        }
    }
    if (ops.at(ops.start) != '(') return 0;
    Paren paren = find_paren(ops, ops.start, "),");
    if (!closed_before(ops, paren, ',')) return 0;
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, 8);
        case Inner::indexed: record.reg1 = code; return set_form(record, 10);
        case Inner::address: return set_form(record, 7);
        case Inner::no_match: break;
    }
    return 0;
}

std::uint8_t classify_mem_imm(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return 0;
    // Register operands on either side belong to the other classifiers.
    if (ops.ends_after(ops.start, 1, ',') && ops.reg8_at(ops.start) != 0) return 0;
    if (ops.ends_after(ops.start, 2, ',') && ops.reg16_at(ops.start) != 0) return 0;
    if (ops.ends_after(ops.second, 1, ';') && ops.reg8_at(ops.second) != 0) return 0;
    if (ops.ends_after(ops.second, 2, ';') && ops.reg16_at(ops.second) != 0) return 0;

    if (ops.at(ops.start) != '(') return 0;
    Paren paren = find_paren(ops, ops.start, "),");
    if (!closed_before(ops, paren, ',')) return 0;
    record.col2 = static_cast<std::uint8_t>(ops.second);
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, 11);
        case Inner::indexed: record.reg1 = code; return set_form(record, 12);
        case Inner::address:  // a store of a value to an address has no form
        case Inner::no_match: break;
    }
    return 0;
}

std::uint8_t classify_pair(const Operands& ops, LineRecord& record) {
    if (ops.has_comma() || !ops.ends_after(ops.start, 2, ';', Prime::yes)) return 0;
    std::uint8_t p = ops.reg16_at(ops.start);
    if (p == 0) return 0;
    record.reg1 = p;
    return set_form(record, form::pair);
}

std::uint8_t classify_pair_first(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma() || !ops.ends_after(ops.start, 2, ',')) return 0;
    std::uint8_t p = ops.reg16_at(ops.start);
    if (p == 0) return 0;
    record.reg1 = p;

    if (ops.ends_after(ops.second, 2, ';', Prime::yes)) {
        if (std::uint8_t q = ops.reg16_at(ops.second); q != 0) {
            record.reg2 = q;
            return set_form(record, form::pair_pair);
        }
    }
    if (ops.at(ops.second) == '(') {
        Paren paren = find_paren(ops, ops.second, ");\n");
        if (!closed_before(ops, paren, ';')) return 0;
        record.col1 = static_cast<std::uint8_t>(paren.inner);
        return set_form(record, 35);
    }
    record.col1 = static_cast<std::uint8_t>(ops.second);
    return set_form(record, 33);
}

std::uint8_t classify_pair_second(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return 0;
    std::uint8_t q = ops.reg16_at(ops.second);
    if (q == 0 || !ops.ends_after(ops.second, 2, ';', Prime::yes)) return 0;
    record.reg2 = q;

    if (ops.ends_after(ops.start, 2, ',', Prime::yes)) {
        if (std::uint8_t p = ops.reg16_at(ops.start); p != 0) {
            record.reg1 = p;
            return set_form(record, form::pair_pair);
        }
    }
    if (ops.at(ops.start) != '(') return 0;
    Paren paren = find_paren(ops, ops.start, "),");
    if (ops.at(paren.close) != ')') return 0;
    if (ops.ends_after(paren.inner, 2, ')', Prime::yes)) {
        if (std::uint8_t p = ops.reg16_at(paren.inner); p != 0) {
            record.reg1 = static_cast<std::uint8_t>(p + reg::indirect);
            return set_form(record, 37);
        }
    }
    record.col1 = static_cast<std::uint8_t>(paren.inner);
    return set_form(record, 36);
}

std::uint8_t classify_bit(const Operands& ops, LineRecord& record) {
    // The bit number stays at the scanned col1.
    if (!ops.has_comma()) return 0;
    if (ops.ends_after(ops.second, 1, ';')) {
        if (std::uint8_t r = ops.reg8_at(ops.second); r != 0) {
            record.reg1 = r;
            return set_form(record, 41);
        }
    }
    if (ops.at(ops.second) != '(') return 0;
    Paren paren = find_paren(ops, ops.second, ");\n");
    if (!closed_before(ops, paren, ';')) return 0;
    record.col2 = record.col1;
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, 42);
        case Inner::indexed: record.reg1 = code; return set_form(record, 43);
        case Inner::address:
        case Inner::no_match: break;
    }
    return 0;
}

// Matches one of the condition names at the operand start; returns its index or -1.
int match_condition(const Operands& ops, std::initializer_list<std::string_view> names, char t) {
    int index = 0;
    for (std::string_view name : names) {
        if (ops.from(ops.start).starts_with(name) && ends_name(ops.at(ops.start + name.size()), t)) {
            return index;
        }
        ++index;
    }
    return -1;
}

// Forms 52.. follow the order of the condition names.
inline constexpr std::uint8_t first_condition_form = 52;

std::uint8_t classify_jump_cond(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return set_form(record, 51);
    record.col1 = static_cast<std::uint8_t>(ops.second);
    // P and M are not accepted.
    int index = match_condition(ops, {"C", "NC", "Z", "NZ", "PO", "PE"}, ',');
    if (index < 0) return 0;
    return set_form(record, static_cast<std::uint8_t>(first_condition_form + index));
}

std::uint8_t classify_ret_cond(const Operands& ops, LineRecord& record) {
    if (ops.has_comma()) return 0;
    int index = match_condition(ops, {"C", "NC", "Z", "NZ"}, ';');
    if (index < 0) return set_form(record, 51);
    return set_form(record, static_cast<std::uint8_t>(first_condition_form + index));
}

// Runs the classifiers in order on copies of the record; the first match is kept.
std::uint8_t first_match(const Operands& ops, LineRecord& record, std::initializer_list<Classifier> classifiers) {
    for (Classifier classify : classifiers) {
        LineRecord attempt = record;
        if (std::uint8_t form = classify(ops, attempt); form != 0) {
            record = attempt;
            return form;
        }
    }
    return 0;
}

}  // namespace

std::uint8_t reg8_code(std::string_view text) {
    if (text.empty()) return 0;
    switch (text[0]) {
        case 'A': return reg::A;
        case 'F': return reg::F;
        case 'B': return reg::B;
        case 'C': return reg::C;
        case 'D': return reg::D;
        case 'E': return reg::E;
        case 'H': return reg::H;
        case 'L': return reg::L;
        default: return 0;
    }
}

std::uint8_t reg16_code(std::string_view text) {
    static constexpr struct {
        std::string_view name;
        std::uint8_t code;
    } pairs[] = {{"AF", reg::AF}, {"BC", reg::BC}, {"DE", reg::DE}, {"HL", reg::HL},
                 {"IX", reg::IX}, {"IY", reg::IY}, {"SP", reg::SP}};
    for (const auto& pair : pairs) {
        if (text.starts_with(pair.name)) return pair.code;
    }
    return 0;
}

std::uint8_t classify_operands(Context& ctx, LineRecord& record) {
    if (!is_instruction(record.code)) return 0;
    const Operands ops = prepare(ctx.line_buffer, record.col1);

    std::uint8_t form = form::none;
    bool needs_operands = true;  // no match means an illegal operand
    switch (record.code) {
        case op::LD:
            form = first_match(ops, record, {classify_r8_first, classify_r8_second, classify_mem_imm,
                                             classify_pair_first, classify_pair_second});
            break;
        case op::ADD: case op::ADC: case op::SBC:
            form = first_match(ops, record, {classify_r8_first, classify_pair_first});
            break;
        case op::SUB: case op::AND: case op::OR: case op::XOR: case op::CP:
        case op::RLC: case op::RRC: case op::RL: case op::RR:
        case op::SLA: case op::SRA: case op::SRL: case op::TST:
            form = first_match(ops, record, {classify_single});
            break;
        case op::INC: case op::DEC:
            form = first_match(ops, record, {classify_single, classify_pair});
            break;
        case op::MLT:
            form = first_match(ops, record, {classify_pair});
            break;
        case op::RLCA: case op::RRCA: case op::RLA: case op::RRA: case op::RLD: case op::RRD:
            // These always work on A; whatever follows the mnemonic is ignored.
            record.reg1 = reg::A;
            form = 21;
            needs_operands = false;
            break;
        case op::SET: case op::RES: case op::BIT:
            form = first_match(ops, record, {classify_bit});
            break;
        case op::JP:
            // JP (HL) and friends are single operands; a plain expression is a jump target.
            form = first_match(ops, record, {classify_single});
            if (form == form::expression || form == form::none) {
                record.form = form::none;
                form = first_match(ops, record, {classify_jump_cond});
            }
            break;
        case op::CALL: case op::JR:
            form = first_match(ops, record, {classify_jump_cond});
            break;
        case op::RET:
            form = first_match(ops, record, {classify_ret_cond});
            break;
        case op::EX:
            form = first_match(ops, record, {classify_pair_second});
            if (form == form::pair_pair && record.reg1 == reg::AF) form = form::af;
            break;
        case op::PUSH: case op::POP:
            form = first_match(ops, record, {classify_pair});
            if (form == form::pair && record.reg1 == reg::AF) form = form::af;
            break;
        default:
            needs_operands = false;  // translated without operand analysis
            break;
    }

    if (form == form::none && needs_operands) {
        ctx.console.print("(%d) ERROR: illegal operand\n", ctx.includes.line_count());
        record.code = static_cast<std::uint16_t>(record.code + line_code::error_bit);
    }
    record.form = form;
    return form;
}
