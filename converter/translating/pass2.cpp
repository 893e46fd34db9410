#include "translating/pass2.h"

#include <string>

#include "reading/extended_names.h"
#include "reading/source_files.h"
#include "translating/directives.h"
#include "translating/dispatcher.h"
#include "translating/record_cursor.h"
#include "writing/output_writer.h"

namespace {

// Translates one source line, `line` as the source spells it, by its record's code.
Translation translate_line(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line) {
    const std::uint16_t code = record.code;
    if (code == line_code::passthrough) {
        OutputLine passthrough;
        passthrough.kind = LineKind::passthrough;
        return {passthrough};
    }
    if (code == line_code::label_only && !record.label_view().empty()) {
        // A label can be reached by a jump, with whatever flags the jump had.
        ctx.pass2.z_flag_unknown = true;
        ctx.pass2.last_arithmetic = Arithmetic::unknown;
    }
    if (code == line_code::label_only || code >= line_code::comment) return {source_line_of(record)};
    if (is_instruction(code)) return translate_instruction(ctx, cursor, record, line);
    if (code == kw::INCLUDE) {  // also MACLIB: the file is read from the next line on
        std::string name = include_name_at(line, record.col1);
        open_include(ctx, name, name);
    }
    return translate_directive(ctx, record, line);
}

void translate_records(Context& ctx, RecordCursor& cursor, SrcWriter& writer) {
    ctx.includes.levels[0].line_count = 0;
    std::string line;       // the current source line as written, always ending with its newline
    std::string respelled;  // extended mode: the line with its names respelled, which is translated
    for (;;) {
        switch (cursor.advance(ctx.console)) {
            case RecordCursor::Step::record: break;
            case RecordCursor::Step::end: close_sources(ctx); return;
            case RecordCursor::Step::read_error: return;
        }
        if (!cursor.take_lookahead(line) && !read_source_line(ctx, line)) {
            ctx.console.print("\t%s Read Error\n", ctx.settings.source_path.c_str());
            return;
        }
        ++ctx.includes.current().line_count;
        if (ctx.settings.extended) respelled = respell_names(line);
        const std::string& text = ctx.settings.extended ? respelled : line;
        writer.write(translate_line(ctx, cursor, cursor.current(), text), line);
    }
}

}  // namespace

void write_symbolic_file(Context& ctx, ReplacedFile& file) {
    const std::string& path = ctx.settings.symbolic_path;
    if (!file.open(path, ctx.files)) fatal(ctx.console, "\t%s Cannot Open\n", path.c_str());
    bool written = true;
    for (const DataNameEntry& entry : ctx.data_names.entries) {
        std::string line;
        if (entry.kind == name_kind::external) {
            line = format_text("%-16s EXTRN\n", entry.name.c_str());
        } else if (entry.kind == name_kind::macro_parameter) {
            line = format_text("%-16s MACRO\n", entry.name.c_str());
        } else {
            line = format_text("%-16s  %4X\n", entry.name.c_str(), entry.value);
        }
        written &= std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
    }
    written &= file.finish();
    // A symbol file that silently lost its end would be worse than none: say so.
    if (!written) fatal(ctx.console, "\t%s Write Error\n", path.c_str());
}

void run_pass2(Context& ctx) {
    ctx.console.write("Pass2:  Translate HD64180 to H8/300\n");
    open_main_source(ctx);
    SrcWriter writer(ctx.console, ctx.settings.output_path, ctx.settings.copy_h8_area);
    writer.open(ctx.files);
    if (ctx.work_file == nullptr || std::fseek(ctx.work_file.get(), 0, SEEK_SET) != 0) {
        fatal(ctx.console, "\t%s Cannot Open\n", ctx.work_file_name.c_str());
    }
    {
        RecordCursor cursor(std::move(ctx.work_file), ctx.total_lines, ctx.work_file_name);
        translate_records(ctx, cursor, writer);
    }  // the work file goes with the cursor

    writer.close();
    ReplacedFile symbolic;
    write_symbolic_file(ctx, symbolic);
    // Only now that both are complete does the pair take the place of the previous one.
    writer.commit();
    if (!symbolic.commit()) fatal(ctx.console, "\t%s Write Error\n", ctx.settings.symbolic_path.c_str());
}
