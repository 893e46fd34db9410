#include "expressions/evaluator.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "reading/text_scan.h"

constexpr std::array<OperatorKeyword, 14> OperatorKeywords = {{
    {'~', "NOT"},
    {'&', "AND"},
    {'|', "OR"},
    {'^', "XOR"},
    {op_high, "HIGH"},
    {op_low, "LOW"},
    {'=', "EQ"},
    {'?', "NE"},
    {'>', "GT"},
    {']', "GE"},
    {'<', "LT"},
    {'[', "LE"},
    {'}', "SHR"},
    {'{', "SHL"},
}};

constexpr std::array<std::string_view, 6> OperatorLevels = {
    "~+-\xA2\xA3",  // 0: NOT, unary plus and minus, HIGH, LOW
    "*/%}{",        // 1: multiply, divide, remainder, SHR, SHL
    "+-",           // 2: add, subtract
    "&",            // 3: AND
    "|^",           // 4: OR, XOR
    "=?>]<[",       // 5: EQ, NE, GT, GE, LT, LE
};

namespace {
constexpr bool operator_keywords_fit() {
    for (const OperatorKeyword& row : OperatorKeywords) {
        if (row.keyword.size() < 2 || row.keyword.size() > 4) return false;
    }
    return true;
}
static_assert(operator_keywords_fit(), "operator_keyword_char turns away names by their length");
}  // namespace

namespace {

// Whether an operator keyword starts with the character: most names are turned away by their first
// letter without a comparison.
constexpr std::array<bool, 256> build_keyword_starts() {
    std::array<bool, 256> starts{};
    for (const OperatorKeyword& row : OperatorKeywords) starts[static_cast<unsigned char>(row.keyword.front())] = true;
    return starts;
}

constexpr std::array<bool, 256> keyword_starts = build_keyword_starts();

// A word of at most four characters and its length as one number, so that a keyword is compared in
// one step.
constexpr std::uint64_t packed_word(std::string_view word) {
    std::uint64_t packed = word.size();
    for (char ch : word) packed = packed << 8 | static_cast<unsigned char>(ch);
    return packed;
}

// The keywords of OperatorKeywords as a switch over their packed words, which the compiler turns
// into a few comparisons.
constexpr char packed_keyword_char(std::uint64_t packed) {
    switch (packed) {
        case packed_word("NOT"): return '~';
        case packed_word("AND"): return '&';
        case packed_word("OR"): return '|';
        case packed_word("XOR"): return '^';
        case packed_word("HIGH"): return op_high;
        case packed_word("LOW"): return op_low;
        case packed_word("EQ"): return '=';
        case packed_word("NE"): return '?';
        case packed_word("GT"): return '>';
        case packed_word("GE"): return ']';
        case packed_word("LT"): return '<';
        case packed_word("LE"): return '[';
        case packed_word("SHR"): return '}';
        case packed_word("SHL"): return '{';
        default: return 0;
    }
}

constexpr bool switch_matches_table() {
    for (const OperatorKeyword& row : OperatorKeywords) {
        if (packed_keyword_char(packed_word(row.keyword)) != row.op) return false;
    }
    return true;
}
static_assert(switch_matches_table(), "every operator keyword has its case, with its character");

}  // namespace

char operator_keyword_char(std::string_view upper_case_word) {
    // Every operator keyword has two to four letters: most names are turned away by their length.
    if (upper_case_word.size() < 2 || upper_case_word.size() > 4) return 0;
    if (!keyword_starts[static_cast<unsigned char>(upper_case_word.front())]) return 0;
    return packed_keyword_char(packed_word(upper_case_word));
}

namespace {

// For every character, one bit per precedence level it is an operator of: the reduction asks this
// for every character of an operand at every level.
constexpr std::array<std::uint8_t, 256> build_operator_level_bits() {
    std::array<std::uint8_t, 256> bits{};
    for (std::size_t level = 0; level < OperatorLevels.size(); ++level) {
        for (char op : OperatorLevels[level]) {
            bits[static_cast<unsigned char>(op)] |= static_cast<std::uint8_t>(1u << level);
        }
    }
    return bits;
}

constexpr std::array<std::uint8_t, 256> operator_level_bits = build_operator_level_bits();

}  // namespace

bool is_level_operator(char ch, int level) {
    if (level < 0 || level >= static_cast<int>(OperatorLevels.size())) return false;
    return (operator_level_bits[static_cast<unsigned char>(ch)] >> level & 1) != 0;
}

bool is_operator_char(char ch) { return operator_level_bits[static_cast<unsigned char>(ch)] != 0; }

namespace {

// The value of every byte as a digit, 99 for a byte that is none: each digit of a number is looked
// up once.
constexpr std::array<std::uint8_t, 256> digit_values = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(99);
    for (int ch = '0'; ch <= '9'; ++ch) values[static_cast<std::size_t>(ch)] = static_cast<std::uint8_t>(ch - '0');
    for (int ch = 'a'; ch <= 'f'; ++ch) values[static_cast<std::size_t>(ch)] = static_cast<std::uint8_t>(ch - 'a' + 10);
    for (int ch = 'A'; ch <= 'F'; ++ch) values[static_cast<std::size_t>(ch)] = static_cast<std::uint8_t>(ch - 'A' + 10);
    return values;
}();

int digit_value(char ch) { return digit_values[static_cast<unsigned char>(ch)]; }

// The value of the longest prefix that scanf's %o, %x or %d (base 8, 16 or 10) would accept:
// leading white space, an optional sign and, for base 16, an optional 0x. Digits are accumulated
// modulo 65536, so a digit string of any length keeps its low 16 bits instead of overflowing.
std::uint16_t scan_number(std::string_view text, unsigned base) {
    std::size_t i = 0;
    while (i < text.size() && is_white_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (base == 16 && i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digit_value(text[i + 2]) < 16) {
        i += 2;
    }
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const auto digit = static_cast<unsigned>(digit_value(text[i]));
        if (digit >= base) break;
        value = (value * base + digit) & 0xFFFF;
    }
    if (negative) value = (0u - value) & 0xFFFF;
    return static_cast<std::uint16_t>(value);
}

std::uint16_t scan_binary(std::string_view text) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size() && (text[i] == '0' || text[i] == '1'); ++i) {
        value = ((value << 1) | static_cast<std::uint32_t>(text[i] - '0')) & 0xFFFF;
    }
    return static_cast<std::uint16_t>(value);
}

std::uint32_t cut_to_width(Width width, std::uint32_t value) {
    value &= 0xFFFF;
    return width == Width::byte ? (value & 0xFF) : value;
}

// Every number and every intermediate result is computed at 16 bits; only the value of the whole
// operand is cut to its width, so that HIGH 1234H in a byte operand is 12H and not HIGH 34H.
constexpr Width internal_width = Width::word;

// Applies operator `op` to A and B; false on division or remainder by zero.
bool apply_operator(char op, std::uint32_t a, std::uint32_t b, std::uint32_t& result) {
    switch (op) {
        case '+': result = a + b; return true;
        case '-': result = a - b; return true;
        case '*': result = a * b; return true;
        case '/':
            if (b == 0) return false;
            result = a / b;
            return true;
        case '%':
            if (b == 0) return false;
            result = a % b;
            return true;
        case '&': result = a & b; return true;
        case '|': result = a | b; return true;
        case '^': result = a ^ b; return true;
        case '{': result = a << (b % 32); return true;
        case '}': result = a >> (b % 32); return true;
        case '=': result = a == b ? 0xFFFF : 0; return true;
        case '?': result = a != b ? 0xFFFF : 0; return true;
        case '>': result = a > b ? 0xFFFF : 0; return true;
        case ']': result = a >= b ? 0xFFFF : 0; return true;
        case '<': result = a < b ? 0xFFFF : 0; return true;
        case '[': result = a <= b ? 0xFFFF : 0; return true;
        case '~': result = ~b; return true;
        case op_high: result = b >> 8; return true;
        case op_low: result = b & 0xFF; return true;
        default: return false;
    }
}

// A partial result of the reduction: a number, or nothing for an empty text (an empty operand, or
// the empty character constant '').
struct Number {
    std::uint32_t value = 0;
    bool present = false;
};

bool reduce(char radix, Number& out, std::string_view text, int level);

// Reduces one side of an operator; an empty side is malformed.
bool reduce_side(char radix, std::string_view text, int level, std::uint32_t& value) {
    Number result;
    if (!reduce(radix, result, text, level) || !result.present) return false;
    value = result.value;
    return true;
}

// A character constant: one byte per character, of which the last two make the value; a doubled
// delimiter stands for one.
bool character_constant(Number& out, std::string_view text) {
    const char delimiter = text.front();
    std::string_view inner = text.substr(1, text.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == delimiter) {
            if (i + 1 >= inner.size() || inner[i + 1] != delimiter) return false;
            ++i;
        }
        out.value = ((out.value << 8) | static_cast<unsigned char>(inner[i])) & 0xFFFF;
        out.present = true;
    }
    return true;
}

// Looks for the rightmost operator of each level from `level` down to 0 outside parentheses and
// quotes, splits there and reduces both sides at the same level, so operators of one level group
// from left to right. Returns false when the text is malformed.
bool reduce(char radix, Number& out, std::string_view text, int level) {
    out = Number{};
    for (;;) {
        text = trim(text);
        if (text.empty()) return true;
        // Most operands are one number (a name has become its value by now): nothing to split.
        if (std::none_of(text.begin(), text.end(),
                         [](char ch) { return is_operator_char(ch) || is_quote(ch) || ch == '(' || ch == ')'; })) {
            out = Number{number_value(radix, text, internal_width), true};
            return true;
        }
        bool parenthesis_seen = false;
        bool quote_seen = false;

        for (int scan_level = level; scan_level >= 0; --scan_level) {
            int depth = 0;
            std::size_t i = text.size();
            while (i > 0) {
                --i;
                const char ch = text[i];
                if (is_quote(ch)) {
                    // Skip the quoted run leftwards to its opening quote; a doubled quote is data.
                    quote_seen = true;
                    bool opened = false;
                    while (i > 0) {
                        --i;
                        if (text[i] != ch) continue;
                        if (i > 0 && text[i - 1] == ch) {
                            --i;
                            continue;
                        }
                        opened = true;
                        break;
                    }
                    // A constant may close with the other kind of quote ('AB"): its opening
                    // quote is then the first character.
                    if (!opened && !(i == 0 && is_quote(text[0]) && text[0] != ch)) return false;
                    continue;
                }
                if (ch == ')') {
                    ++depth;
                    parenthesis_seen = true;
                    continue;
                }
                if (ch == '(') {
                    if (--depth < 0) return false;
                    continue;
                }
                if (depth > 0 || !is_level_operator(ch, scan_level)) continue;

                if (scan_level == 2) {
                    std::size_t k = i;
                    while (k > 0 && is_white_space(text[k - 1])) --k;
                    if (k == 0) break;                            // a leading sign, applied at level 0
                    if (is_operator_char(text[k - 1])) continue;  // a sign after another operator
                }
                std::uint32_t a = 0;
                std::uint32_t b = 0;
                if (scan_level == 0) {
                    // Unary operators count only at the start of their part.
                    if (i != 0) continue;
                    if (!reduce_side(radix, text.substr(1), 0, b)) return false;
                } else {
                    if (!reduce_side(radix, text.substr(0, i), scan_level, a)) return false;
                    if (!reduce_side(radix, text.substr(i + 1), scan_level, b)) return false;
                }
                std::uint32_t result = 0;
                if (!apply_operator(ch, a, b, result)) return false;
                out = Number{cut_to_width(internal_width, result), true};
                return true;
            }
            if (depth != 0) return false;
        }

        if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
            text = text.substr(1, text.size() - 2);
            level = 5;
            continue;
        }
        if (parenthesis_seen) return false;  // a parenthesised part next to something else
        if (text.size() >= 2 && is_quote(text.front()) && is_quote(text.back())) {
            return character_constant(out, text);
        }
        if (quote_seen) return false;
        out = Number{number_value(radix, text, internal_width), true};
        return true;
    }
}

bool ends_operand(char ch) { return ch == ',' || ch == '.' || ch == ';' || ch == '\n' || ch == '\0'; }

}  // namespace

std::uint16_t number_value(char default_radix, std::string_view digits, Width width) {
    char radix = to_upper(digits.back());
    if (radix != 'B' && radix != 'D' && radix != 'H' && radix != 'O') radix = default_radix;
    std::uint16_t value;
    switch (radix) {
        case 'B': value = scan_binary(digits); break;
        case 'O': value = scan_number(digits, 8); break;
        case 'H': value = scan_number(digits, 16); break;
        default: value = scan_number(digits, 10); break;
    }
    return static_cast<std::uint16_t>(cut_to_width(width, value));
}

std::string hex_digits(std::uint16_t value) {
    std::array<char, 4> buffer{};
    const std::size_t start = hex_into(buffer, value);
    return std::string(buffer.data() + start, buffer.size() - start);
}

void append_hex_digits(std::string& out, std::uint16_t value) {
    std::array<char, 4> buffer{};
    const std::size_t start = hex_into(buffer, value);
    out.append(buffer.data() + start, buffer.size() - start);
}

namespace {

// The offset of the next item when the operand ends at ',' or '.' at `i`.
void note_next(Evaluation& result, std::string_view text, std::size_t i) {
    if (const std::optional<std::size_t> next = next_item_at(text, i)) result.next = next;
}

void set_value(Evaluation& result, Width width, std::uint32_t value) {
    result.value = static_cast<std::uint16_t>(cut_to_width(width, value));
    result.truncated = width == Width::byte && value > 0xFF && value < 0xFF80;
    result.has_value = true;
}

// Most operands are one name or number, or a few joined by + and - (LABEL+1, TOP-BASE), and
// nothing else. Evaluates such an operand the way the general reduction would, without building
// its text: a sum taken modulo 65536 is the same whatever the grouping. False (and `result`
// untouched) for any other operand.
bool evaluate_sum_of_tokens(const DataNameTable& names, char radix, std::string_view text, Width width,
                            Evaluation& result) {
    std::uint32_t sum = 0;
    std::string address_name;
    std::string undefined_name;  // the last one, as the general way reports
    char op = '+';
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size() || !is_name_start(text[i])) return false;
        std::size_t end = i + 1;
        while (end < text.size() && is_name_char(text[end])) ++end;
        const std::string_view token = text.substr(i, end - i);
        std::uint32_t value = 0;
        if (is_digit(token.front())) {
            // A quote inside would make a character constant of the rest.
            if (token.find('\'') != std::string_view::npos) return false;
            value = number_value(radix, token, internal_width);
        } else {
            // Names count to 16 characters, and operator keywords are shorter.
            UpperName name;
            read_upper_name(token, 0, name);
            if (operator_keyword_char(name.view()) != 0) return false;
            value = name_value(names, name, address_name, undefined_name);
        }
        sum = op == '+' ? sum + value : sum - value;
        i = end;
        if (i >= text.size() || (text[i] != '+' && text[i] != '-')) break;
        op = text[i];
        ++i;
    }
    std::size_t stop = i;
    while (stop < text.size() && is_blank(text[stop])) ++stop;
    if (stop < text.size() && !ends_operand(text[stop])) return false;
    if (!undefined_name.empty()) {
        result.outcome = {EvalStatus::undefined_name, std::move(undefined_name)};
    } else if (!address_name.empty()) {
        result.outcome = {EvalStatus::address_name, std::move(address_name)};
    } else {
        set_value(result, width, sum & 0xFFFF);
    }
    note_next(result, text, stop);
    return true;
}

// A character constant or string alone ('A', 'TEXT') with neither quote inside, evaluated the way
// the general reduction would (the last two characters make the value); false for any other.
bool evaluate_plain_constant(std::string_view text, Width width, Evaluation& result) {
    if (text.empty() || !is_quote(text.front())) return false;
    const char delimiter = text.front();
    std::size_t close = 1;
    while (close < text.size() && text[close] != delimiter) {
        const char ch = text[close];
        if (is_quote(ch) || ch == '\n' || ch == '\0') return false;
        ++close;
    }
    if (close >= text.size()) return false;
    std::size_t i = close + 1;
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i < text.size() && !ends_operand(text[i])) return false;
    std::uint32_t value = 0;
    for (std::size_t k = 1; k < close; ++k) value = ((value << 8) | static_cast<unsigned char>(text[k])) & 0xFFFF;
    if (close > 1) set_value(result, width, value);
    note_next(result, text, i);
    return true;
}

}  // namespace

Evaluation evaluate_operand(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width) {
    Evaluation result;
    if (evaluate_sum_of_tokens(names, eval.default_radix, text, width, result)) return result;
    if (evaluate_plain_constant(text, width, result)) return result;
    Outcome& outcome = result.outcome;

    // Keywords become their internal operator characters and names their values (as hexadecimal
    // numbers), so that the reduction sees only numbers, character constants and operators.
    std::string work;
    std::string address_name;
    bool stray_internal_code = false;
    char open_quote = 0;
    bool quote_closes = false;  // an unclosed quote does not protect a ',' ';' or '.' after it
    std::size_t i = 0;
    while (i < text.size() && text[i] != '\n' && text[i] != '\0' &&
           ((open_quote != 0 && quote_closes) || !ends_operand(text[i]))) {
        const char ch = text[i];
        if (open_quote != 0) {
            if (ch == open_quote) open_quote = 0;
            work.push_back(ch);
            ++i;
        } else if (is_quote(ch)) {
            open_quote = ch;
            quote_closes = opens_quoted_string(text, i);
            work.push_back(ch);
            ++i;
        } else if (is_name_start(ch)) {
            const std::size_t start = i;
            while (i < text.size() && is_name_char(text[i])) ++i;
            const std::string name = upper_case(text.substr(start, i - start));
            if (char op = operator_keyword_char(name); op != 0) {
                work.push_back(op);
            } else if (is_digit(name.front())) {
                work += name;
            } else if (const DataNameEntry* entry = data_name_find(names, name)) {
                work.push_back('0');
                work += hex_digits(entry->value);
                work.push_back('H');
            } else if (is_address_name(names, name)) {
                // A stand-in value lets the reduction check the expression's form.
                work += '1';
                if (address_name.empty()) address_name = name.substr(0, 12);
            } else {
                outcome = {EvalStatus::undefined_name, name.substr(0, 12)};
            }
        } else {
            // The HIGH and LOW codes are internal only: met in the source they are not operators.
            if (ch == op_high || ch == op_low) stray_internal_code = true;
            work.push_back(ch);
            ++i;
        }
    }

    if (stray_internal_code) {
        outcome = Outcome::malformed();
    } else if (outcome.ok()) {
        Number number;
        if (!reduce(eval.default_radix, number, work, 5)) {
            outcome = Outcome::malformed();
        } else if (!address_name.empty()) {
            outcome = {EvalStatus::address_name, address_name};
        } else {
            result.value = static_cast<std::uint16_t>(cut_to_width(width, number.value));
            result.truncated = width == Width::byte && number.value > 0xFF && number.value < 0xFF80;
            result.has_value = number.present;
        }
    }
    note_next(result, text, i);
    return result;
}

std::uint16_t address_or_undefined_value(const DataNameTable& names, const UpperName& upper, std::string& address_name,
                                         std::string& undefined_name) {
    const std::string_view name = upper.view();
    if (is_address_name(names, name)) {
        if (address_name.empty()) address_name = name.substr(0, 12);
        return 1;  // a stand-in, as the general evaluation takes
    }
    undefined_name = name.substr(0, 12);
    return 0;
}
