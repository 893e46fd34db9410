#include "reading/scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "reading/extended_keywords.h"
#include "reading/keywords.h"
#include "reading/text_scan.h"

namespace {

std::optional<std::uint16_t> find_keyword(const Context& ctx, std::string_view word) {
    if (ctx.settings.extended) {
        if (std::optional<std::uint16_t> code = extended_keyword_lookup(word)) return code;
    }
    return keyword_lookup(word);
}

// What a character between the fields of a line does: ends them (NUL, newline, the ';' of a
// comment), separates them (white space, ':') or begins a word. One look at this table decides it.
constexpr std::uint8_t field_start = 0;
constexpr std::uint8_t field_end = 1;
constexpr std::uint8_t field_separator = 2;
constexpr std::array<std::uint8_t, 256> field_kinds = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(field_start);
    for (int ch = 0; ch < 256; ++ch) {
        if (is_white_space(static_cast<char>(ch))) table[static_cast<std::size_t>(ch)] = field_separator;
    }
    table[':'] = field_separator;
    for (unsigned char ch : {'\0', '\n', ';'}) table[ch] = field_end;
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

}  // namespace

std::uint16_t scan_line(Context& ctx, std::string_view line, LineRecord& record) {
    if (!line.empty() && line[0] == '\\') {
        record.code = line_code::passthrough;
        return record.code;
    }
    if (ctx.settings.extended && scan_comment_line(ctx, line, record)) return record.code;

    bool label_seen = false;
    bool mnemonic_seen = false;
    std::size_t col = 0;
    const std::size_t limit = std::min<std::size_t>(line.size(), 255);
    while (col < limit) {
        const char ch = line[col];
        const std::uint8_t kind = field_kinds[static_cast<unsigned char>(ch)];
        if (kind == field_end) break;
        if (kind == field_separator) {
            ++col;
            continue;
        }
        // A prefix character makes the next word a mnemonic, as in .Z80 or $TITLE.
        if (!label_seen && !mnemonic_seen && (ch == '#' || ch == '$' || ch == '.')) {
            label_seen = true;
            ++col;
            continue;
        }
        if (mnemonic_seen) {
            record.col1 = static_cast<std::uint8_t>(col);
            // X EQU $... defines X at the current location: a plain label line.
            if (record.code == kw::EQU && ch == '$') record.code = line_code::label_only;
            break;
        }

        const std::string_view word = name_at(line.substr(col), 16);
        std::size_t consumed = word.size();
        if (word.size() == 16 && col + 16 < line.size() && is_name_char(line[col + 16])) {
            ctx.console.print("(%d) WARNING: label length %d over '%s'+'", ctx.includes.line_count(), 16,
                              std::string(word).c_str());
            while (col + consumed < line.size() && is_name_char(line[col + consumed])) {
                ctx.console.write(line.substr(col + consumed, 1));
                ++consumed;
            }
            ctx.console.write("'\n");
        }
        col += consumed;

        // Extended mode: a first word with a colon is a label even when it is a keyword (LIST:,
        // END:, CPL:), as the relocating assemblers read it.
        const bool keyword_label =
            ctx.settings.extended && !label_seen && !mnemonic_seen && col < line.size() && line[col] == ':';
        if (keyword_label) {
            record.set_label(word);
            label_seen = true;
            continue;
        }
        if (const std::optional<std::uint16_t> code = find_keyword(ctx, word)) {
            record.code = *code;
            if (record.code == kw::COMMENT) {
                open_comment_block(ctx, line, col);
                record.code = line_code::comment;
                return record.code;
            }
            // An empty label (a prefix character stood in its place) never names a macro.
            if (label_seen && record.code == kw::MACRO && !record.label_view().empty()) {
                macro_name_put(ctx.macro_names, ctx.console, record.label_view());
            }
            mnemonic_seen = true;
            continue;
        }
        if (auto macro = macro_name_find(ctx.macro_names, word)) {
            record.code = line_code::macro_call;
            set_macro_index(record, *macro);
            mnemonic_seen = true;
            continue;
        }
        if (label_seen) {
            ctx.console.print("(%d) ERROR: unknown mnemonic '%.12s'\n", ctx.includes.line_count(),
                              std::string(word).c_str());
            record.code = line_code::unknown;
            return record.code;
        }
        record.set_label(word);
        label_seen = true;
    }
    if (!label_seen && !mnemonic_seen) record.code = line_code::comment;
    return record.code;
}
