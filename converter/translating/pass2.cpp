#include "translating/pass2.h"

#include <algorithm>
#include <string>

#include "reading/extended_names.h"
#include "reading/keywords.h"
#include "reading/source_files.h"
#include "translating/directives.h"
#include "translating/dispatcher.h"
#include "translating/layout.h"
#include "translating/record_cursor.h"
#include "writing/output_writer.h"

namespace {

// Translates one source line, `line` as the source spells it, by its record's code, into `out`
// (empty).
void translate_line(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line, Translation& out,
                    TemplateLines* direct) {
    const std::uint16_t code = record.code;
    if (code == line_code::passthrough) {
        out.emplace_back().kind = LineKind::passthrough;
        return;
    }
    if (code == line_code::label_only && !record.label_view().empty()) {
        // A label can be reached by a jump, with whatever flags the jump had.
        ctx.pass2.z_flag_unknown = ctx.pass2.s_flag_unknown = true;
        ctx.pass2.last_arithmetic = Arithmetic::unknown;
    }
    if (code == line_code::label_only || code >= line_code::comment) {
        put_source_line(record, out.emplace_back());
        return;
    }
    if (is_instruction(code)) {
        translate_instruction(ctx, cursor, record, line, out, direct);
        return;
    }
    if (code == kw::INCLUDE) {  // also MACLIB: the file is read from the next line on
        std::string name = include_name_at(line, record.col1);
        open_include(ctx, name, name);
    }
    translate_directive(ctx, record, line, out);
}

void translate_records(Context& ctx, RecordCursor& cursor, Layout& layout) {
    ctx.includes.levels[0].line_count = 0;
    std::string_view line;  // the current source line as written, always ending with its newline
    std::string held;       // the line, when it must outlive a line read ahead (see below)
    std::string respelled;  // extended mode: the line with its names respelled, which is translated
    // Every line's translation is made here; the layout leaves it here, or (in the GNU syntax) hands
    // back the one its window had in that slot: the vectors keep their room, so that a line takes
    // no new memory for its list.
    Translation lines;
    // In the H8/300 syntax a translation's template lines are written straight from their steps and
    // the slots: most lines are these, and they need no OutputLine.
    TemplateLines direct;
    for (;;) {
        switch (cursor.advance(ctx.console)) {
            case RecordCursor::Step::record: break;
            case RecordCursor::Step::end: close_sources(ctx); return;
            case RecordCursor::Step::read_error: return;
        }
        if (cursor.take_lookahead(held)) {
            line = held;
        } else if (!read_source_line(ctx, line)) {
            ctx.console.print("\t%s Read Error\n", ctx.settings.source_path.c_str());
            return;
        }
        // A line is read as a view into the file's block, which reading the next line ahead may
        // refill. Only a JR's translation reads ahead (to merge it with a JR after it): its line is
        // copied first, and no other line's translation may read ahead.
        const bool may_read_ahead = cursor.current().code == kw::JR;
        if (may_read_ahead && line.data() != held.data()) {
            held.assign(line);
            line = held;
        }
        cursor.allow_read_ahead(may_read_ahead);
        ++ctx.includes.current().line_count;
        const std::uint16_t number = ctx.includes.line_count();
        if (ctx.settings.extended) respelled = respell_names(line);
        const std::string_view text = ctx.settings.extended ? std::string_view(respelled) : line;
        lines.clear();
        direct = {};
        translate_line(ctx, cursor, cursor.current(), text, lines, ctx.settings.gas ? nullptr : &direct);
        layout.add(lines, direct, line, number);
    }
}

// The linker script beside a GNU output: every section the source fixes at its address, the others
// from address 0 on in the order they were opened (after the fixed ones when one of those is at 0).
std::string linker_script(const Context& ctx) {
    const std::vector<GasSection>& sections = ctx.pass2.gas_sections.sections;
    std::string text = format_text(
        "/* Places the sections of %s: link with ld -T. Never link with --relax: the\n"
        "   fixed distances of the generated branches ($+n) do not survive it. */\n"
        "SECTIONS\n{\n",
        ctx.settings.output_path.c_str());
    bool fixed_at_zero = false;
    std::vector<const GasSection*> fixed;
    for (const GasSection& section : sections) {
        if (!section.fixed) continue;
        fixed.push_back(&section);
        fixed_at_zero |= section.address == 0;
    }
    std::stable_sort(fixed.begin(), fixed.end(),
                     [](const GasSection* a, const GasSection* b) { return a->address < b->address; });
    std::string floating = "  .text 0x0 : { *(.text) }\n";
    for (const GasSection& section : sections) {
        if (!section.fixed) floating += format_text("  %s : { *(%s) }\n", section.name.c_str(), section.name.c_str());
    }
    floating += "  .data : { *(.data) }\n  .bss : { *(.bss) }\n";
    if (fixed_at_zero) floating.replace(floating.find(" 0x0"), 4, "");
    if (!fixed_at_zero) text += floating;
    for (const GasSection* section : fixed) {
        text += format_text("  %s 0x%X : { *(%s) }\n", section->name.c_str(), section->address, section->name.c_str());
    }
    if (fixed_at_zero) text += floating;
    text += "}\n";
    return text;
}

void write_linker_script(Context& ctx, ReplacedFile& file) {
    const std::string& path = ctx.settings.script_path;
    if (!file.open(path, ctx.files)) fatal(ctx.console, "\t%s Cannot Open\n", path.c_str());
    const std::string text = linker_script(ctx);
    bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    written &= file.finish();
    if (!written) fatal(ctx.console, "\t%s Write Error\n", path.c_str());
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
    SrcWriter writer(ctx.console, ctx.settings.output_path, ctx.settings.copy_h8_area, ctx.settings.gas);
    writer.open(ctx.files);
    if (ctx.work_file == nullptr || std::fseek(ctx.work_file.get(), 0, SEEK_SET) != 0) {
        fatal(ctx.console, "\t%s Cannot Open\n", ctx.work_file_name.c_str());
    }
    // A line goes out once the branches in it are measured, which takes the lines up to their labels.
    Layout layout(ctx, writer, ctx.labels);
    {
        RecordCursor cursor(std::move(ctx.work_file), ctx.total_lines, ctx.work_file_name);
        translate_records(ctx, cursor, layout);
    }  // the work file goes with the cursor
    layout.finish();

    writer.close();
    ReplacedFile symbolic;
    write_symbolic_file(ctx, symbolic);
    ReplacedFile script;
    if (ctx.settings.gas) write_linker_script(ctx, script);
    // Only now that all are complete do they take the place of the previous ones.
    writer.commit();
    if (!symbolic.commit()) fatal(ctx.console, "\t%s Write Error\n", ctx.settings.symbolic_path.c_str());
    if (ctx.settings.gas && !script.commit()) {
        fatal(ctx.console, "\t%s Write Error\n", ctx.settings.script_path.c_str());
    }
}
