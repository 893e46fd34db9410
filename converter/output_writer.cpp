#include "output_writer.h"

#include <cstdio>

namespace {
constexpr std::size_t comment_column = 40;
constexpr std::size_t last_column = 255;

std::size_t next_tab_stop(std::size_t column) { return column / 8 * 8 + 8; }

// Appends tabs up to column 40 (at least one) and returns the column reached.
std::size_t tab_to_comment_column(std::string& line) {
    std::size_t column = column_after(line);
    do {
        line.push_back('\t');
        column = next_tab_stop(column);
    } while (column < comment_column);
    return column;
}

// Appends `text` starting at `column`, cut so that the line stays below column 255: the character
// that reaches it and everything after are replaced by a single newline.
void append_cut(std::string& line, std::string_view text, std::size_t column) {
    std::size_t start = line.size();
    for (char ch : text) {
        line.push_back(ch);
        column = ch == '\t' ? next_tab_stop(column) : column + 1;
        if (column >= last_column) break;
    }
    if (line.size() == start) {
        line.push_back('\n');
    } else {
        line.back() = '\n';
    }
}
}  // namespace

std::size_t column_after(std::string_view text, std::size_t start) {
    std::size_t column = start;
    for (char ch : text) column = ch == '\t' ? next_tab_stop(column) : column + 1;
    return column;
}

bool copy_label(Context& ctx, const LineRecord& record, std::size_t n) {
    std::string_view label = record.label_view();
    ctx.pass2.label_text = std::string(label.substr(0, std::min(n, label.size())));
    return !ctx.pass2.label_text.empty();
}

void put_label_field(Context& ctx, std::string_view label) {
    std::string& line = ctx.pass2.out_line;
    if (label.empty()) {
        line = "\t";
        return;
    }
    line = std::string(label.substr(0, std::min<std::size_t>(16, label.size())));
    line.push_back(line.size() < 8 ? '\t' : ' ');
}

void put_comment_field(Context& ctx, bool with_comment) {
    std::string& line = ctx.pass2.out_line;
    if (!with_comment) {
        line.push_back('\n');
        return;
    }
    std::size_t column = tab_to_comment_column(line);
    line += ";\t";
    append_cut(line, ctx.line_buffer, column + 8);
}

void emit_out_line(Context& ctx) {
    const std::string& line = ctx.pass2.out_line;
    std::FILE* output = ctx.pass2.output;
    if (output == nullptr || std::fwrite(line.data(), 1, line.size(), output) != line.size() ||
        std::ferror(output) != 0) {
        fatal(ctx.console, "\t%s Write Error\n", ctx.settings.output_path.c_str());
    }
}

std::string_view resolve_slot(const OperandSlots& slots, std::string_view text) {
    if (text.size() < 3 || text.front() != '{' || text.back() != '}') return text;
    std::string_view name = text.substr(1, text.size() - 2);
    if (name == "reg1") return slots.reg1;
    if (name == "reg2") return slots.reg2;
    if (name == "imm") return slots.imm;
    if (name == "mem") return slots.mem;
    if (name == "bit") return slots.bit;
    if (name == "target") return slots.target;
    if (name == "logic") return slots.logic;
    if (name == "reg1H") return slots.reg1H;
    if (name == "reg1L") return slots.reg1L;
    if (name == "reg2H") return slots.reg2H;
    if (name == "reg2L") return slots.reg2L;
    return text;
}

void write_line_list(Context& ctx, std::span<const TemplateStep> steps, bool with_comment,
                     std::string_view first_label, bool fill_slots) {
    auto text = [&](std::string_view step_text) {
        return fill_slots ? resolve_slot(ctx.pass2.slots, step_text) : step_text;
    };
    bool first = true;
    for (const TemplateStep& step : steps) {
        put_label_field(ctx, first && !first_label.empty() ? first_label : step.label);
        std::string& line = ctx.pass2.out_line;
        line += text(step.mnemonic);
        std::string_view operand1 = text(step.operand1);
        std::string_view operand2 = text(step.operand2);
        if (!operand1.empty()) {
            line.push_back('\t');
            line += operand1;
            if (!operand2.empty()) {
                line.push_back(',');
                line += operand2;
            }
        }
        put_comment_field(ctx, with_comment && first);
        emit_out_line(ctx);
        first = false;
    }
}

void write_source_line(Context& ctx, const LineRecord& record, bool with_comment) {
    std::string& line = ctx.pass2.out_line;
    if (record.code == line_code::label_only) {
        put_label_field(ctx, record.label_view());
        line += ".EQU\t$";
    } else if (record.code >= line_code::error_bit) {
        put_label_field(ctx, record.label_view());
        if (record.code >= in_error(kw::first_instruction)) {  // an instruction
            line += "NOP\t";
        } else if (record.code == in_error(kw::DB) || record.code == in_error(kw::DS)) {
            line += "DS\t1";
        } else if (record.code == in_error(kw::DW)) {
            line += "DS\t2";
        } else {
            line += "\t";
        }
        line += "\t;*** error ***";
    } else {
        line = ";";
    }
    put_comment_field(ctx, with_comment);
    emit_out_line(ctx);
}

void report_operand_error(Context& ctx, LineRecord& record, const Outcome& outcome) {
    record.code = in_error(record.code);
    if (!outcome.undefined_name.empty()) {
        ctx.console.print("(%d) ERROR: undefined symbol '%.12s'\n", ctx.includes.line_count(),
                          outcome.undefined_name.c_str());
    } else {
        ctx.console.print("(%d) ERROR: illegal operand\n", ctx.includes.line_count());
    }
    write_source_line(ctx, record, true);
}

void put_passthrough_line(Context& ctx) {
    std::string_view text = std::string_view(ctx.line_buffer).substr(1);
    std::string& line = ctx.pass2.out_line;
    if (!ctx.settings.copy_h8_area) {
        line = std::string(text);
        return;
    }
    std::string_view h8_text = text.substr(0, std::min(text.find(';'), text.size()));
    while (!h8_text.empty() && (h8_text.back() == ' ' || h8_text.back() == '\t' || h8_text.back() == '\n')) {
        h8_text.remove_suffix(1);
    }
    line = std::string(h8_text);
    std::size_t column = tab_to_comment_column(line);
    line += "; -->\t";
    append_cut(line, text, column + 8);
}
