#include "expressions/expression_rewriter.h"

#include <algorithm>
#include <array>
#include <optional>

#include "expressions/token_rewriter.h"
#include "reading/text_scan.h"

namespace {

// Where the name characters from `at` on end; the character before `at` is one. An operand's text
// runs to the end of its line, which seldom ends in a name character (it ends in a newline): that
// last character then stops the scan, which need not look for the end of the text.
inline std::size_t name_end(std::string_view text, std::size_t at) {
    if (!is_name_char(text.back())) {
        while (is_name_char(text[at])) ++at;
        return at;
    }
    while (at < text.size() && is_name_char(text[at])) ++at;
    return at;
}

// How the general walk reads the end of an operand whose last item ends at `at`: white space, then
// ',' (more follows), or ';', a NUL or the end (complete). False for anything else.
inline bool read_rewrite_ending(std::string_view text, std::size_t at, Rewrite& result) {
    while (at < text.size() && is_white_space(text[at])) ++at;
    if (at < text.size() && text[at] == ',') {
        result = Rewrite::more_follows;
        return true;
    }
    if (at < text.size() && text[at] != ';' && text[at] != '\0') return false;
    result = Rewrite::complete;
    return true;
}

// "H'" and the number in hexadecimal, after what `out` holds: made on the stack and appended at
// once.
void append_number(std::string& out, std::vector<Piece>* pieces, std::uint16_t value) {
    std::array<char, 6> text{'H', '\''};
    std::array<char, 4> digits{};
    const std::size_t start = hex_into(digits, value);
    std::copy(digits.begin() + static_cast<std::ptrdiff_t>(start), digits.end(), text.begin() + 2);
    const std::size_t length = 2 + digits.size() - start;
    out.append(text.data(), length);
    if (pieces != nullptr) add_piece(*pieces, PieceKind::number, std::string_view(text.data(), length), value);
}

// The value of a number as number_value gives it at 16 bits. Most numbers are decimal digits in
// the decimal radix, or hexadecimal digits with an H: those are read here in one pass, any other
// by number_value. `token` starts with a digit.
std::uint16_t token_value(char default_radix, std::string_view token) {
    const char last = token.back();
    std::uint32_t value = 0;
    if (is_digit(last) && default_radix == 'D') {
        for (char ch : token) {
            if (!is_digit(ch)) return number_value(default_radix, token, Width::word);
            value = (value * 10 + static_cast<std::uint32_t>(ch - '0')) & 0xFFFF;
        }
        return static_cast<std::uint16_t>(value);
    }
    if (last == 'H' || last == 'h') {
        for (char ch : token.substr(0, token.size() - 1)) {
            const char lower = static_cast<char>(ch | 0x20);
            std::uint32_t digit = 0;
            if (is_digit(ch)) {
                digit = static_cast<std::uint32_t>(ch - '0');
            } else if (lower >= 'a' && lower <= 'f') {
                digit = static_cast<std::uint32_t>(lower - 'a' + 10);
            } else {
                return number_value(default_radix, token, Width::word);
            }
            value = (value * 16 + digit) & 0xFFFF;
        }
        return static_cast<std::uint16_t>(value);
    }
    return number_value(default_radix, token, Width::word);
}

// A character constant alone, rewritten as the general walk would: copied when the assembler reads
// its characters alike, else not translatable (the caller writes its value). False when anything
// but the operand's end follows it.
bool rewrite_constant(std::string_view text, std::string& out, std::vector<Piece>* pieces, Rewrite& result) {
    const std::size_t length = copyable_constant(text);
    if (length == 0) {
        result = Rewrite::not_translatable;
        return true;
    }
    if (!read_rewrite_ending(text, length, result)) return false;
    const std::string_view constant = text.substr(0, length);
    out += constant;
    if (pieces != nullptr)
        add_piece(*pieces, PieceKind::number, constant, constant_value(constant.substr(1, length - 2)));
    return true;
}

// Names and numbers joined by + and - (LABEL+1), and nothing else, rewritten as the general walk
// would; false (and `out`, `pieces` and `named` as they were) for any other operand. A NUL ends the
// operand as the end of `text` does (the general walk cuts it there).
bool rewrite_sum(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                 bool& named, std::vector<Piece>* pieces, Rewrite& result) {
    const std::size_t start = out.size();
    std::size_t i = 0;
    while (i < text.size() && is_name_start(text[i])) {
        const std::size_t end = name_end(text, i + 1);
        const std::string_view token = text.substr(i, std::min(end - i, token_max));
        if (is_digit(token.front())) {
            // The assembler computes the expression: its numbers keep all 16 bits.
            append_number(out, pieces, token_value(eval.default_radix, token));
        } else {
            if (keyword_operator(token) != 0) break;
            named = true;
            const bool parameter = eval.in_macro_body && is_macro_parameter(names, token);
            if (parameter) out.push_back('\\');
            out += token;
            if (pieces != nullptr) add_piece(*pieces, parameter ? PieceKind::parameter : PieceKind::name, token);
        }
        i = end;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            out.push_back(text[i]);
            if (pieces != nullptr) add_piece(*pieces, PieceKind::binary, text.substr(i, 1));
            ++i;
            continue;
        }
        if (read_rewrite_ending(text, i, result)) return true;
        break;
    }
    out.resize(start);
    if (pieces != nullptr) pieces->clear();
    named = false;
    return false;
}

// translate_expression, writing after what `out` holds (which is kept). Most operands are one
// character constant, or names and numbers joined by + and -: they take a short walk, and only the
// others the general one.
Rewrite translate_after(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                        bool* symbolic, std::vector<Piece>* pieces) {
    if (pieces != nullptr) pieces->clear();
    bool named = false;
    Rewrite result = Rewrite::complete;
    const bool plain = !text.empty() && text.front() == '\''
                           ? rewrite_constant(text, out, pieces, result)
                           : rewrite_sum(eval, names, text, out, named, pieces, result);
    if (!plain) result = rewrite_any_operand(eval, names, text, out, named, pieces);
    if (symbolic != nullptr) *symbolic = named;
    return result;
}

}  // namespace

Rewrite translate_expression(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                             bool* symbolic, std::vector<Piece>* pieces) {
    out.clear();
    return translate_after(eval, names, text, out, symbolic, pieces);
}

Rewrite translate_expression_after(const EvalState& eval, const DataNameTable& names, std::string_view text,
                                   std::string_view prefix, std::string& out, bool* symbolic,
                                   std::vector<Piece>* pieces) {
    // Emptied and the prefix (a character or two) appended: `out` keeps its room, and a general
    // assignment costs more than the append.
    out.clear();
    out.append(prefix);
    return translate_after(eval, names, text, out, symbolic, pieces);
}

std::string_view lone_name(const EvalState& eval, std::string_view text) {
    // In a macro body a name may be a parameter, written with a backslash; a number is no name.
    if (eval.in_macro_body || text.empty() || !is_name_start(text.front()) || is_digit(text.front())) return {};
    const std::size_t end = name_end(text, 1);
    // A longer name is cut to its first 16 characters, and operator keywords have two to four.
    if (end > token_max || (end <= 4 && keyword_operator(text.substr(0, end)) != 0)) return {};
    Rewrite result{};
    if (!read_rewrite_ending(text, end, result) || result != Rewrite::complete) return {};
    return text.substr(0, end);
}

namespace {

// How an operand read in one walk ends, as each of the two general walks reads it.
struct Ending {
    bool more = false;                // the rewrite: a ',' follows
    std::optional<std::size_t> next;  // the evaluation: where the next item starts
};

// Reads the end of an operand whose last item ends at `i`. The evaluation takes blanks and then
// ',', ';', a newline, a NUL or the end; the rewrite takes any white space and then ',', ';', a
// NUL or the end. False for any other ending, and for one the two read differently ('.').
inline bool read_ending(std::string_view text, std::size_t i, Ending& ending) {
    std::size_t stop = i;
    while (stop < text.size() && is_blank(text[stop])) ++stop;
    const char ch = stop < text.size() ? text[stop] : '\0';
    if (ch == ',') {
        ending.more = true;
        ++stop;
        while (stop < text.size() && is_blank(text[stop])) ++stop;
        ending.next = stop;
        return true;
    }
    if (ch == ';' || ch == '\0') return true;
    if (ch != '\n') return false;
    // The evaluation ends at the newline; the rewrite reads on past it as white space.
    while (stop < text.size() && text[stop] != '\0' && is_white_space(text[stop])) ++stop;
    if (stop >= text.size() || text[stop] == '\0' || text[stop] == ';') return true;
    if (text[stop] != ',') return false;
    ending.more = true;
    return true;
}

// Gives the evaluation where the next item starts. Copied by its parts: the ending's optional was
// just written in two narrow stores, which a copy of it whole reads back in one wide load that
// waits until both stores are done.
inline void take_next(Evaluation& value, const Ending& ending) {
    if (ending.next) {
        value.next = *ending.next;
    } else {
        value.next.reset();
    }
}

void set_one_walk_value(Evaluation& value, Width width, std::uint32_t sum) {
    sum &= 0xFFFF;
    value.value = static_cast<std::uint16_t>(width == Width::byte ? sum & 0xFF : sum);
    value.truncated = width == Width::byte && sum > 0xFF && sum < 0xFF80;
    value.has_value = true;
}

// The value of a name in a one-walk sum: its value when defined, else a stand-in of 1 for a label
// (the first is kept in `address_name`, as the general evaluation reports it) or 0 for an
// undefined name (the last is kept in `undefined_name`).
[[gnu::always_inline]] inline std::uint32_t one_walk_name_value(const DataNameTable& names, const UpperName& name,
                                                                std::string_view token, std::string_view& address_name,
                                                                std::string_view& undefined_name) {
    if (const DataNameEntry* entry = data_name_find_padded(names, name.chars.data(), name.length)) return entry->value;
    if (is_address_name(names, name.view())) {
        if (address_name.empty()) address_name = token;
        return 1;
    }
    undefined_name = token;
    return 0;
}

// The evaluation of a one-walk sum, and how its rewrite ends. Field by field rather than from a
// fresh Evaluation: most operands are fine, and their outcome keeps the room of its string. A name
// is reported by its first 12 characters, upper-cased only here. This and the lookup above are
// inline in both walks that use them: as calls they cost the one-name walk, most operands' way,
// more than their work.
[[gnu::always_inline]] inline void set_one_walk_evaluation(Evaluation& value, Width width, std::uint32_t sum,
                                                           std::string_view address_name,
                                                           std::string_view undefined_name, const Ending& ending,
                                                           Rewrite& rewrite) {
    value.value = 0;
    value.has_value = false;
    value.truncated = false;
    if (!undefined_name.empty()) {
        value.outcome.status = EvalStatus::undefined_name;
        upper_case_into(value.outcome.undefined_name, undefined_name.substr(0, 12));
    } else if (!address_name.empty()) {
        value.outcome.status = EvalStatus::address_name;
        upper_case_into(value.outcome.undefined_name, address_name.substr(0, 12));
    } else {
        value.outcome.status = EvalStatus::ok;
        value.outcome.undefined_name.clear();
        set_one_walk_value(value, width, sum);
    }
    take_next(value, ending);
    rewrite = ending.more ? Rewrite::more_follows : Rewrite::complete;
}

// A character constant alone ('A', '?'), evaluated and rewritten in one walk as the two general
// walks would do it: the evaluation takes the last two characters as the value, and the rewrite
// copies the constant when the H8/300 assembler reads its characters alike (else the caller writes
// the value). False for any other operand, and for one with a quote, newline or NUL inside.
bool evaluate_and_rewrite_constant(std::string_view text, Width width, Evaluation& value, std::string& out,
                                   std::vector<Piece>* pieces, Rewrite& rewrite) {
    if (text.empty() || text.front() != '\'') return false;
    std::size_t close = 1;
    bool copies = true;
    std::uint32_t characters = 0;
    for (; close < text.size() && text[close] != '\''; ++close) {
        const char ch = text[close];
        if (is_quote(ch) || ch == '\n' || ch == '\0') return false;
        copies = copies && copies_in_constant(ch);
        characters = ((characters << 8) | static_cast<unsigned char>(ch)) & 0xFFFF;
    }
    if (close >= text.size()) return false;
    Ending ending;
    if (!read_ending(text, close + 1, ending)) return false;
    value = Evaluation{};
    if (close > 1) set_one_walk_value(value, width, characters);
    take_next(value, ending);
    if (close == 1 || !copies) {
        rewrite = Rewrite::not_translatable;
        return true;
    }
    const std::string_view constant = text.substr(0, close + 1);
    out += constant;
    if (pieces != nullptr)
        add_piece(*pieces, PieceKind::number, constant, constant_value(constant.substr(1, close - 1)));
    rewrite = ending.more ? Rewrite::more_follows : Rewrite::complete;
    return true;
}

// Names, numbers and character constants joined by + and -, a sign perhaps in front, evaluated
// and rewritten in one walk exactly as the two general walks would do it: the sum modulo 65536 is
// the same whatever the grouping, and the rewrite copies each name and constant and writes each
// number as H' and its 16 bits. False (and `out`, `pieces` as they were) for any other operand,
// and for the few that the two walks read differently from each other: a number of more than 16
// characters or with a quote in it, an ending other than those of read_ending, and an operand in a
// macro body (whose names may be parameters).
bool evaluate_and_rewrite_sum(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                              Evaluation& value, std::string& out, bool& named, std::vector<Piece>* pieces,
                              Rewrite& rewrite) {
    if (eval.in_macro_body) return false;
    const std::size_t out_start = out.size();
    std::uint32_t sum = 0;
    // The first label and the last undefined name, as the general evaluation reports them; kept as
    // the source spells them, and upper-cased only for the report.
    std::string_view address_name;
    std::string_view undefined_name;
    char op = '+';
    std::size_t i = 0;
    // A sign in front (-1, as an index register's displacement is written) is a unary operator to
    // both walks: the sum starts from 0 either way.
    if (text.size() > 1 && (text[0] == '+' || text[0] == '-') && (is_name_start(text[1]) || text[1] == '\'')) {
        op = text[0];
        out.push_back(op);
        if (pieces != nullptr) add_piece(*pieces, PieceKind::unary, text.substr(0, 1));
        i = 1;
    }
    for (;;) {
        std::uint32_t item = 0;
        if (i < text.size() && text[i] == '\'') {
            // A character constant ('A'-'0') the rewrite can copy; any other is left to the general
            // walks.
            const std::size_t length = copyable_constant(text.substr(i));
            if (length == 0) break;
            const std::string_view constant = text.substr(i, length);
            item = constant_value(constant.substr(1, length - 2));
            out += constant;
            if (pieces != nullptr) add_piece(*pieces, PieceKind::number, constant, static_cast<std::uint16_t>(item));
            i += length;
        } else if (i < text.size() && is_digit(text[i])) {
            const std::size_t end = name_end(text, i + 1);
            const std::string_view token = text.substr(i, end - i);
            // The evaluation reads all digits, the rewrite 16; a quote inside makes a character
            // constant of the rest.
            if (token.size() > token_max || token.find('\'') != std::string_view::npos) break;
            item = token_value(eval.default_radix, token);
            append_number(out, pieces, static_cast<std::uint16_t>(item));
            i = end;
        } else if (i < text.size() && is_name_start(text[i])) {
            // Names count to 16 characters.
            UpperName name;
            const std::size_t end = read_upper_name(text, i, name);
            const std::string_view token = text.substr(i, name.length);
            // Operator keywords have two to four letters: a longer name is not looked up as one.
            if (name.length <= 4 && operator_keyword_char(name.view()) != 0) break;
            item = one_walk_name_value(names, name, token, address_name, undefined_name);
            named = true;
            out += token;
            if (pieces != nullptr) add_piece(*pieces, PieceKind::name, token);
            i = end;
        } else {
            break;
        }
        sum = op == '+' ? sum + item : sum - item;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            op = text[i];
            out.push_back(op);
            if (pieces != nullptr) add_piece(*pieces, PieceKind::binary, text.substr(i, 1));
            ++i;
            continue;
        }
        Ending ending;
        if (!read_ending(text, i, ending)) break;

        set_one_walk_evaluation(value, width, sum, address_name, undefined_name, ending, rewrite);
        return true;
    }
    out.resize(out_start);
    if (pieces != nullptr) pieces->clear();
    named = false;
    return false;
}

// One name alone (LINBUF, ARG1 ; comment), evaluated and rewritten as evaluate_and_rewrite_sum does
// it: most operands are one, and take this shorter way of the same steps. False for any other
// operand, which is left to that walk.
bool evaluate_and_rewrite_name(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                               Evaluation& value, std::string& out, Rewrite& rewrite) {
    if (text.empty() || !is_name_start(text.front()) || is_digit(text.front()) || eval.in_macro_body) return false;
    UpperName name;
    const std::size_t end = read_upper_name(text, 0, name);
    Ending ending;
    if (!read_ending(text, end, ending)) return false;
    // Operator keywords have two to four letters: a longer name is not looked up as one.
    if (name.length <= 4 && operator_keyword_char(name.view()) != 0) return false;
    const std::string_view token = text.substr(0, name.length);
    std::string_view address_name;
    std::string_view undefined_name;
    const std::uint32_t item = one_walk_name_value(names, name, token, address_name, undefined_name);
    set_one_walk_evaluation(value, width, item, address_name, undefined_name, ending, rewrite);
    out.append(token);
    return true;
}

}  // namespace

Rewrite evaluate_and_rewrite(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                             Evaluation& value, std::string& out, bool* symbolic, std::vector<Piece>* pieces) {
    if (pieces == nullptr) {
        if (Rewrite rewrite{}; evaluate_and_rewrite_name(eval, names, text, width, value, out, rewrite)) {
            if (symbolic != nullptr) *symbolic = true;
            return rewrite;
        }
    } else {
        pieces->clear();
    }
    bool named = false;
    if (Rewrite rewrite{}; evaluate_and_rewrite_sum(eval, names, text, width, value, out, named, pieces, rewrite) ||
                           evaluate_and_rewrite_constant(text, width, value, out, pieces, rewrite)) {
        if (symbolic != nullptr) *symbolic = named;
        return rewrite;
    }
    value = evaluate_operand(eval, names, text, width);
    return translate_after(eval, names, text, out, symbolic, pieces);
}
