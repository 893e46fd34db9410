// The character classes and small text helpers that every reader of source text shares: the
// scanner, the classifier, the evaluator, the expression rewriter and the directives. Each name
// has one meaning; all of them work on bytes in the "C" locale, so any byte value is safe.
#pragma once

#include <string>
#include <string_view>

// A blank or a tab: what separates fields on a line.
constexpr bool is_blank(char ch) { return ch == ' ' || ch == '\t'; }
// Any white space: blank, tab, newline, vertical tab, form feed, carriage return.
constexpr bool is_white_space(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
constexpr bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }
constexpr bool is_letter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
constexpr bool is_quote(char ch) { return ch == '\'' || ch == '"'; }
// A character that can begin a name or a number: a letter, a digit or '_'.
constexpr bool is_name_start(char ch) { return is_letter(ch) || is_digit(ch) || ch == '_'; }
// A character inside a name: those, and the apostrophe (AF', and names such as Z').
constexpr bool is_name_char(char ch) { return is_name_start(ch) || ch == '\''; }

constexpr char to_upper(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; }
constexpr char to_lower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

inline std::string upper_case(std::string_view text) {
    std::string result(text);
    for (char& ch : result) ch = to_upper(ch);
    return result;
}

inline std::string lower_case(std::string_view text) {
    std::string result(text);
    for (char& ch : result) ch = to_lower(ch);
    return result;
}

// Copies the name characters at the start of `src` into `dst`, at most `max` of them; returns how
// many were copied.
inline std::size_t name_scan(std::string& dst, std::string_view src, std::size_t max) {
    std::size_t length = 0;
    while (length < max && length < src.size() && is_name_char(src[length])) ++length;
    dst.assign(src.data(), length);
    return length;
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
    for (std::size_t i = from; i < text.size(); ++i) {
        if (opens_quoted_string(text, i)) {
            i = text.find(text[i], i + 1);  // the closing quote; a doubled quote reopens at once
            continue;
        }
        if (is_one_of(text[i], stops)) return i;
    }
    return std::string_view::npos;
}

// `text` up to its first NUL: a NUL ends a line as its end does.
constexpr std::string_view before_nul(std::string_view text) { return text.substr(0, text.find('\0')); }
