#include "reading/classifier.h"

#include <array>
#include <initializer_list>
#include <string_view>

#include "reading/text_scan.h"

namespace {

// What the text between parentheses turned out to be.
enum class Inner { no_match, indirect, indexed, address };

enum class Prime { no, yes };

// A character that ends a register name: white space, the terminator `t`, or the end of the text
// (a last line without a newline behaves like one with it).
bool ends_name(char ch, char t) { return ch == '\0' || is_white_space(ch) || ch == t; }

// The characters that open an operator behind a closing parenthesis, (X+1)*2.
constexpr std::array<bool, 256> operator_chars = [] {
    std::array<bool, 256> table{};
    for (unsigned char ch : std::string_view("+-*/&|^~<>=!%")) table[ch] = true;
    return table;
}();

// The characters that matter when looking for a matching parenthesis: the others are passed with
// one look at this table.
constexpr std::array<bool, 256> paren_stops = [] {
    std::array<bool, 256> table{};
    for (unsigned char ch : {'(', ')', ';', '\n', '\'', '"'}) table[ch] = true;
    return table;
}();

// The operand text of one instruction line, as offsets into the line. Reads past the end of the
// line yield '\0', so every look-ahead is safe.
struct Operands {
    std::string_view line;
    std::size_t start = 0;   // first operand
    std::size_t end = 0;     // first ',', newline or ';' at or after start, or the end of the text
    std::size_t second = 0;  // first non-blank after the ',' (meaningful only when has_comma())
    bool extended = false;   // the extended mode's readings apply

    char at(std::size_t pos) const { return pos < line.size() ? line[pos] : '\0'; }
    std::string_view from(std::size_t pos) const { return pos < line.size() ? line.substr(pos) : std::string_view{}; }
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

    // The operand at `pos` is a memory operand: it opens a parenthesis. In the extended mode an
    // operand that goes on behind the parenthesis matching its first, (RTABLE-DTABLE)/2, is a
    // value instead, as the relocating assemblers read it.
    bool opens_memory(std::size_t pos) const { return at(pos) == '(' && !(extended && goes_on_after_paren(pos)); }

    // The operand at `pos` is a value in parentheses that an operator continues: (X+1)*2, (X) SHR 8.
    bool paren_goes_on(std::size_t pos) const { return at(pos) == '(' && operator_after_paren(pos); }

    // Whether an operator follows the parenthesis that matches the one at `open`.
    bool operator_after_paren(std::size_t open) const {
        const std::size_t close = matching_paren(open);
        if (close == std::string_view::npos) return false;
        const std::size_t next = skip_blanks(close + 1);
        if (operator_chars[static_cast<unsigned char>(at(next))]) return true;
        std::size_t end = next;
        while (is_name_char(at(end))) ++end;
        const std::string_view word = from(next).substr(0, end - next);
        if (word.size() != 2 && word.size() != 3) return false;  // no operator word is longer or shorter
        for (std::string_view keyword : {"AND", "OR", "XOR", "SHR", "SHL", "MOD", "EQ", "NE", "LT", "LE", "GT", "GE"}) {
            if (word == keyword) return true;
        }
        return false;
    }

    // The ')' matching the '(' at `open`, past nested ones and quoted strings; npos when the
    // operand ends first.
    std::size_t matching_paren(std::size_t open) const {
        int depth = 0;
        for (std::size_t i = open; i < line.size(); ++i) {
            const char ch = line[i];
            if (!paren_stops[static_cast<unsigned char>(ch)]) continue;
            if (is_quote(ch) && opens_quoted_string(line, i)) {
                i = line.find(ch, i + 1);
                if (i == std::string_view::npos) return i;
                continue;
            }
            if (ch == ';' || ch == '\n') return std::string_view::npos;
            if (ch == '(') ++depth;
            if (ch == ')' && --depth == 0) return i;
        }
        return std::string_view::npos;
    }

    bool goes_on_after_paren(std::size_t open) const {
        const std::size_t close = matching_paren(open);
        if (close == std::string_view::npos) return false;  // never closed: LD A,(HL still reads as (HL)
        const char after = at(skip_blanks(close + 1));
        return after != '\0' && !is_white_space(after) && after != ',' && after != ';';
    }
};

// The characters that end an operand (',', newline, ';') or may open a quoted string: the others
// are passed with one look at this table.
constexpr std::array<bool, 256> operand_stops = [] {
    std::array<bool, 256> table{};
    for (unsigned char ch : {',', '\n', ';', '\'', '"'}) table[ch] = true;
    return table;
}();

// find_unquoted(line, ",\n;", from), for the one set of stops that every instruction line needs.
std::size_t operand_end(std::string_view line, std::size_t from) {
    for (std::size_t i = from; i < line.size(); ++i) {
        const char ch = line[i];
        if (!operand_stops[static_cast<unsigned char>(ch)]) continue;
        if (is_quote(ch)) {
            if (opens_quoted_string(line, i)) i = line.find(ch, i + 1);  // the closing quote
            continue;
        }
        return i;
    }
    return std::string_view::npos;
}

// `line` holds no NUL: the caller has cut it at the first.
Operands prepare(std::string_view line, std::size_t col1, bool extended) {
    Operands ops;
    ops.line = line;
    ops.extended = extended;
    ops.start = col1 < line.size() ? col1 : line.size();
    std::size_t end = operand_end(line, ops.start);
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
    while (paren.close < ops.line.size() && !is_one_of(ops.line[paren.close], stops)) {
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
        code = reg::indirect(pair);
        return Inner::indirect;
    }
    // (IX+d) and (IX-d). A '-' stays part of the displacement text, which pass 2 reads as signed.
    const char sign = ops.at(pos);
    if (sign != '+' && sign != '-') return Inner::no_match;
    const std::size_t sign_pos = pos;
    pos = ops.skip_blanks(pos + 1);
    if (!is_name_char(ops.at(pos))) return Inner::no_match;
    record.col1 = static_cast<std::uint8_t>(sign == '-' ? sign_pos : pos);
    code = pair;
    return Inner::indexed;
}

// Each classifier either matches (fills the record, returns the form) or returns 0. They are run
// on a copy of the record, so a failed attempt may leave partial results behind.
using Classifier = Form (*)(const Operands&, LineRecord&);

Form set_form(LineRecord& record, Form form) {
    record.form = form;
    return form;
}

Form classify_single(const Operands& ops, LineRecord& record) {
    if (ops.has_comma()) return Form::none;
    if (ops.ends_after(ops.start, 1, ';')) {
        if (std::uint8_t r = ops.reg8_at(ops.start); r != 0) {
            record.reg1 = r;
            return set_form(record, Form::reg);
        }
    }
    // A lone pair is left to classify_pair.
    if (ops.ends_after(ops.start, 2, ';') && ops.reg16_at(ops.start) != 0) return Form::none;
    if (!ops.opens_memory(ops.start)) return set_form(record, Form::imm);

    Paren paren = find_paren(ops, ops.start, ");\n");
    if (!closed_before(ops, paren, ';')) return Form::none;
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, Form::indirect);
        case Inner::indexed: record.reg1 = code; return set_form(record, Form::indexed);
        case Inner::address: return set_form(record, Form::mem);
        case Inner::no_match: break;
    }
    return Form::none;
}

Form classify_r8_first(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma() || !ops.ends_after(ops.start, 1, ',')) return Form::none;
    std::uint8_t r = ops.reg8_at(ops.start);
    if (r == 0) return Form::none;
    record.reg1 = r;

    if (ops.ends_after(ops.second, 1, ';')) {
        if (std::uint8_t s = ops.reg8_at(ops.second); s != 0) {
            record.reg2 = s;
            return set_form(record, Form::reg_reg);
        }
    }
    if (ops.ends_after(ops.second, 2, ';') && ops.reg16_at(ops.second) != 0) return Form::none;
    if (!ops.opens_memory(ops.second)) {
        record.col1 = static_cast<std::uint8_t>(ops.second);
        return set_form(record, Form::reg_imm);
    }

    // The closing parenthesis is not required here, so LD A,(HL still reads as (HL).
    Paren paren = find_paren(ops, ops.second, ");\n");
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg2 = code; return set_form(record, Form::reg_indirect);
        case Inner::indexed: record.reg2 = code; return set_form(record, Form::reg_indexed);
        case Inner::address: return set_form(record, Form::reg_mem);
        case Inner::no_match: break;
    }
    return Form::none;
}

Form classify_r8_second(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma() || !ops.ends_after(ops.second, 1, ';')) return Form::none;
    std::uint8_t s = ops.reg8_at(ops.second);
    if (s == 0) return Form::none;
    record.reg2 = s;

    if (ops.ends_after(ops.start, 1, ',')) {
        if (std::uint8_t r = ops.reg8_at(ops.start); r != 0) {
            record.reg1 = r;
            return set_form(record, Form::reg_reg);
        }
    }
    if (!ops.opens_memory(ops.start)) return Form::none;
    Paren paren = find_paren(ops, ops.start, "),");
    if (!closed_before(ops, paren, ',')) return Form::none;
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, Form::indirect_reg);
        case Inner::indexed: record.reg1 = code; return set_form(record, Form::indexed_reg);
        case Inner::address: return set_form(record, Form::mem_reg);
        case Inner::no_match: break;
    }
    return Form::none;
}

Form classify_mem_imm(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return Form::none;
    // Register operands on either side belong to the other classifiers.
    if (ops.ends_after(ops.start, 1, ',') && ops.reg8_at(ops.start) != 0) return Form::none;
    if (ops.ends_after(ops.start, 2, ',') && ops.reg16_at(ops.start) != 0) return Form::none;
    if (ops.ends_after(ops.second, 1, ';') && ops.reg8_at(ops.second) != 0) return Form::none;
    if (ops.ends_after(ops.second, 2, ';') && ops.reg16_at(ops.second) != 0) return Form::none;

    if (!ops.opens_memory(ops.start)) return Form::none;
    Paren paren = find_paren(ops, ops.start, "),");
    if (!closed_before(ops, paren, ',')) return Form::none;
    record.col2 = static_cast<std::uint8_t>(ops.second);
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, Form::indirect_imm);
        case Inner::indexed: record.reg1 = code; return set_form(record, Form::indexed_imm);
        case Inner::address:  // a store of a value to an address has no form
        case Inner::no_match: break;
    }
    return Form::none;
}

Form classify_pair(const Operands& ops, LineRecord& record) {
    if (ops.has_comma() || !ops.ends_after(ops.start, 2, ';', Prime::yes)) return Form::none;
    std::uint8_t p = ops.reg16_at(ops.start);
    if (p == 0) return Form::none;
    record.reg1 = p;
    return set_form(record, Form::pair);
}

Form classify_pair_first(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma() || !ops.ends_after(ops.start, 2, ',')) return Form::none;
    std::uint8_t p = ops.reg16_at(ops.start);
    if (p == 0) return Form::none;
    record.reg1 = p;

    if (ops.ends_after(ops.second, 2, ';', Prime::yes)) {
        if (std::uint8_t q = ops.reg16_at(ops.second); q != 0) {
            record.reg2 = q;
            return set_form(record, Form::pair_pair);
        }
    }
    if (ops.opens_memory(ops.second)) {
        Paren paren = find_paren(ops, ops.second, ");\n");
        if (!closed_before(ops, paren, ';')) return Form::none;
        record.col1 = static_cast<std::uint8_t>(paren.inner);
        return set_form(record, Form::pair_mem);
    }
    record.col1 = static_cast<std::uint8_t>(ops.second);
    return set_form(record, Form::pair_imm);
}

Form classify_pair_second(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return Form::none;
    std::uint8_t q = ops.reg16_at(ops.second);
    if (q == 0 || !ops.ends_after(ops.second, 2, ';', Prime::yes)) return Form::none;
    record.reg2 = q;

    if (ops.ends_after(ops.start, 2, ',', Prime::yes)) {
        if (std::uint8_t p = ops.reg16_at(ops.start); p != 0) {
            record.reg1 = p;
            return set_form(record, Form::pair_pair);
        }
    }
    if (!ops.opens_memory(ops.start)) return Form::none;
    Paren paren = find_paren(ops, ops.start, "),");
    if (ops.at(paren.close) != ')') return Form::none;
    if (ops.ends_after(paren.inner, 2, ')', Prime::yes)) {
        if (std::uint8_t p = ops.reg16_at(paren.inner); p != 0) {
            record.reg1 = reg::indirect(p);
            return set_form(record, Form::indirect_pair);
        }
    }
    record.col1 = static_cast<std::uint8_t>(paren.inner);
    return set_form(record, Form::mem_pair);
}

Form classify_bit(const Operands& ops, LineRecord& record) {
    // The bit number stays at the scanned col1.
    if (!ops.has_comma()) return Form::none;
    if (ops.ends_after(ops.second, 1, ';')) {
        if (std::uint8_t r = ops.reg8_at(ops.second); r != 0) {
            record.reg1 = r;
            return set_form(record, Form::bit_reg);
        }
    }
    if (!ops.opens_memory(ops.second)) return Form::none;
    Paren paren = find_paren(ops, ops.second, ");\n");
    if (!closed_before(ops, paren, ';')) return Form::none;
    record.col2 = record.col1;
    std::uint8_t code = 0;
    switch (classify_indirect(ops, paren, record, code)) {
        case Inner::indirect: record.reg1 = code; return set_form(record, Form::bit_indirect);
        case Inner::indexed: record.reg1 = code; return set_form(record, Form::bit_indexed);
        case Inner::address:
        case Inner::no_match: break;
    }
    return Form::none;
}

// Matches one of the condition names at the operand start; returns its index or -1.
int match_condition(const Operands& ops, std::initializer_list<std::string_view> names, char t) {
    int index = 0;
    // Every condition name has one or two letters: compared letter by letter, past the end reading '\0'.
    const char first = ops.at(ops.start);
    const char second = ops.at(ops.start + 1);
    for (std::string_view name : names) {
        if (first == name[0] && (name.size() == 1 || second == name[1]) &&
            ends_name(ops.at(ops.start + name.size()), t)) {
            return index;
        }
        ++index;
    }
    return -1;
}

// The condition forms, in the order of the condition names.
constexpr Form condition_forms[] = {Form::cond_c,  Form::cond_nc, Form::cond_z, Form::cond_nz,
                                    Form::cond_po, Form::cond_pe, Form::cond_p, Form::cond_m};

Form classify_jump_cond(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return set_form(record, Form::always);
    record.col1 = static_cast<std::uint8_t>(ops.second);
    // The sign conditions (P, M) only in the extended mode, and never for JR, which has none.
    const bool signs = ops.extended && record.code != kw::JR;
    int index = signs ? match_condition(ops, {"C", "NC", "Z", "NZ", "PO", "PE", "P", "M"}, ',')
                      : match_condition(ops, {"C", "NC", "Z", "NZ", "PO", "PE"}, ',');
    if (index < 0) return Form::none;
    return set_form(record, condition_forms[index]);
}

Form classify_ret_cond(const Operands& ops, LineRecord& record) {
    if (ops.has_comma()) return Form::none;
    if (ops.extended) {
        // RET PO and RET PE test the parity flag, which the H8/300 lacks: an error, not a plain RTS.
        int index = match_condition(ops, {"C", "NC", "Z", "NZ", "PO", "PE", "P", "M"}, ';');
        if (index < 0) return set_form(record, Form::always);
        const Form form = condition_forms[index];
        if (form == Form::cond_po || form == Form::cond_pe) return Form::none;
        return set_form(record, form);
    }
    // P, M, PO and PE have no translation here: read as no condition they would make a
    // conditional return an unconditional RTS.
    int index = match_condition(ops, {"C", "NC", "Z", "NZ", "PO", "PE", "P", "M"}, ';');
    if (index < 0) return set_form(record, Form::always);
    if (index >= 4) return Form::none;
    return set_form(record, condition_forms[index]);
}

// Runs one classifier on a copy of the record, which is kept when it matches. Called with each
// classifier named directly, so that the compiler can inline it where it is tried.
Form try_form(Classifier classify, const Operands& ops, LineRecord& record) {
    LineRecord attempt = record;
    const Form form = classify(ops, attempt);
    if (form != Form::none) record = attempt;
    return form;
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
    if (text.size() < 2) return 0;
    switch (text[0]) {
        case 'A': return text[1] == 'F' ? reg::AF : 0;
        case 'B': return text[1] == 'C' ? reg::BC : 0;
        case 'D': return text[1] == 'E' ? reg::DE : 0;
        case 'H': return text[1] == 'L' ? reg::HL : 0;
        case 'I': return text[1] == 'X' ? reg::IX : text[1] == 'Y' ? reg::IY : 0;
        case 'S': return text[1] == 'P' ? reg::SP : 0;
        default: return 0;
    }
}

namespace {

// Extended mode: SUB A,B, AND A,0FH, CP A,ESC and the like name the accumulator that these
// instructions always use; the operand proper follows the comma.
void skip_explicit_accumulator(std::string_view line, LineRecord& record) {
    switch (record.code) {
        case kw::SUB:
        case kw::AND:
        case kw::OR:
        case kw::XOR:
        case kw::CP: break;
        default: return;
    }
    const Operands ops = prepare(line, record.col1, true);
    if (ops.at(ops.start) == 'A' && ops.skip_blanks(ops.start + 1) == ops.end && ops.has_comma() &&
        ops.second <= 0xFF) {
        record.col1 = static_cast<std::uint8_t>(ops.second);
    }
}

// Whether the instruction's operands are classified; the others need no look at the operand text.
bool takes_operand_forms(std::uint16_t code) {
    switch (code) {
        case kw::LD:
        case kw::ADD:
        case kw::ADC:
        case kw::SBC:
        case kw::SUB:
        case kw::AND:
        case kw::OR:
        case kw::XOR:
        case kw::CP:
        case kw::RLC:
        case kw::RRC:
        case kw::RL:
        case kw::RR:
        case kw::SLA:
        case kw::SRA:
        case kw::SRL:
        case kw::TST:
        case kw::INC:
        case kw::DEC:
        case kw::MLT:
        case kw::SET:
        case kw::RES:
        case kw::BIT:
        case kw::JP:
        case kw::CALL:
        case kw::JR:
        case kw::RET:
        case kw::EX:
        case kw::PUSH:
        case kw::POP: return true;
        default: return false;
    }
}

// LD with an 8-bit register first: no other form can take what classify_r8_first turns down (a
// pair needs two letters, a memory operand a parenthesis, and a register second is its own case).
Form classify_ld(const Operands& ops, LineRecord& record) {
    if (ops.has_comma() && ops.ends_after(ops.start, 1, ',') && ops.reg8_at(ops.start) != 0) {
        return try_form(classify_r8_first, ops, record);
    }
    Form form = try_form(classify_r8_second, ops, record);
    if (form == Form::none) form = try_form(classify_mem_imm, ops, record);
    if (form == Form::none) form = try_form(classify_pair_first, ops, record);
    if (form == Form::none) form = try_form(classify_pair_second, ops, record);
    return form;
}

}  // namespace

Form classify_operands(Context& ctx, std::string_view line, LineRecord& record) {
    // A NUL ends a line as its end does.
    return classify_nul_free_operands(ctx, before_nul(line), record);
}

Form classify_nul_free_operands(Context& ctx, std::string_view line, LineRecord& record) {
    if (!is_instruction(record.code)) return Form::none;
    if (!takes_operand_forms(record.code)) {
        switch (record.code) {
            case kw::RLCA:
            case kw::RRCA:
            case kw::RLA:
            case kw::RRA:
            case kw::RLD:
            case kw::RRD:
                // These always work on A; whatever follows the mnemonic is ignored.
                record.reg1 = reg::A;
                record.form = Form::reg;
                return Form::reg;
            default:
                record.form = Form::none;  // translated without operand analysis
                return Form::none;
        }
    }
    if (ctx.settings.extended) skip_explicit_accumulator(line, record);
    const Operands ops = prepare(line, record.col1, ctx.settings.extended);

    // A value in parentheses with more behind it, (X+1)*2, would be read as the memory operand
    // (X+1), the rest lost. The extended mode reads it as a value; otherwise it is refused.
    const bool continued_value =
        !ops.extended && (ops.paren_goes_on(ops.start) || (ops.has_comma() && ops.paren_goes_on(ops.second)));
    const LineRecord unclassified = record;

    // Every code here takes operand forms (takes_operand_forms): no match means an illegal operand.
    Form form = Form::none;
    switch (record.code) {
        case kw::LD: form = classify_ld(ops, record); break;
        case kw::ADD:
        case kw::ADC:
        case kw::SBC:
            form = try_form(classify_r8_first, ops, record);
            if (form == Form::none) form = try_form(classify_pair_first, ops, record);
            break;
        case kw::SUB:
        case kw::AND:
        case kw::OR:
        case kw::XOR:
        case kw::CP:
        case kw::RLC:
        case kw::RRC:
        case kw::RL:
        case kw::RR:
        case kw::SLA:
        case kw::SRA:
        case kw::SRL:
        case kw::TST: form = try_form(classify_single, ops, record); break;
        case kw::INC:
        case kw::DEC:
            form = try_form(classify_single, ops, record);
            if (form == Form::none) form = try_form(classify_pair, ops, record);
            break;
        case kw::MLT: form = try_form(classify_pair, ops, record); break;
        case kw::SET:
        case kw::RES:
        case kw::BIT: form = try_form(classify_bit, ops, record); break;
        case kw::JP:
            // JP (HL) and friends are single operands; a plain expression is a jump target.
            form = try_form(classify_single, ops, record);
            if (form == Form::imm || form == Form::none) {
                record.form = Form::none;
                form = try_form(classify_jump_cond, ops, record);
            }
            break;
        case kw::CALL:
        case kw::JR: form = try_form(classify_jump_cond, ops, record); break;
        case kw::RET: form = try_form(classify_ret_cond, ops, record); break;
        case kw::EX:
            form = try_form(classify_pair_second, ops, record);
            if (form == Form::pair_pair && record.reg1 == reg::AF) form = Form::af;
            break;
        case kw::PUSH:
        case kw::POP:
            form = try_form(classify_pair, ops, record);
            if (form == Form::pair && record.reg1 == reg::AF) form = Form::af;
            break;
        default: break;
    }

    if (continued_value) {
        record = unclassified;
        form = Form::none;
    }
    if (form == Form::none) {
        ctx.console.print("(%d) ERROR: illegal operand\n", ctx.includes.line_count());
        record.code = in_error(record.code);
    }
    record.form = form;
    return form;
}
