// The evaluator: the value of an HD64180 operand (numbers in every radix, character constants,
// names from the data-name table, operator keywords, six precedence levels). It computes with
// numbers and returns a value; text is made only where a value is written.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "reading/name_tables.h"
#include "reading/text_scan.h"

// The width of an evaluation: a byte operand keeps the low 8 bits of every result, a word
// operand 16.
enum class Width : std::uint8_t { byte, word };

// The settings of the source that evaluation and expression rewriting depend on; directives
// change them as pass 2 runs.
struct EvalState {
    char default_radix = 'D';    // B, O, D or H; set by RADIX
    bool in_macro_body = false;  // between MACRO and ENDM
};

enum class EvalStatus : std::uint8_t {
    ok,
    malformed,       // the operand is not a well-formed expression
    undefined_name,  // it names something the data-name table does not hold
    address_name,    // well formed, but it names a label, whose value only the assembler knows
};

// How an operand fared. An undefined name is kept (its first 12 characters) for the message; so is
// the first address name of an operand that has no undefined one.
struct Outcome {
    EvalStatus status = EvalStatus::ok;
    std::string undefined_name;

    bool ok() const { return status == EvalStatus::ok; }
    static Outcome malformed() { return {EvalStatus::malformed, {}}; }
};

// The value of one operand and where the next item of a list begins.
struct Evaluation {
    std::uint16_t value = 0;
    bool has_value = false;  // false for an operand without value text (LD A, or '') or in error
    bool truncated = false;  // a byte operand whose 16-bit value does not fit a byte (signed or not)
    Outcome outcome;
    // The offset of the next item when the operand ended at ',' or '.', past blanks and tabs.
    std::optional<std::size_t> next;

    bool ok() const { return outcome.ok(); }
};

// Internal operator characters of HIGH and LOW; they never reach an output file.
inline constexpr char op_high = static_cast<char>(0xA2);
inline constexpr char op_low = static_cast<char>(0xA3);

struct OperatorKeyword {
    char op;
    std::string_view keyword;
};
// NOT AND OR XOR HIGH LOW EQ NE GT GE LT LE SHR SHL, in this order.
extern const std::array<OperatorKeyword, 14> OperatorKeywords;
// The internal character of an operator keyword (compared in upper case), or 0.
char operator_keyword_char(std::string_view upper_case_word);

// The internal operator characters of each precedence level; level 0 binds tightest.
extern const std::array<std::string_view, 6> OperatorLevels;

bool is_operator_char(char ch);
bool is_level_operator(char ch, int level);

// A name as the one-walk evaluations look it up: its first 16 characters upper-cased on the stack
// and zero-padded, without a string per name.
struct UpperName {
    std::array<char, padded_name_bytes> chars{};
    std::size_t length = 0;

    std::string_view view() const { return {chars.data(), length}; }
};

// Reads the name characters at `at` (at most the size of `text`) into `name`, and returns where
// they end.
inline std::size_t read_upper_name(std::string_view text, std::size_t at, UpperName& name) {
    constexpr std::size_t width = padded_name_bytes;
    if (text.size() - at >= width) {
        // Most names stand before enough of their line to be taken sixteen bytes at once: a zero
        // behind the bytes stops the scan for the name's end, and the bytes past it are cleared by
        // their mask, as padded names are.
        std::array<char, width + 1> bytes;
        std::memcpy(bytes.data(), text.data() + at, width);
        bytes[width] = 0;
        std::size_t length = 0;
        while (is_name_char(bytes[length])) ++length;
        for (std::size_t i = 0; i < width; ++i) {
            name.chars[i] = static_cast<char>(bytes[i] & padded_name_masks[length][i]);
        }
        name.length = length;
    } else {
        name.chars = {};
        std::size_t length = 0;
        for (; at + length < text.size() && is_name_char(text[at + length]); ++length) {
            name.chars[length] = text[at + length];
        }
        name.length = length;
    }
    // All sixteen at once, in a loop of fixed length without branches that the compiler turns into
    // a few vector instructions (the padding stays zero).
    for (char& ch : name.chars) {
        const bool lower = static_cast<unsigned char>(ch - 'a') < 26;  // as to_upper tells it
        ch = static_cast<char>(ch - (lower ? 'a' - 'A' : 0));
    }
    std::size_t end = at + name.length;
    if (name.length == width) {
        while (end < text.size() && is_name_char(text[end])) ++end;
    }
    return end;
}

// The value of a name the data-name table does not hold, as name_value tells it.
std::uint16_t address_or_undefined_value(const DataNameTable& names, const UpperName& name, std::string& address_name,
                                         std::string& undefined_name);

// The value of a name in a one-walk evaluation: a data name's own; 1 for an address name, a
// stand-in whose value only the linker knows (the first such name kept in `address_name`); 0 for
// a name not defined (kept in `undefined_name`). Names are kept cut to the 12 characters the
// messages show.
inline std::uint16_t name_value(const DataNameTable& names, const UpperName& name, std::string& address_name,
                                std::string& undefined_name) {
    if (const DataNameEntry* entry = data_name_find_padded(names, name.chars.data(), name.length)) return entry->value;
    return address_or_undefined_value(names, name, address_name, undefined_name);
}

// Evaluates the operand at the start of `text` (it ends at ',', '.', ';', newline or the end).
Evaluation evaluate_operand(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width);

// Where the next item of a list starts when an item ends at `end`, its blanks skipped: past the ','
// or '.' there and the blanks after it; none when anything else stands there.
inline std::optional<std::size_t> next_item_at(std::string_view text, std::size_t end) {
    if (end >= text.size() || (text[end] != ',' && text[end] != '.')) return std::nullopt;
    ++end;
    while (end < text.size() && is_blank(text[end])) ++end;
    return end;
}

// The value of one number written in the source (a B, D, H, O or Q suffix, else the default radix),
// cut to `width`.
std::uint16_t number_value(char default_radix, std::string_view digits, Width width);

// Upper-case hexadecimal without leading zeros, as values are written: 0, 1F, 8000. Written at the
// end of `buffer`; returns where the digits start.
inline std::size_t hex_into(std::array<char, 4>& buffer, std::uint16_t value) {
    std::size_t start = buffer.size();
    do {
        buffer[--start] = "0123456789ABCDEF"[value & 0xF];
        value = static_cast<std::uint16_t>(value >> 4);
    } while (value != 0);
    return start;
}
// The same digits as a string.
std::string hex_digits(std::uint16_t value);
// The same digits appended to `out`.
void append_hex_digits(std::string& out, std::uint16_t value);
