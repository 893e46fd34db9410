#include "pass2.h"

#include <algorithm>
#include <cstdio>

#include "directives.h"
#include "vocabulary.h"
#include "dispatcher.h"
#include "output_writer.h"
#include "source_files.h"
#include "work_file.h"

namespace {

constexpr std::size_t half = RecordWindow::half;

void slide_window(RecordWindow& window) {
    std::copy(window.slots.begin() + half, window.slots.end(), window.slots.begin());
}

// Reads `count` records into the upper half; false (after the Read Error message) when fewer arrive.
bool fill_upper_half(Context& ctx, std::size_t count) {
    if (count == 0) return true;
    if (read_work_records(ctx.pass2.work, &ctx.pass2.window.slots[half], count) == count) return true;
    ctx.console.print("\t%s Read Error\n", work_file_name);
    return false;
}

void close_output(Context& ctx) {
    std::FILE* output = ctx.pass2.output;
    ctx.pass2.output = nullptr;
    // Buffered lines reach the disk only now, so a full disk shows up here.
    if (output != nullptr && std::fclose(output) != 0) {
        fatal(ctx.console, "\t%s Write Error\n", ctx.settings.output_path.c_str());
    }
}

void dispatch_line(Context& ctx, LineRecord& record) {
    const std::uint16_t code = record.code;
    if (code == line_code::passthrough) {
        put_passthrough_line(ctx);
        emit_out_line(ctx);
    } else if (code == line_code::label_only || code >= line_code::comment) {
        write_source_line(ctx, record, true);
    } else if (is_instruction(code)) {
        translate_instruction(ctx, record);
    } else {
        if (code == kw::INCLUDE) {  // also MACLIB: the file is read from the next line on
            std::string name = include_name_at(ctx.line_buffer, record.col1);
            open_include(ctx, name, name);
        }
        translate_directive(ctx, record);
    }
}

void translate_records(Context& ctx) {
    Pass2State& pass2 = ctx.pass2;
    slide_window(pass2.window);  // the upper half is still zero: this clears the lower half
    if (!fill_upper_half(ctx, std::min<std::size_t>(ctx.total_lines, half))) return;
    ctx.includes.levels[0].line_count = 0;
    pass2.record_number = 1;
    pass2.current_slot = half;

    for (;; ++pass2.record_number, ++pass2.current_slot) {
        if (pass2.record_number > ctx.total_lines) {
            close_sources(ctx);
            return;
        }
        if ((pass2.record_number - 1) % half == 48) {
            slide_window(pass2.window);
            pass2.current_slot -= half;
            long unread = static_cast<long>(ctx.total_lines) - pass2.record_number - 47;
            if (unread > 0 && !fill_upper_half(ctx, static_cast<std::size_t>(std::min<long>(unread, half)))) return;
        }
        if (pass2.lookahead_pending) {
            ctx.line_buffer = pass2.lookahead_line;
            pass2.lookahead_pending = false;
        } else if (!read_source_line(ctx, ctx.line_buffer)) {
            ctx.console.print("\t%s Read Error\n", ctx.settings.source_path.c_str());
            return;
        }
        ++ctx.includes.current().line_count;
        dispatch_line(ctx, pass2.window.slots[pass2.current_slot]);
    }
}

}  // namespace

LineRecord* window_record(Context& ctx, int offset) {
    const Pass2State& pass2 = ctx.pass2;
    long number = static_cast<long>(pass2.record_number) + offset;
    long slot = static_cast<long>(pass2.current_slot) + offset;
    if (number < 1 || number > ctx.total_lines) return nullptr;
    if (slot < 0 || slot >= static_cast<long>(RecordWindow::size)) return nullptr;
    return &ctx.pass2.window.slots[static_cast<std::size_t>(slot)];
}

bool read_lookahead_line(Context& ctx) {
    Pass2State& pass2 = ctx.pass2;
    pass2.lookahead_pending = ctx.includes.current().file.read_line(pass2.lookahead_line);
    return pass2.lookahead_pending;
}

void write_symbolic_file(Context& ctx) {
    const std::string& path = ctx.settings.symbolic_path;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) fatal(ctx.console, "\t%s Cannot Open\n", path.c_str());
    bool failed = false;
    for (const DataNameEntry& entry : ctx.data_names.entries) {
        std::string line;
        if (entry.kind == name_kind::external) {
            line = format_text("%-16s EXTRN\n", entry.name.c_str());
        } else if (entry.kind == name_kind::macro_parameter) {
            line = format_text("%-16s MACRO\n", entry.name.c_str());
        } else {
            line = format_text("%-16s  %4X\n", entry.name.c_str(), entry.value);
        }
        failed |= std::fwrite(line.data(), 1, line.size(), file) != line.size();
    }
    failed |= std::fclose(file) != 0;
    // A symbol file that silently lost its end would be worse than none: say so.
    if (failed) fatal(ctx.console, "\t%s Write Error\n", path.c_str());
}

void run_pass2(Context& ctx) {
    ctx.console.write("Pass2:  Translate HD64180 to H8/300\n");
    open_main_source(ctx);
    ctx.pass2.output = std::fopen(ctx.settings.output_path.c_str(), "w");
    if (ctx.pass2.output == nullptr) fatal(ctx.console, "\t%s Cannot Open\n", ctx.settings.output_path.c_str());
    ctx.pass2.work = std::fopen(work_file_name, "rb");
    if (ctx.pass2.work == nullptr) fatal(ctx.console, "\t%s Cannot Open\n", work_file_name);

    translate_records(ctx);

    close_output(ctx);
    std::fclose(ctx.pass2.work);
    ctx.pass2.work = nullptr;
    remove_work_file(ctx);
    write_symbolic_file(ctx);
}
