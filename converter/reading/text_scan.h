// The character classes and small text helpers that every reader of source text shares: the
// scanner, the classifier, the evaluator, the expression rewriter and the directives. Each name
// has one meaning; all of them work on bytes in the "C" locale, so any byte value is safe.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// The classes of every byte value, looked up once per character instead of compared range by range.
namespace char_class {
inline constexpr std::uint8_t blank = 1;        // ' ' and '\t'
inline constexpr std::uint8_t white_space = 2;  // blank, tab, newline, vertical tab, form feed, carriage return
inline constexpr std::uint8_t digit = 4;
inline constexpr std::uint8_t letter = 8;
inline constexpr std::uint8_t underscore = 16;
inline constexpr std::uint8_t apostrophe = 32;
inline constexpr std::uint8_t quote = 64;  // '\'' and '"'

constexpr std::array<std::uint8_t, 256> make_table() {
    std::array<std::uint8_t, 256> table{};
    table[' '] = blank | white_space;
    table['\t'] = blank | white_space;
    for (int ch = '\n'; ch <= '\r'; ++ch) table[static_cast<std::size_t>(ch)] = white_space;
    for (int ch = '0'; ch <= '9'; ++ch) table[static_cast<std::size_t>(ch)] = digit;
    for (int ch = 'A'; ch <= 'Z'; ++ch) table[static_cast<std::size_t>(ch)] = letter;
    for (int ch = 'a'; ch <= 'z'; ++ch) table[static_cast<std::size_t>(ch)] = letter;
    table['_'] = underscore;
    table['\''] = apostrophe | quote;
    table['"'] = quote;
    return table;
}
inline constexpr std::array<std::uint8_t, 256> table = make_table();

constexpr bool is(char ch, std::uint8_t classes) { return (table[static_cast<unsigned char>(ch)] & classes) != 0; }
}  // namespace char_class

// A blank or a tab: what separates fields on a line.
constexpr bool is_blank(char ch) { return char_class::is(ch, char_class::blank); }
// Any white space: blank, tab, newline, vertical tab, form feed, carriage return.
constexpr bool is_white_space(char ch) { return char_class::is(ch, char_class::white_space); }
constexpr bool is_digit(char ch) { return char_class::is(ch, char_class::digit); }
constexpr bool is_letter(char ch) { return char_class::is(ch, char_class::letter); }
constexpr bool is_quote(char ch) { return char_class::is(ch, char_class::quote); }
// A character that can begin a name or a number: a letter, a digit or '_'.
constexpr bool is_name_start(char ch) {
    return char_class::is(ch, char_class::letter | char_class::digit | char_class::underscore);
}
// A character inside a name: those, and the apostrophe (AF', and names such as Z').
constexpr bool is_name_char(char ch) {
    return char_class::is(ch, char_class::letter | char_class::digit | char_class::underscore | char_class::apostrophe);
}

constexpr char to_upper(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; }
constexpr char to_lower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

// The eight bytes of `word` with every lower-case letter made upper case (the bytes taken apart
// with no carry between them: a byte's low seven bits plus 0x1F reach 0x80 from 'a' on, plus 0x05
// from past 'z' on; a byte of 0x80 or more is no letter).
constexpr std::uint64_t upper_case_eight(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t high_bits = ones * 0x80;
    const std::uint64_t seven = word & ~high_bits;
    const std::uint64_t from_a = seven + ones * (0x80 - 'a');
    const std::uint64_t past_z = seven + ones * (0x80 - 'z' - 1);
    const std::uint64_t lower = from_a & ~past_z & ~word & high_bits;
    return word - (lower >> 2);
}

// Writes `text` upper-cased to `out`, which has room for text.size() characters. Sixteen bytes are
// done at a time in a loop of fixed length without branches, which the compiler turns into a few
// vector instructions; the last sixteen may overlap the ones before them, which come out the same
// again.
inline void upper_case_to(char* out, std::string_view text) {
    constexpr std::size_t width = 16;
    if (text.size() < width) {
        if (text.size() < 8) {
            for (std::size_t i = 0; i < text.size(); ++i) out[i] = to_upper(text[i]);
            return;
        }
        // Eight bytes at a time in one number, the last eight overlapping the first.
        const auto upper_at = [&](std::size_t at) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + at, 8);
            word = upper_case_eight(word);
            std::memcpy(out + at, &word, 8);
        };
        upper_at(0);
        upper_at(text.size() - 8);
        return;
    }
    const auto upper_sixteen = [&](std::size_t at) {
        char block[width];
        std::memcpy(block, text.data() + at, width);
        for (char& ch : block) {
            const bool lower = static_cast<unsigned char>(ch - 'a') < 26;  // as to_upper tells it
            ch = static_cast<char>(ch - (lower ? 'a' - 'A' : 0));
        }
        std::memcpy(out + at, block, width);
    };
    std::size_t i = 0;
    for (; i + width <= text.size(); i += width) upper_sixteen(i);
    if (i < text.size()) upper_sixteen(text.size() - width);
}

// Copies `text` into `dst` upper-cased, reusing dst's buffer.
inline void upper_case_into(std::string& dst, std::string_view text) {
    dst.resize(text.size());
    upper_case_to(dst.data(), text);
}

inline std::string upper_case(std::string_view text) {
    std::string result;
    upper_case_into(result, text);
    return result;
}

inline std::string lower_case(std::string_view text) {
    std::string result(text);
    for (char& ch : result) ch = to_lower(ch);
    return result;
}

// The name characters at the start of `src`, at most `max` of them.
constexpr std::string_view name_at(std::string_view src, std::size_t max) {
    std::size_t length = 0;
    while (length < max && length < src.size() && is_name_char(src[length])) ++length;
    return src.substr(0, length);
}

// Copies the name characters at the start of `src` into `dst`, at most `max` of them; returns how
// many were copied.
inline std::size_t name_scan(std::string& dst, std::string_view src, std::size_t max) {
    const std::string_view name = name_at(src, max);
    dst.assign(name);
    return name.size();
}

// Whether `ch` is one of the characters of `set`.
constexpr bool is_one_of(char ch, std::string_view set) {
    for (char member : set) {
        if (member == ch) return true;
    }
    return false;
}

// `text` without its leading blanks and tabs.
constexpr std::string_view skip_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    return text;
}

// `text` without white space at either end.
constexpr std::string_view trim(std::string_view text) {
    while (!text.empty() && is_white_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_white_space(text.back())) text.remove_suffix(1);
    return text;
}

// Whether the quote at `pos` opens a quoted string: the same quote must close it before the line
// ends, and an apostrophe right after a name character is a prime (AF'), not a quote.
constexpr bool opens_quoted_string(std::string_view text, std::size_t pos) {
    const char quote = text[pos];
    if (!is_quote(quote) || (quote == '\'' && pos > 0 && is_name_start(text[pos - 1]))) return false;
    for (std::size_t k = pos + 1; k < text.size() && text[k] != '\n' && text[k] != '\0'; ++k) {
        if (text[k] == quote) return true;
    }
    return false;
}

// The position of the first character of `stops` at or after `from` that stands outside quoted
// strings, or npos: a ',' ';' or '.' inside 'A,B' is part of the string.
constexpr std::size_t find_unquoted(std::string_view text, std::string_view stops, std::size_t from = 0) {
    // The stops and the quotes as a set of byte values: most characters are neither, and are passed
    // with one look at the set.
    std::array<std::uint64_t, 4> wanted{};
    const auto add = [&wanted](char ch) {
        const auto byte = static_cast<unsigned char>(ch);
        wanted[byte >> 6] |= std::uint64_t{1} << (byte & 63);
    };
    for (char stop : stops) add(stop);
    add('\'');
    add('"');
    for (std::size_t i = from; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (((wanted[byte >> 6] >> (byte & 63)) & 1) == 0) continue;
        if (is_quote(text[i]) && opens_quoted_string(text, i)) {
            i = text.find(text[i], i + 1);  // the closing quote; a doubled quote reopens at once
            continue;
        }
        if (is_one_of(text[i], stops)) return i;
    }
    return std::string_view::npos;
}

// `text` up to its first NUL: a NUL ends a line as its end does.
constexpr std::string_view before_nul(std::string_view text) { return text.substr(0, text.find('\0')); }
