#include "reading/scanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "reading/extended_keywords.h"
#include "reading/keywords.h"
#include "reading/text_scan.h"

namespace {

// The code of the keyword a word is, or 0; `packed` holds the word's bytes when it has at most
// longest_keyword of them.
std::uint16_t find_keyword(const Context& ctx, std::string_view word, std::uint64_t packed) {
    if (ctx.settings.extended) {
        if (std::optional<std::uint16_t> code = extended_keyword_lookup(word)) return *code;
    }
    if (word.size() > longest_keyword) return 0;
    return keyword_code_packed(packed, word.size());
}

// The bytes of the first `length` characters at `text` (at most longest_keyword of them) as one
// number, the first byte lowest: eight bytes read at once where the text goes on that far.
// For each length up to longest_keyword, its low bytes set.
constexpr std::array<std::uint64_t, longest_keyword + 1> packed_masks = [] {
    std::array<std::uint64_t, longest_keyword + 1> masks{};
    for (std::size_t length = 1; length <= longest_keyword; ++length) masks[length] = (masks[length - 1] << 8) | 0xFF;
    return masks;
}();

std::uint64_t packed_word(const char* text, std::size_t length, std::size_t available) {
    std::uint64_t packed = 0;
    if (std::endian::native == std::endian::little && available >= 8) {
        std::memcpy(&packed, text, 8);
        return packed & packed_masks[length];
    }
    for (std::size_t i = 0; i < length; ++i) packed |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
    return packed;
}

// What a character between the fields of a line does: ends them (NUL, newline, the ';' of a
// comment), separates them (white space, ':') or begins a word. One look at this table decides it.
constexpr std::uint8_t field_start = 0;
constexpr std::uint8_t field_end = 1;
constexpr std::uint8_t field_separator = 2;
constexpr std::uint8_t field_prefix = 3;  // '#', '$' or '.': begins a word, or stands before a mnemonic
constexpr std::array<std::uint8_t, 256> field_kinds = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(field_start);
    for (int ch = 0; ch < 256; ++ch) {
        if (is_white_space(static_cast<char>(ch))) table[static_cast<std::size_t>(ch)] = field_separator;
    }
    table[':'] = field_separator;
    for (unsigned char ch : {'\0', '\n', ';'}) table[ch] = field_end;
    for (unsigned char ch : {'#', '$', '.'}) table[ch] = field_prefix;
    return table;
}();

// Extended mode: the lines that are comments before any word is read. A .COMMENT block runs from
// the character after .COMMENT to the next line holding that character again; a line that begins
// with '*' is a comment (*EJECT starts a new page).
bool scan_comment_line(Context& ctx, std::string_view line, LineRecord& record) {
    if (ctx.comment_delimiter != 0) {
        if (line.find(ctx.comment_delimiter) != std::string_view::npos) ctx.comment_delimiter = 0;
        record.code = line_code::comment;
        return true;
    }
    if (line.starts_with('*')) {
        record.code = line.starts_with("*EJECT") ? kw::PAGE : line_code::comment;
        return true;
    }
    return false;
}

// After a .COMMENT keyword: the first character after the blanks opens the block, which ends on
// this line when the character comes again.
void open_comment_block(Context& ctx, std::string_view line, std::size_t col) {
    while (col < line.size() && is_blank(line[col])) ++col;
    if (col >= line.size() || line[col] == '\n') return;
    const char delimiter = line[col];
    if (line.find(delimiter, col + 1) == std::string_view::npos) ctx.comment_delimiter = delimiter;
}

// A name longer than 16 characters: warns with the characters past the 16th, which are passed
// over; returns the column behind the name. Out of the scanner's way, as few names are so long.
[[gnu::noinline]] std::size_t warn_of_long_name(Context& ctx, std::string_view line, std::size_t col) {
    ctx.console.print("(%d) WARNING: label length %d over '%s'+'", ctx.includes.line_count(), 16,
                      std::string(line.substr(col, 16)).c_str());
    std::size_t end = col + 16;
    while (end < line.size() && is_name_char(line[end])) ++end;
    ctx.console.write(line.substr(col + 16, end - (col + 16)));
    ctx.console.write("'\n");
    return end;
}

[[gnu::noinline]] std::uint16_t report_unknown_mnemonic(Context& ctx, std::string_view word, LineRecord& record) {
    ctx.console.print("(%d) ERROR: unknown mnemonic '%.12s'\n", ctx.includes.line_count(), std::string(word).c_str());
    record.code = line_code::unknown;
    return record.code;
}

// Passes over the separators at `col`; returns the kind of the character it stops at, field_end
// at the end of the line or past column 254. With `newline_ended` (see scan_line) the newline is
// met before either, and nothing need be counted.
inline std::uint8_t skip_separators(const char* text, std::size_t limit, std::size_t& col, bool newline_ended) {
    if (newline_ended) {
        for (;; ++col) {
            const std::uint8_t kind = field_kinds[static_cast<unsigned char>(text[col])];
            if (kind != field_separator) return kind;
        }
    }
    while (col < limit) {
        const std::uint8_t kind = field_kinds[static_cast<unsigned char>(text[col])];
        if (kind != field_separator) return kind;
        ++col;
    }
    return field_end;
}

// A word as the scanner reads it: its name characters (at most 16) and, for a word no longer than
// a keyword, its bytes packed for the keyword lookup.
struct Word {
    std::string_view text;
    std::uint64_t packed = 0;
};

// Reads the word at `col` and moves `col` behind it, past any characters over the 16th (with
// `newline_ended`, the newline ends the word without counting).
inline Word read_word(Context& ctx, std::string_view line, std::size_t& col, bool newline_ended) {
    const char* const text = line.data();
    const std::size_t size = line.size();
    const std::size_t start = col;
    std::size_t end = start;
    if (newline_ended) {
        while (is_name_char(text[end])) ++end;
    } else {
        while (end < size && is_name_char(text[end])) ++end;
    }
    const std::size_t length = std::min<std::size_t>(end - start, 16);
    Word word;
    word.text = std::string_view(text + start, length);
    if (length <= longest_keyword) word.packed = packed_word(text + start, length, size - start);
    col = end - start > 16 ? warn_of_long_name(ctx, line, start) : end;
    return word;
}

// What the mnemonic field turned out to be.
enum class Mnemonic {
    none,        // no keyword and no macro name
    read,        // the record's code is set; the operand follows
    line_ended,  // a .COMMENT block opened: nothing more of the line is read
};

// The keywords that need more than their code: .COMMENT opens a comment block, MACRO defines its
// label as a macro name (an empty label, where a prefix character stood, defines nothing). Out of
// the scanner's way, as few lines hold them.
[[gnu::noinline]] Mnemonic note_block_keyword(Context& ctx, std::string_view line, std::size_t col, bool label_seen,
                                              LineRecord& record) {
    if (record.code == kw::COMMENT) {
        open_comment_block(ctx, line, col);
        record.code = line_code::comment;
        return Mnemonic::line_ended;
    }
    if (label_seen && record.has_label()) macro_name_put(ctx.macro_names, ctx.console, record.label_view());
    return Mnemonic::read;
}

// A mnemonic that is no keyword may name a macro.
[[gnu::noinline]] Mnemonic read_macro_call(const Context& ctx, std::string_view word, LineRecord& record) {
    const std::optional<std::size_t> macro = macro_name_find_word(ctx.macro_names, word);
    if (!macro) return Mnemonic::none;
    record.code = line_code::macro_call;
    set_macro_index(record, *macro);
    return Mnemonic::read;
}

// Reads the mnemonic field, a keyword or a macro name, into the record's code.
inline Mnemonic read_mnemonic(Context& ctx, std::string_view line, std::size_t col, const Word& word, bool label_seen,
                              LineRecord& record) {
    const std::uint16_t code = find_keyword(ctx, word.text, word.packed);
    if (code == 0) return read_macro_call(ctx, word.text, record);
    record.code = code;
    if (record.code == kw::COMMENT || record.code == kw::MACRO) {
        return note_block_keyword(ctx, line, col, label_seen, record);
    }
    return Mnemonic::read;
}

// After the mnemonic: the column where the operand begins, if any.
std::uint16_t read_operand_column(const char* text, std::size_t limit, std::size_t col, bool newline_ended,
                                  LineRecord& record) {
    if (skip_separators(text, limit, col, newline_ended) == field_end) return record.code;
    record.col1 = static_cast<std::uint8_t>(col);
    // X EQU $... defines X at the current location: a plain label line.
    if (record.code == kw::EQU && text[col] == '$') record.code = line_code::label_only;
    return record.code;
}

}  // namespace

// A line has at most three fields, read in turn: a label (or a prefix character in its place), the
// mnemonic, and the operand, of which only the column is taken.
std::uint16_t scan_line(Context& ctx, std::string_view line, LineRecord& record) {
    if (!line.empty() && line[0] == '\\') {
        record.code = line_code::passthrough;
        return record.code;
    }
    if (ctx.settings.extended && scan_comment_line(ctx, line, record)) return record.code;

    const char* const text = line.data();
    const std::size_t limit = std::min<std::size_t>(line.size(), 255);
    // Every line the reader gives ends with its newline within column 254: the newline then ends
    // the fields and any word before the line or column 254 does.
    const bool newline_ended = !line.empty() && line.back() == '\n' && line.size() <= 255;
    std::size_t col = 0;

    // The first field.
    std::uint8_t kind = skip_separators(text, limit, col, newline_ended);
    if (kind == field_end) {
        record.code = line_code::comment;
        return record.code;
    }
    if (kind == field_prefix) {
        // A prefix character makes the next word a mnemonic, as in .Z80 or $TITLE.
        ++col;
    } else {
        const Word first = read_word(ctx, line, col, newline_ended);
        // Extended mode: a first word with a colon is a label even when it is a keyword (LIST:,
        // END:, CPL:), as the relocating assemblers read it.
        const bool keyword_label = ctx.settings.extended && col < line.size() && text[col] == ':';
        if (!keyword_label) {
            const Mnemonic mnemonic = read_mnemonic(ctx, line, col, first, false, record);
            if (mnemonic == Mnemonic::read) return read_operand_column(text, limit, col, newline_ended, record);
            if (mnemonic == Mnemonic::line_ended) return record.code;
        }
        record.set_label(first.text);
    }

    // The mnemonic behind a label.
    kind = skip_separators(text, limit, col, newline_ended);
    if (kind == field_end) return record.code;
    const Word second = read_word(ctx, line, col, newline_ended);
    switch (read_mnemonic(ctx, line, col, second, true, record)) {
        case Mnemonic::none: return report_unknown_mnemonic(ctx, second.text, record);
        case Mnemonic::read: return read_operand_column(text, limit, col, newline_ended, record);
        case Mnemonic::line_ended: break;
    }
    return record.code;
}
