#include "reading/scanner.h"

#include <algorithm>

#include "reading/keywords.h"
#include "reading/text_scan.h"

std::uint16_t scan_line(Context& ctx, std::string_view line, LineRecord& record) {
    if (!line.empty() && line[0] == '\\') {
        record.code = line_code::passthrough;
        return record.code;
    }

    bool label_seen = false;
    bool mnemonic_seen = false;
    std::string word;
    std::size_t col = 0;
    const std::size_t limit = std::min<std::size_t>(line.size(), 255);
    while (col < limit) {
        const char ch = line[col];
        if (ch == '\0' || ch == '\n' || ch == ';') break;
        if (is_white_space(ch) || ch == ':') {
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

        std::size_t length = name_scan(word, line.substr(col), 16);
        std::size_t consumed = length;
        if (length == 16 && col + 16 < line.size() && is_name_char(line[col + 16])) {
            ctx.console.print("(%d) WARNING: label length %d over '%s'+'", ctx.includes.line_count(), 16, word.c_str());
            while (col + consumed < line.size() && is_name_char(line[col + consumed])) {
                ctx.console.write(line.substr(col + consumed, 1));
                ++consumed;
            }
            ctx.console.write("'\n");
        }
        col += consumed;

        if (const std::optional<std::uint16_t> code = keyword_lookup(word)) {
            record.code = *code;
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
            ctx.console.print("(%d) ERROR: unknown mnemonic '%.12s'\n", ctx.includes.line_count(), word.c_str());
            record.code = line_code::unknown;
            return record.code;
        }
        record.set_label(word);
        label_seen = true;
    }
    if (!label_seen && !mnemonic_seen) record.code = line_code::comment;
    return record.code;
}
