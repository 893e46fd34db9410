#include "constants.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

const std::array<OperatorKeyword, 14> OperatorKeywords = {{
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

const std::array<std::string_view, 6> OperatorLevels = {
    "~+-\xA2\xA3",  // 0: NOT, unary plus and minus, HIGH, LOW
    "*/%}{",        // 1: multiply, divide, remainder, SHR, SHL
    "+-",           // 2: add, subtract
    "&",            // 3: AND
    "|^",           // 4: OR, XOR
    "=?>]<[",       // 5: EQ, NE, GT, GE, LT, LE
};

char operator_keyword_char(std::string_view upper_case_word) {
    for (const OperatorKeyword& row : OperatorKeywords) {
        if (row.keyword == upper_case_word) return row.op;
    }
    return 0;
}

bool is_level_operator(char ch, int level) {
    if (level < 0 || level >= static_cast<int>(OperatorLevels.size())) return false;
    return OperatorLevels[static_cast<std::size_t>(level)].find(ch) != std::string_view::npos;
}

bool is_operator_char(char ch) {
    for (int level = 0; level < static_cast<int>(OperatorLevels.size()); ++level) {
        if (is_level_operator(ch, level)) return true;
    }
    return false;
}

namespace {

bool is_space(char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; }
bool is_quote(char ch) { return ch == '\'' || ch == '"'; }
char upper(char ch) { return static_cast<char>(std::toupper(static_cast<unsigned char>(ch))); }

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
}

std::string hex_text(unsigned value, const char* format = "%X") {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

int digit_value(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return 99;
}

// The value of the longest prefix that scanf's %o, %x or %d (base 8, 16 or 10) would accept:
// leading white space, an optional sign and, for base 16, an optional 0x. Digits are accumulated
// modulo 65536, so a digit string of any length keeps its low 16 bits instead of overflowing.
std::uint16_t scan_number(std::string_view text, unsigned base) {
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) ++i;
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
    for (; i < text.size() && digit_value(text[i]) < static_cast<int>(base); ++i) {
        value = (value * base + static_cast<std::uint32_t>(digit_value(text[i]))) & 0xFFFF;
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

std::uint32_t cut_to_width(const EvalState& eval, std::uint32_t value) {
    value &= 0xFFFF;
    return eval.eval_width == 0 ? (value & 0xFF) : value;
}

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

bool reduce(const EvalState& eval, std::string& out, std::string_view text, int level);

// Reduces one side of an operator; an empty side is malformed.
bool reduce_side(const EvalState& eval, std::string_view text, int level, std::uint32_t& value) {
    std::string result;
    if (!reduce(eval, result, text, level) || result.empty()) return false;
    value = scan_number(result, 16);
    return true;
}

// A character constant: two hexadecimal digits per character, a doubled delimiter standing for one.
bool character_constant(std::string& out, std::string_view text) {
    const char delimiter = text.front();
    std::string_view inner = text.substr(1, text.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == delimiter) {
            if (i + 1 >= inner.size() || inner[i + 1] != delimiter) return false;
            ++i;
        }
        out += hex_text(static_cast<unsigned char>(inner[i]), "%2X");
    }
    return true;
}

// One number, its radix given by a B, D, H or O suffix or else by the default radix.
std::string number(const EvalState& eval, std::string_view text) {
    char radix = upper(text.back());
    if (radix != 'B' && radix != 'D' && radix != 'H' && radix != 'O') radix = eval.default_radix;
    std::uint16_t value;
    switch (radix) {
        case 'B': value = scan_binary(text); break;
        case 'O': value = scan_number(text, 8); break;
        case 'H': value = scan_number(text, 16); break;
        default: value = scan_number(text, 10); break;
    }
    return hex_text(cut_to_width(eval, value));
}

// Looks for the rightmost operator of each level from `level` down to 0 outside parentheses and
// quotes, splits there and reduces both sides at the same level, so operators of one level group
// from left to right. Returns false when the text is malformed.
bool reduce(const EvalState& eval, std::string& out, std::string_view text, int level) {
    out.clear();
    for (;;) {
        text = trim(text);
        if (text.empty()) return true;
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
                    while (k > 0 && is_space(text[k - 1])) --k;
                    if (k == 0) break;                       // a leading sign, applied at level 0
                    if (is_operator_char(text[k - 1])) continue;  // a sign after another operator
                }
                std::uint32_t a = 0;
                std::uint32_t b = 0;
                if (scan_level == 0) {
                    // Unary operators count only at the start of their part.
                    if (i != 0) continue;
                    if (!reduce_side(eval, text.substr(1), 0, b)) return false;
                } else {
                    if (!reduce_side(eval, text.substr(0, i), scan_level, a)) return false;
                    if (!reduce_side(eval, text.substr(i + 1), scan_level, b)) return false;
                }
                std::uint32_t result = 0;
                if (!apply_operator(ch, a, b, result)) return false;
                out = hex_text(cut_to_width(eval, result));
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
        out = number(eval, text);
        return true;
    }
}

bool ends_operand(char ch) { return ch == ',' || ch == '.' || ch == ';' || ch == '\n' || ch == '\0'; }
bool starts_name(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; }
bool continues_name(char ch) { return starts_name(ch) || ch == '\''; }

}  // namespace

std::uint16_t value_of(std::string_view value_text) { return scan_number(value_text, 16); }

void reduce_expression(EvalState& eval, std::string& out, std::string_view text, int level) {
    if (!reduce(eval, out, text, level)) eval.line_status = 1;
}

std::optional<std::size_t> evaluate_operand(EvalState& eval, const DataNameTable& names, std::string& out,
                                            std::string_view text, int width) {
    eval.eval_width = width;
    eval.line_status = 0;
    eval.undefined_name.clear();

    // Keywords become their internal operator characters and names their values, so that the
    // reduction sees only numbers, character constants and operator characters.
    std::string work;
    bool stray_internal_code = false;
    char open_quote = 0;
    std::size_t i = 0;
    while (i < text.size() && !ends_operand(text[i])) {
        const char ch = text[i];
        if (open_quote != 0) {
            if (ch == open_quote) open_quote = 0;
            work.push_back(ch);
            ++i;
        } else if (is_quote(ch)) {
            open_quote = ch;
            work.push_back(ch);
            ++i;
        } else if (starts_name(ch)) {
            std::string name;
            for (; i < text.size() && continues_name(text[i]); ++i) name.push_back(upper(text[i]));
            if (char op = operator_keyword_char(name); op != 0) {
                work.push_back(op);
            } else if (std::isdigit(static_cast<unsigned char>(name.front()))) {
                work += name;
            } else if (const DataNameEntry* entry = data_name_find(names, name)) {
                work += hex_text(entry->value, "%xh");
            } else {
                eval.line_status = 3;
                eval.undefined_name = name.substr(0, 12);
            }
        } else {
            // The HIGH and LOW codes are internal only: met in the source they are not operators.
            if (ch == op_high || ch == op_low) stray_internal_code = true;
            work.push_back(ch);
            ++i;
        }
    }

    // A malformed operand reads as 0 (assign rather than = "0": GCC 12 at -O3 misreports the latter).
    if (stray_internal_code) {
        eval.line_status = 1;
        eval.undefined_name.clear();
        out.assign(1, '0');
    } else if (eval.line_status & 1) {
        out.clear();
    } else {
        reduce_expression(eval, out, work, 5);
        if (eval.line_status & 1) out.assign(1, '0');
    }

    if (i < text.size() && (text[i] == ',' || text[i] == '.')) {
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        return i;
    }
    return std::nullopt;
}
