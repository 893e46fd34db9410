#include "expressions/expression_rewriter.h"

#include <algorithm>
#include <array>
#include <optional>

#include "reading/text_scan.h"

namespace {

// The operator a name spells in either letter case (AND, MOD, ...), or 0. Operator keywords are
// short: a longer name is not upper-cased to be compared, and a shorter one is upper-cased on the
// stack.
inline char keyword_operator(std::string_view token) {
    if (token.size() > 4) return 0;
    std::array<char, 4> upper{};
    for (std::size_t i = 0; i < token.size(); ++i) upper[i] = to_upper(token[i]);
    return operator_keyword_char(std::string_view(upper.data(), token.size()));
}

bool is_translated_operator(char ch) { return is_one_of(ch, "+-*/%&|~^"); }
// The H8/300 assembler writes exclusive-or as '~'.
char h8_operator(char ch) { return ch == '^' ? '~' : ch; }

// A character the H8/300 assembler reads inside a character constant as the HD64180 assembler does.
bool copies_in_constant(char ch) { return is_name_start(ch) || is_translated_operator(ch); }

// The length of the character constant at the start of `text` when it can be copied as it stands
// ('A', '+'), or 0: a blank, a control character, a quote or a separator inside would be read
// differently or not at all, so the caller writes the evaluated value instead.
std::size_t copyable_constant(std::string_view text) {
    const std::size_t close = text.find('\'', 1);
    if (close == std::string_view::npos || close == 1) return 0;
    for (std::size_t k = 1; k < close; ++k) {
        if (!copies_in_constant(text[k])) return 0;
    }
    if (close + 1 < text.size() && text[close + 1] == '\'') return 0;  // a doubled quote
    return close + 1;
}

// The value of a character constant's characters: one byte each, the last two count.
std::uint16_t constant_value(std::string_view characters) {
    std::uint16_t value = 0;
    for (char ch : characters) value = static_cast<std::uint16_t>(value << 8 | static_cast<unsigned char>(ch));
    return value;
}

// Rewrites an operand that is one character constant, or names and numbers joined by + and -
// (LABEL+1), and nothing else, as the general scan below would, after the first `start`
// characters of `out`; false for any other. A NUL ends the operand as the end of `text` does (the
// general scan cuts it there).
bool translate_single_token(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                            std::size_t start, bool* symbolic, std::vector<Piece>* pieces, Rewrite& result) {
    constexpr std::size_t token_max = 16;
    if (!text.empty() && text.front() == '\'') {
        const std::size_t length = copyable_constant(text);
        if (length == 0) {  // written as its value by the caller
            out.resize(start);
            result = Rewrite::not_translatable;
            return true;
        }
        std::size_t i = length;
        while (i < text.size() && is_white_space(text[i])) ++i;
        if (i < text.size() && text[i] != ',' && text[i] != ';' && text[i] != '\0') return false;
        out.resize(start);
        out.append(text.substr(0, length));
        if (pieces != nullptr) {
            pieces->push_back({PieceKind::number, out.substr(start), constant_value(text.substr(1, length - 2))});
        }
        result = i < text.size() && text[i] == ',' ? Rewrite::more_follows : Rewrite::complete;
        return true;
    }
    // Names and numbers joined by + or -, up to white space and the end, ',' or ';'. What is
    // written before the operand turns out to be another is taken back.
    auto give_up = [&] {
        if (pieces != nullptr) pieces->clear();
        if (symbolic != nullptr) *symbolic = false;
        return false;
    };
    out.resize(start);
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size() || !is_name_start(text[i])) return give_up();
        std::size_t end = i + 1;
        while (end < text.size() && is_name_char(text[end])) ++end;
        const std::string_view token = text.substr(i, std::min(end - i, token_max));
        if (is_digit(token.front())) {
            // The assembler computes the expression: its numbers keep all 16 bits.
            const std::uint16_t value = number_value(eval.default_radix, token, Width::word);
            const std::size_t number_start = out.size();
            out += "H'";
            append_hex_digits(out, value);
            if (pieces != nullptr) pieces->push_back({PieceKind::number, out.substr(number_start), value});
        } else {
            if (keyword_operator(token) != 0) return give_up();
            if (symbolic != nullptr) *symbolic = true;
            const DataNameEntry* entry = eval.in_macro_body ? data_name_find(names, token) : nullptr;
            const bool parameter = entry != nullptr && entry->kind == name_kind::macro_parameter;
            if (parameter) out.push_back('\\');
            out += token;
            if (pieces != nullptr) {
                pieces->push_back({parameter ? PieceKind::parameter : PieceKind::name, std::string(token), 0});
            }
        }
        i = end;
        if (i >= text.size() || (text[i] != '+' && text[i] != '-')) break;
        out.push_back(text[i]);
        if (pieces != nullptr) pieces->push_back({PieceKind::binary, std::string(1, text[i]), 0});
        ++i;
    }
    std::size_t stop = i;
    while (stop < text.size() && is_white_space(text[stop])) ++stop;
    if (stop < text.size() && text[stop] != ',' && text[stop] != ';' && text[stop] != '\0') return give_up();
    result = stop < text.size() && text[stop] == ',' ? Rewrite::more_follows : Rewrite::complete;
    return true;
}

}  // namespace

namespace {

// translate_expression, writing after what `out` holds (which is kept).
Rewrite translate_after(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                        bool* symbolic, std::vector<Piece>* pieces) {
    const std::size_t start = out.size();
    if (symbolic != nullptr) *symbolic = false;
    if (pieces != nullptr) pieces->clear();
    if (Rewrite result{}; translate_single_token(eval, names, text, out, start, symbolic, pieces, result)) {
        return result;
    }
    std::vector<Piece> unused;
    std::vector<Piece>& parts = pieces != nullptr ? *pieces : unused;
    text = before_nul(text);
    auto add = [&parts, pieces](PieceKind kind, std::string_view piece_text, std::uint16_t value = 0) {
        if (pieces != nullptr) parts.push_back({kind, std::string(piece_text), value});
    };
    constexpr std::size_t token_max = 16;

    out.resize(start);
    std::size_t i = 0;
    bool expecting_operand = true;
    bool after_operand = false;  // the operand before the current token has ended
    bool translatable = true;
    auto skip_space = [&] {
        while (i < text.size() && is_white_space(text[i])) ++i;
    };

    for (;;) {
        skip_space();
        const char ch = i < text.size() ? text[i] : '\0';
        if (!expecting_operand) {
            if (ch == '_' || ch == '\'' || is_letter(ch)) {
                expecting_operand = true;  // a keyword operator, or a name joined to the last one
                after_operand = true;
            } else if (is_translated_operator(ch)) {
                out.push_back(h8_operator(ch));
                add(PieceKind::binary, std::string(1, h8_operator(ch)));
                ++i;
                expecting_operand = true;
            } else if (ch == ')') {
                out.push_back(ch);
                add(PieceKind::close, ")");
                ++i;
            } else {
                if (ch != '\0' && ch != ',' && ch != ';') translatable = false;
                break;
            }
            continue;
        }

        // Whether an operand stands right before (a keyword found there is a binary operator).
        const bool follows_operand = after_operand;
        after_operand = false;
        if (ch == '(') {
            out.push_back(ch);
            add(PieceKind::open, "(");
            ++i;
            continue;
        }
        if (ch == '$') {
            out.push_back(ch);
            add(PieceKind::location, "$");
            ++i;
            expecting_operand = false;
            continue;
        }
        if (is_translated_operator(ch)) {
            out.push_back(h8_operator(ch));
            add(PieceKind::unary, std::string(1, h8_operator(ch)));
            ++i;
            continue;
        }
        if (ch == '\'') {
            const std::size_t length = copyable_constant(text.substr(i));
            if (length == 0) {
                translatable = false;
                break;
            }
            out += text.substr(i, length);
            add(PieceKind::number, text.substr(i, length), constant_value(text.substr(i + 1, length - 2)));
            i += length;
            expecting_operand = false;
            continue;
        }

        std::string token;
        name_scan(token, text.substr(i), token_max);
        if (token.empty()) {
            translatable = false;
            break;
        }
        if (is_digit(token.front())) {
            out += "H'";
            // The assembler computes the expression: its numbers keep all 16 bits.
            const std::uint16_t value = number_value(eval.default_radix, token, Width::word);
            token = hex_digits(value);
            add(PieceKind::number, "H'" + token, value);
        } else {
            const char op = keyword_operator(token);
            if (op == '~' || op == '&' || op == '|' || op == '^') {
                out.push_back(h8_operator(op));
                const bool binary = follows_operand && op != '~';
                add(binary ? PieceKind::binary : PieceKind::unary, std::string(1, h8_operator(op)));
                i += token.size();
                continue;
            }
            if (op == op_high || op == op_low) {
                out += token;
                out.push_back(' ');
                add(op == op_high ? PieceKind::high : PieceKind::low, token);
                i += token.size();
                continue;
            }
            if (op != 0) {  // comparisons and shifts have no H8/300 operator
                translatable = false;
                break;
            }
            if (symbolic != nullptr) *symbolic = true;
            const DataNameEntry* entry = eval.in_macro_body ? data_name_find(names, token) : nullptr;
            const bool parameter = entry != nullptr && entry->kind == name_kind::macro_parameter;
            if (parameter) out.push_back('\\');
            add(parameter ? PieceKind::parameter : PieceKind::name, token);
        }
        out += token;
        while (i < text.size() && is_name_char(text[i])) ++i;
        expecting_operand = false;
    }

    if (!translatable || out.find('$', start) != std::string::npos) return Rewrite::not_translatable;
    return i < text.size() && text[i] == ',' ? Rewrite::more_follows : Rewrite::complete;
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
    out.assign(prefix);
    return translate_after(eval, names, text, out, symbolic, pieces);
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

void set_one_walk_value(Evaluation& value, Width width, std::uint32_t sum) {
    sum &= 0xFFFF;
    value.value = static_cast<std::uint16_t>(width == Width::byte ? sum & 0xFF : sum);
    value.truncated = width == Width::byte && sum > 0xFF && sum < 0xFF80;
    value.has_value = true;
}

// A character constant alone ('A', '?'), evaluated and rewritten in one walk as the two general
// walks would do it: the evaluation takes the last two characters as the value, and the rewrite
// copies the constant when the H8/300 assembler reads its characters alike (else the caller writes
// the value). False for any other operand, and for one with a quote, newline or NUL inside.
bool evaluate_and_rewrite_constant(std::string_view text, Width width, Evaluation& value, std::string& out,
                                   bool* symbolic, std::vector<Piece>* pieces, Rewrite& rewrite) {
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
    if (pieces != nullptr) pieces->clear();
    if (symbolic != nullptr) *symbolic = false;
    value = Evaluation{};
    if (close > 1) set_one_walk_value(value, width, characters);
    value.next = ending.next;
    if (close == 1 || !copies) {
        rewrite = Rewrite::not_translatable;
        return true;
    }
    const std::string_view constant = text.substr(0, close + 1);
    out += constant;
    if (pieces != nullptr) {
        pieces->push_back({PieceKind::number, std::string(constant), constant_value(constant.substr(1, close - 1))});
    }
    rewrite = ending.more ? Rewrite::more_follows : Rewrite::complete;
    return true;
}

// Names, numbers and character constants joined by + and -, a sign perhaps in front, evaluated
// and rewritten in one walk exactly as the two general walks would do it: the sum modulo 65536 is
// the same whatever the grouping, and the rewrite copies each name and constant and writes each
// number as H' and its 16 bits. False (and `out`,
// `pieces` as they were) for any other operand, and for the few that the two walks read
// differently from each other: a number of more than 16 characters or with a quote in it, an
// ending other than those of read_ending, and an operand in a macro body (whose names may be
// parameters).
bool evaluate_and_rewrite_sum(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                              Evaluation& value, std::string& out, bool* symbolic, std::vector<Piece>* pieces,
                              Rewrite& rewrite) {
    constexpr std::size_t token_max = 16;
    if (eval.in_macro_body) return false;
    const std::size_t out_start = out.size();
    auto give_up = [&] {
        out.resize(out_start);
        if (pieces != nullptr) pieces->clear();
        return false;
    };
    if (pieces != nullptr) pieces->clear();
    std::uint32_t sum = 0;
    bool named = false;
    std::string address_name;
    std::string undefined_name;  // the last one, as the general evaluation reports
    char op = '+';
    std::size_t i = 0;
    // A sign in front (-1, as an index register's displacement is written) is a unary operator to
    // both walks: the sum starts from 0 either way.
    if (text.size() > 1 && (text[0] == '+' || text[0] == '-') && (is_name_start(text[1]) || text[1] == '\'')) {
        op = text[0];
        out.push_back(op);
        if (pieces != nullptr) pieces->push_back({PieceKind::unary, std::string(1, op), 0});
        i = 1;
    }
    for (;;) {
        if (i < text.size() && text[i] == '\'') {
            // A character constant ('A'-'0') the rewrite can copy; any other is left to the general
            // walks.
            const std::size_t length = copyable_constant(text.substr(i));
            if (length == 0) return give_up();
            const std::string_view constant = text.substr(i, length);
            const std::uint16_t characters = constant_value(constant.substr(1, length - 2));
            sum = op == '+' ? sum + characters : sum - characters;
            out += constant;
            if (pieces != nullptr) pieces->push_back({PieceKind::number, std::string(constant), characters});
            i += length;
            if (i >= text.size() || (text[i] != '+' && text[i] != '-')) break;
            op = text[i];
            out.push_back(op);
            if (pieces != nullptr) pieces->push_back({PieceKind::binary, std::string(1, op), 0});
            ++i;
            continue;
        }
        if (i >= text.size() || !is_name_start(text[i])) return give_up();
        std::uint32_t item = 0;
        if (is_digit(text[i])) {
            std::size_t end = i + 1;
            while (end < text.size() && is_name_char(text[end])) ++end;
            const std::string_view token = text.substr(i, end - i);
            // The evaluation reads all digits, the rewrite 16; a quote inside makes a character
            // constant of the rest.
            if (token.size() > token_max || token.find('\'') != std::string_view::npos) return give_up();
            const std::uint16_t number = number_value(eval.default_radix, token, Width::word);
            item = number;
            const std::size_t start = out.size();
            out += "H'";
            append_hex_digits(out, number);
            if (pieces != nullptr) pieces->push_back({PieceKind::number, out.substr(start), number});
            i = end;
        } else {
            // Names count to 16 characters.
            UpperName name;
            const std::size_t end = read_upper_name(text, i, name);
            const std::string_view token = text.substr(i, name.length);
            // Operator keywords have two to four letters: a longer name is not looked up as one.
            if (name.length <= 4 && operator_keyword_char(name.view()) != 0) return give_up();
            item = name_value(names, name, address_name, undefined_name);
            named = true;
            out += token;
            if (pieces != nullptr) pieces->push_back({PieceKind::name, std::string(token), 0});
            i = end;
        }
        sum = op == '+' ? sum + item : sum - item;
        if (i >= text.size() || (text[i] != '+' && text[i] != '-')) break;
        op = text[i];
        out.push_back(op);
        if (pieces != nullptr) pieces->push_back({PieceKind::binary, std::string(1, op), 0});
        ++i;
    }
    Ending ending;
    if (!read_ending(text, i, ending)) return give_up();

    // Field by field rather than from a fresh Evaluation: most operands are fine, and their outcome
    // keeps the room of its string.
    value.value = 0;
    value.has_value = false;
    value.truncated = false;
    if (!undefined_name.empty()) {
        value.outcome.status = EvalStatus::undefined_name;
        value.outcome.undefined_name = std::move(undefined_name);
    } else if (!address_name.empty()) {
        value.outcome.status = EvalStatus::address_name;
        value.outcome.undefined_name = std::move(address_name);
    } else {
        value.outcome.status = EvalStatus::ok;
        value.outcome.undefined_name.clear();
        set_one_walk_value(value, width, sum);
    }
    value.next = ending.next;
    if (symbolic != nullptr) *symbolic = named;
    rewrite = ending.more ? Rewrite::more_follows : Rewrite::complete;
    return true;
}

}  // namespace

Rewrite evaluate_and_rewrite(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                             Evaluation& value, std::string& out, bool* symbolic, std::vector<Piece>* pieces) {
    if (Rewrite rewrite{}; evaluate_and_rewrite_sum(eval, names, text, width, value, out, symbolic, pieces, rewrite) ||
                           evaluate_and_rewrite_constant(text, width, value, out, symbolic, pieces, rewrite)) {
        return rewrite;
    }
    value = evaluate_operand(eval, names, text, width);
    return translate_after(eval, names, text, out, symbolic, pieces);
}
