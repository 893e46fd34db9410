#include "reading/classifier.h"

#include <array>
#include <initializer_list>
#include <string_view>

#include "reading/text_scan.h"

namespace {

// What the text between parentheses turned out to be.
enum class Inner { no_match, indirect, indexed, address };

enum class Prime { no, yes };

// The characters that end a register name whatever the terminator: white space and the NUL past
// the end of the text (a last line without a newline behaves like one with it).
constexpr std::array<bool, 256> name_enders = [] {
    std::array<bool, 256> table{};
    for (int ch = 0; ch < 256; ++ch) table[static_cast<std::size_t>(ch)] = is_white_space(static_cast<char>(ch));
    table[0] = true;
    return table;
}();

// A character that ends a register name: white space, the terminator `t`, or the end of the text.
bool ends_name(char ch, char t) { return ch == t || name_enders[static_cast<unsigned char>(ch)]; }

// The 8-bit register a character names: A = 1 ... L = 8; anything else 0 (I and R are no registers here).
constexpr std::array<std::uint8_t, 256> reg8_by_char = [] {
    std::array<std::uint8_t, 256> table{};
    table['A'] = reg::A;
    table['F'] = reg::F;
    table['B'] = reg::B;
    table['C'] = reg::C;
    table['D'] = reg::D;
    table['E'] = reg::E;
    table['H'] = reg::H;
    table['L'] = reg::L;
    return table;
}();
std::uint8_t reg8_of(char ch) { return reg8_by_char[static_cast<unsigned char>(ch)]; }

// The pair two characters name: AF = 9 ... SP = 15; anything else 0. Each pair but IY is told by
// its first character, which fixes the second.
struct PairStart {
    char second = '\0';
    std::uint8_t code = 0;
};
constexpr std::array<PairStart, 256> pair_starts = [] {
    std::array<PairStart, 256> table{};
    table['A'] = {'F', reg::AF};
    table['B'] = {'C', reg::BC};
    table['D'] = {'E', reg::DE};
    table['H'] = {'L', reg::HL};
    table['I'] = {'X', reg::IX};
    table['S'] = {'P', reg::SP};
    return table;
}();
std::uint8_t pair_of(char first, char second) {
    const PairStart& start = pair_starts[static_cast<unsigned char>(first)];
    if (start.second == second) return start.code;  // 0 for a first character that begins no pair
    return first == 'I' && second == 'Y' ? reg::IY : 0;
}

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

// The characters that can stand between parentheses with no nesting or string among them.
constexpr std::array<bool, 256> plain_inside_paren = [] {
    std::array<bool, 256> table{};
    for (int ch = 0; ch < 256; ++ch) {
        const char c = static_cast<char>(ch);
        table[static_cast<std::size_t>(ch)] =
            is_letter(c) || is_digit(c) || is_blank(c) || c == '_' || c == '+' || c == '-';
    }
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

    std::uint8_t reg8_at(std::size_t pos) const { return reg8_of(at(pos)); }
    std::uint8_t reg16_at(std::size_t pos) const { return pair_of(at(pos), at(pos + 1)); }

    // The operand at `pos` is a memory operand: it opens a parenthesis. In the extended mode an
    // operand that goes on behind the parenthesis matching its first, (RTABLE-DTABLE)/2, is a
    // value instead, as the relocating assemblers read it.
    bool opens_memory(std::size_t pos) const { return at(pos) == '(' && !(extended && goes_on_after_paren(pos)); }

    // The operand at `pos` is a value in parentheses that an operator continues: (X+1)*2, (X) SHR 8.
    bool paren_goes_on(std::size_t pos) const { return at(pos) == '(' && operator_after_paren(pos); }

    // Whether an operator follows the parenthesis that matches the one at `open`.
    bool operator_after_paren(std::size_t open) const {
        const std::size_t close = closing_paren(open);
        if (close == std::string_view::npos) return false;
        const std::size_t next = skip_blanks(close + 1);
        if (operator_chars[static_cast<unsigned char>(at(next))]) return true;
        if (!is_letter(at(next))) return false;  // every operator word begins with a letter
        std::size_t end = next;
        while (is_name_char(at(end))) ++end;
        const std::string_view word = from(next).substr(0, end - next);
        if (word.size() != 2 && word.size() != 3) return false;  // no operator word is longer or shorter
        for (std::string_view keyword : {"AND", "OR", "XOR", "SHR", "SHL", "MOD", "EQ", "NE", "LT", "LE", "GT", "GE"}) {
            if (word == keyword) return true;
        }
        return false;
    }

    // matching_paren(open), found at once for the parentheses most operands hold, (HL) or
    // (IX+4): up to their first character that is no letter, digit, '_', '+', '-' or blank
    // nothing nests and no string opens, so when that character is ')' it is the match.
    std::size_t closing_paren(std::size_t open) const {
        const char* const text = line.data();
        std::size_t close = open + 1;
        while (close < line.size() && plain_inside_paren[static_cast<unsigned char>(text[close])]) ++close;
        return close < line.size() && text[close] == ')' ? close : matching_paren(open);
    }

    // The ')' matching the '(' at `open`, past nested ones and quoted strings; npos when the
    // operand ends first.
    std::size_t matching_paren(std::size_t open) const {
        const char* const text = line.data();
        // A line that ends with its newline, as every line the reader gives does, is looked through
        // without counting: the newline ends the search, and a quoted string closes before it.
        const bool ends_with_newline = !line.empty() && line.back() == '\n';
        int depth = 0;
        for (std::size_t i = open;; ++i) {
            if (ends_with_newline) {
                while (!paren_stops[static_cast<unsigned char>(text[i])]) ++i;
            } else {
                while (i < line.size() && !paren_stops[static_cast<unsigned char>(text[i])]) ++i;
                if (i >= line.size()) return std::string_view::npos;
            }
            const char ch = text[i];
            if (is_quote(ch) && opens_quoted_string(line, i)) {
                i = line.find(ch, i + 1);
                if (i == std::string_view::npos) return i;
                continue;
            }
            if (ch == ';' || ch == '\n') return std::string_view::npos;
            if (ch == '(') ++depth;
            if (ch == ')' && --depth == 0) return i;
        }
    }

    bool goes_on_after_paren(std::size_t open) const {
        const std::size_t close = closing_paren(open);
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

// At a quote in an operand: the closing quote when the quote opens a string, else the quote
// itself. Out of the operand loop's way, as few operands hold one.
[[gnu::noinline]] std::size_t past_quoted_string(std::string_view line, std::size_t quote) {
    return opens_quoted_string(line, quote) ? line.find(line[quote], quote + 1) : quote;
}

// find_unquoted(line, ",\n;", from), for the one set of stops that every instruction line needs.
inline std::size_t operand_end(std::string_view line, std::size_t from) {
    const char* const text = line.data();
    // A line that ends with its newline, as every line the reader gives does, is looked through
    // without counting: the newline is a stop, and a quoted string closes before it.
    if (from < line.size() && line.back() == '\n') {
        for (std::size_t i = from;; ++i) {
            const char ch = text[i];
            if (!operand_stops[static_cast<unsigned char>(ch)]) continue;
            if (!is_quote(ch)) return i;
            i = past_quoted_string(line, i);
        }
    }
    for (std::size_t i = from; i < line.size(); ++i) {
        const char ch = text[i];
        if (!operand_stops[static_cast<unsigned char>(ch)]) continue;
        if (!is_quote(ch)) return i;
        i = past_quoted_string(line, i);
    }
    return std::string_view::npos;
}

// `line` holds no NUL: the caller has cut it at the first.
inline Operands prepare(std::string_view line, std::size_t col1, bool extended) {
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

// The condition named at the operand start, as an index into condition_forms, or -1: C, NC, Z,
// NZ, PO, PE, and with `signs` P and M, each ending at white space, the terminator `t` or the end.
int condition_at(const Operands& ops, char t, bool signs) {
    const char second = ops.at(ops.start + 1);
    const bool one_letter = ends_name(second, t);
    const bool two_letters = ends_name(ops.at(ops.start + 2), t);
    switch (ops.at(ops.start)) {
        case 'C': return one_letter ? 0 : -1;
        case 'N':
            if (two_letters && second == 'C') return 1;
            return two_letters && second == 'Z' ? 3 : -1;
        case 'Z': return one_letter ? 2 : -1;
        case 'P':
            if (two_letters && second == 'O') return 4;
            if (two_letters && second == 'E') return 5;
            return signs && one_letter ? 6 : -1;
        case 'M': return signs && one_letter ? 7 : -1;
        default: return -1;
    }
}

// The condition forms, in the order of the condition names.
constexpr Form condition_forms[] = {Form::cond_c,  Form::cond_nc, Form::cond_z, Form::cond_nz,
                                    Form::cond_po, Form::cond_pe, Form::cond_p, Form::cond_m};

Form classify_jump_cond(const Operands& ops, LineRecord& record) {
    if (!ops.has_comma()) return set_form(record, Form::always);
    record.col1 = static_cast<std::uint8_t>(ops.second);
    // The sign conditions (P, M) only in the extended mode, and never for JR, which has none.
    const bool signs = ops.extended && record.code != kw::JR;
    const int index = condition_at(ops, ',', signs);
    if (index < 0) return Form::none;
    return set_form(record, condition_forms[index]);
}

Form classify_ret_cond(const Operands& ops, LineRecord& record) {
    if (ops.has_comma()) return Form::none;
    if (ops.extended) {
        // RET PO and RET PE test the parity flag, which the H8/300 lacks: an error, not a plain RTS.
        const int index = condition_at(ops, ';', true);
        if (index < 0) return set_form(record, Form::always);
        const Form form = condition_forms[index];
        if (form == Form::cond_po || form == Form::cond_pe) return Form::none;
        return set_form(record, form);
    }
    // P, M, PO and PE have no translation here: read as no condition they would make a
    // conditional return an unconditional RTS.
    const int index = condition_at(ops, ';', true);
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

std::uint8_t reg8_code(std::string_view text) { return text.empty() ? 0 : reg8_of(text[0]); }

std::uint8_t reg16_code(std::string_view text) { return text.size() < 2 ? 0 : pair_of(text[0], text[1]); }

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

// How the operands of an instruction are classified, chosen by its mnemonic.
enum class Group : std::uint8_t {
    none,        // translated without operand analysis
    on_a,        // always works on A; whatever follows the mnemonic is ignored
    ld,          // every form LD takes
    arithmetic,  // ADD, ADC, SBC: a register or a pair first
    single,      // one operand: SUB, AND, OR, XOR, CP, the shifts and rotations, TST
    inc_dec,     // one operand or a pair
    mlt,         // a pair
    bit,         // a bit number and a register or memory operand
    jp,          // JP (HL) and friends, or a jump target with a condition
    call_jr,     // a jump target with a condition
    ret,         // a condition or nothing
    ex,          // two pairs, or (SP) and a pair
    push_pop,    // a pair
};

// The group of every mnemonic, by the high byte of its code.
constexpr std::array<Group, 256> groups_by_mnemonic = [] {
    std::array<Group, 256> groups{};
    const auto put = [&groups](std::initializer_list<std::uint16_t> codes, Group group) {
        for (std::uint16_t code : codes) groups[code >> 8] = group;
    };
    put({kw::RLCA, kw::RRCA, kw::RLA, kw::RRA, kw::RLD, kw::RRD}, Group::on_a);
    put({kw::LD}, Group::ld);
    put({kw::ADD, kw::ADC, kw::SBC}, Group::arithmetic);
    put({kw::SUB, kw::AND, kw::OR, kw::XOR, kw::CP, kw::RLC, kw::RRC, kw::RL, kw::RR, kw::SLA, kw::SRA, kw::SRL,
         kw::TST},
        Group::single);
    put({kw::INC, kw::DEC}, Group::inc_dec);
    put({kw::MLT}, Group::mlt);
    put({kw::SET, kw::RES, kw::BIT}, Group::bit);
    put({kw::JP}, Group::jp);
    put({kw::CALL, kw::JR}, Group::call_jr);
    put({kw::RET}, Group::ret);
    put({kw::EX}, Group::ex);
    put({kw::PUSH, kw::POP}, Group::push_pop);
    return groups;
}();

// An instruction code carries its mnemonic in the high byte and nothing in the low one.
Group group_of(std::uint16_t code) { return (code & 0xFF) == 0 ? groups_by_mnemonic[code >> 8] : Group::none; }

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

// Tries the classifiers of the group in turn; none matching means an illegal operand.
Form classify_by_trying(const Operands& ops, Group group, LineRecord& record) {
    Form form = Form::none;
    switch (group) {
        case Group::ld: return classify_ld(ops, record);
        case Group::arithmetic:
            form = try_form(classify_r8_first, ops, record);
            if (form == Form::none) form = try_form(classify_pair_first, ops, record);
            return form;
        case Group::single: return try_form(classify_single, ops, record);
        case Group::inc_dec:
            form = try_form(classify_single, ops, record);
            if (form == Form::none) form = try_form(classify_pair, ops, record);
            return form;
        case Group::mlt: return try_form(classify_pair, ops, record);
        case Group::bit: return try_form(classify_bit, ops, record);
        case Group::jp:
            // JP (HL) and friends are single operands; a plain expression is a jump target.
            form = try_form(classify_single, ops, record);
            if (form == Form::imm || form == Form::none) {
                record.form = Form::none;
                form = try_form(classify_jump_cond, ops, record);
            }
            return form;
        case Group::call_jr: return try_form(classify_jump_cond, ops, record);
        case Group::ret: return try_form(classify_ret_cond, ops, record);
        case Group::ex:
            form = try_form(classify_pair_second, ops, record);
            return form == Form::pair_pair && record.reg1 == reg::AF ? Form::af : form;
        case Group::push_pop:
            form = try_form(classify_pair, ops, record);
            return form == Form::pair && record.reg1 == reg::AF ? Form::af : form;
        case Group::none:
        case Group::on_a: break;
    }
    return Form::none;
}

// The registers the two operands name, each read up to its terminator: the first up to a ','
// when a second follows (a ';' otherwise), the second up to a ';'. 0 where an operand names none.
struct NamedRegisters {
    std::uint8_t first8 = 0;    // an 8-bit register
    std::uint8_t first16 = 0;   // a pair
    std::uint8_t first16p = 0;  // a pair, perhaps primed (AF')
    std::uint8_t second8 = 0;
    std::uint8_t second16 = 0;
    std::uint8_t second16p = 0;
};

NamedRegisters named_registers(const Operands& ops, bool comma) {
    NamedRegisters named;
    const char t = comma ? ',' : ';';
    const char a = ops.at(ops.start);
    const char b = ops.at(ops.start + 1);
    if (ends_name(b, t)) named.first8 = reg8_of(a);
    if (const std::uint8_t pair = pair_of(a, b); pair != 0) {
        if (ends_name(ops.at(ops.start + 2), t)) named.first16 = pair;
        if (ops.ends_after(ops.start, 2, t, Prime::yes)) named.first16p = pair;
    }
    if (!comma) return named;
    const char c = ops.at(ops.second);
    const char d = ops.at(ops.second + 1);
    if (ends_name(d, ';')) named.second8 = reg8_of(c);
    if (const std::uint8_t pair = pair_of(c, d); pair != 0) {
        if (ends_name(ops.at(ops.second + 2), ';')) named.second16 = pair;
        if (ops.ends_after(ops.second, 2, ';', Prime::yes)) named.second16p = pair;
    }
    return named;
}

// The classification of operands neither of which opens a parenthesis, as classify_by_trying
// makes it, with each operand read once: every parenthesised reading drops out, and the forms
// follow from the registers the operands name. Like a classifier, it fills the record only for
// the form it returns.
Form classify_without_parens(const Operands& ops, Group group, LineRecord& record) {
    const bool comma = ops.has_comma();
    // Jumps, calls and returns name a condition, if anything: their registers are not read.
    const bool names_registers = group != Group::call_jr && group != Group::ret;
    const NamedRegisters named = names_registers ? named_registers(ops, comma) : NamedRegisters{};
    const auto second_column = static_cast<std::uint8_t>(ops.second);

    // classify_r8_first, classify_pair_first, classify_single and classify_pair.
    const auto r8_first = [&]() {
        if (!comma || named.first8 == 0 || (named.second8 == 0 && named.second16 != 0)) return Form::none;
        record.reg1 = named.first8;
        if (named.second8 != 0) {
            record.reg2 = named.second8;
            return Form::reg_reg;
        }
        record.col1 = second_column;
        return Form::reg_imm;
    };
    const auto pair_first = [&]() {
        if (!comma || named.first16 == 0) return Form::none;
        record.reg1 = named.first16;
        if (named.second16p != 0) {
            record.reg2 = named.second16p;
            return Form::pair_pair;
        }
        record.col1 = second_column;
        return Form::pair_imm;
    };
    const auto single = [&]() {
        if (comma) return Form::none;
        if (named.first8 != 0) {
            record.reg1 = named.first8;
            return Form::reg;
        }
        return named.first16 != 0 ? Form::none : Form::imm;
    };
    const auto pair = [&]() {
        if (comma || named.first16p == 0) return Form::none;
        record.reg1 = named.first16p;
        return Form::pair;
    };

    Form form = Form::none;
    switch (group) {
        case Group::ld:
            // A register second with no register or memory operand first matches nothing, and
            // classify_mem_imm needs a parenthesis.
            if (comma && named.first8 != 0) return r8_first();
            form = pair_first();
            if (form != Form::none || !comma || named.first16p == 0 || named.second16p == 0) return form;
            record.reg1 = named.first16p;  // classify_pair_second: AF',HL
            record.reg2 = named.second16p;
            return Form::pair_pair;
        case Group::arithmetic: form = r8_first(); return form != Form::none ? form : pair_first();
        case Group::single: return single();
        case Group::inc_dec: form = single(); return form != Form::none ? form : pair();
        case Group::mlt: return pair();
        case Group::bit:
            if (!comma || named.second8 == 0) return Form::none;
            record.reg1 = named.second8;
            return Form::bit_reg;
        case Group::jp:
            form = single();
            if (form != Form::imm && form != Form::none) return form;
            [[fallthrough]];
        case Group::call_jr: {
            if (!comma) return Form::always;
            // The sign conditions (P, M) only in the extended mode, and never for JR, which has none.
            const int index = condition_at(ops, ',', ops.extended && record.code != kw::JR);
            if (index < 0) return Form::none;
            record.col1 = second_column;
            return condition_forms[index];
        }
        case Group::ret: {
            if (comma) return Form::none;
            const int index = condition_at(ops, ';', true);
            if (index < 0) return Form::always;
            const Form condition = condition_forms[index];
            // RET PO and RET PE test the parity flag, which the H8/300 lacks: an error, not a plain
            // RTS; P and M are conditions of the extended mode only.
            if (condition == Form::cond_po || condition == Form::cond_pe) return Form::none;
            return ops.extended || index < 4 ? condition : Form::none;
        }
        case Group::ex:
            if (!comma || named.first16p == 0 || named.second16p == 0) return Form::none;
            record.reg1 = named.first16p;
            record.reg2 = named.second16p;
            return named.first16p == reg::AF ? Form::af : Form::pair_pair;
        case Group::push_pop: form = pair(); return form == Form::pair && record.reg1 == reg::AF ? Form::af : form;
        case Group::none:
        case Group::on_a: break;
    }
    return Form::none;
}

}  // namespace

Form classify_operands(Context& ctx, std::string_view line, LineRecord& record) {
    // A NUL ends a line as its end does.
    return classify_nul_free_operands(ctx, before_nul(line), record);
}

namespace {

// Operands of any shape, parenthesised ones among them: each classifier of the group is tried.
// Kept apart from the quick reading, which most lines take.
[[gnu::noinline]] Form classify_any(const Operands& ops, Group group, LineRecord& record) {
    // A value in parentheses with more behind it, (X+1)*2, would be read as the memory operand
    // (X+1), the rest lost. The extended mode reads it as a value; otherwise it is refused.
    const bool continued_value =
        !ops.extended && (ops.paren_goes_on(ops.start) || (ops.has_comma() && ops.paren_goes_on(ops.second)));
    const LineRecord unclassified = record;
    const Form form = classify_by_trying(ops, group, record);
    if (!continued_value) return form;
    record = unclassified;
    return Form::none;
}

// Out of the classifier's way: few lines are in error.
[[gnu::noinline]] void report_illegal_operand(Context& ctx, LineRecord& record) {
    ctx.console.print("(%d) ERROR: illegal operand\n", ctx.includes.line_count());
    record.code = in_error(record.code);
}

// Classifies the operands of an instruction of `group`, by the quick reading when it applies or
// by trying the group's classifiers in turn; reports an illegal operand.
Form classify_group(Context& ctx, std::string_view line, LineRecord& record, Group group, bool by_trying) {
    if (ctx.settings.extended) skip_explicit_accumulator(line, record);
    const Operands ops = prepare(line, record.col1, ctx.settings.extended);

    const bool quick = !by_trying && ops.at(ops.start) != '(' && !(ops.has_comma() && ops.at(ops.second) == '(');
    const Form form = quick ? classify_without_parens(ops, group, record) : classify_any(ops, group, record);
    if (form == Form::none) {
        report_illegal_operand(ctx, record);
    }
    record.form = form;
    return form;
}

Form classify_instruction(Context& ctx, std::string_view line, LineRecord& record, bool by_trying) {
    if (!is_instruction(record.code)) return Form::none;
    const Group group = group_of(record.code);
    switch (group) {
        case Group::none:
            record.form = Form::none;  // translated without operand analysis
            return Form::none;
        case Group::on_a:
            // These always work on A; whatever follows the mnemonic is ignored.
            record.reg1 = reg::A;
            record.form = Form::reg;
            return Form::reg;
        default: return classify_group(ctx, line, record, group, by_trying);
    }
}

}  // namespace

Form classify_nul_free_operands(Context& ctx, std::string_view line, LineRecord& record) {
    return classify_instruction(ctx, line, record, false);
}

Form classify_operands_by_trying(Context& ctx, std::string_view line, LineRecord& record) {
    return classify_instruction(ctx, before_nul(line), record, true);
}
