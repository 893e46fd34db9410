#include "writing/output_writer.h"

#include <algorithm>

#include "reading/text_scan.h"
#include "writing/gas_syntax.h"

namespace {
constexpr std::size_t comment_column = 40;
constexpr std::size_t last_column = 255;
constexpr std::size_t label_max = 16;

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

// The label field: the label and a tab (shorter than 8) or a blank; a lone tab without a label.
void put_label_field(std::string& line, std::string_view label) {
    if (label.empty()) {
        line = "\t";
        return;
    }
    line = label.substr(0, std::min(label_max, label.size()));
    line.push_back(line.size() < 8 ? '\t' : ' ');
}

// Ends the line: a newline, or with `with_comment` the comment field for the source line.
void put_comment_field(std::string& line, std::string_view source_line, bool with_comment) {
    if (!with_comment) {
        line.push_back('\n');
        return;
    }
    std::size_t column = tab_to_comment_column(line);
    line += ";\t";
    append_cut(line, source_line, column + 8);
}

const char* warning_text(Warning warning) {
    switch (warning) {
        case Warning::z_flag_unknown: return ";\t\t\t*** warning: Z flag unknown ***\n";
        case Warning::c_flag_unknown: return ";\t\t\t*** warning: C flag unknown ***\n";
        case Warning::daa_unknown: return ";\t\t\t*** warning: DAA after unknown operation ***\n";
        case Warning::byte_order: return ";\t\t\t*** warning: byte order ***\n";
        case Warning::branch_out_of_range: return ";\t\t\t*** warning: branch out of range ***\n";
        case Warning::redefinition:
        case Warning::none: break;
    }
    return ";\t\t\t\t;*** warning: EQU,DS redefine ***\n";
}

void render_passthrough(std::string& line, std::string_view source_line, bool copy_h8_area) {
    std::string_view text = source_line.substr(std::min<std::size_t>(1, source_line.size()));
    if (!copy_h8_area) {
        line = text;
        return;
    }
    std::string_view h8_text = text.substr(0, std::min(text.find(';'), text.size()));
    while (!h8_text.empty() && (h8_text.back() == ' ' || h8_text.back() == '\t' || h8_text.back() == '\n')) {
        h8_text.remove_suffix(1);
    }
    line = h8_text;
    std::size_t column = tab_to_comment_column(line);
    line += "; -->\t";
    append_cut(line, text, column + 8);
}

void render_into(std::string& line, const OutputLine& out, std::string_view source_line, bool with_comment,
                 bool copy_h8_area) {
    switch (out.kind) {
        case LineKind::warning: line = warning_text(out.warning); return;
        case LineKind::passthrough: render_passthrough(line, source_line, copy_h8_area); return;
        case LineKind::comment: line = ";"; break;
        case LineKind::label_only:
            put_label_field(line, out.label);
            line += ".EQU\t$";
            break;
        case LineKind::error:
            put_label_field(line, out.label);
            line += out.mnemonic;
            line.push_back('\t');
            line += out.operand1;
            line += "\t;*** error ***";
            break;
        case LineKind::code:
            put_label_field(line, out.label);
            line += out.mnemonic;
            if (!out.operand1.empty()) {
                line.push_back('\t');
                line += out.operand1;
                if (!out.operand2.empty()) {
                    line.push_back(',');
                    line += out.operand2;
                }
            }
            break;
    }
    put_comment_field(line, source_line, with_comment);
}

// The GNU syntax. The same columns and comment field; the fields in the words of GNU as.

// A label ends with ':' in GNU as.
void put_gas_label_field(std::string& line, std::string_view label) {
    if (label.empty()) {
        line = "\t";
        return;
    }
    line = gas_symbol(label.substr(0, std::min(label_max, label.size()))) + ":";
    line.push_back(line.size() < 8 ? '\t' : ' ');
}

void append_operand(std::string& line, std::string_view mnemonic, const std::string& operand) {
    line += mnemonic;
    if (!operand.empty()) {
        line.push_back('\t');
        line += operand;
    }
}

// The directive as GNU as writes it; a directive it has no use for stays visible as a comment.
void put_gas_directive(std::string& line, const OutputLine& out) {
    const std::string operand = gas_operand(out.pieces1, out.operand1);
    const std::string name = out.label.empty() ? std::string() : gas_symbol(out.label);
    switch (out.directive) {
        case Directive::section: line = "\t.section\t" + out.section + (out.code_section ? ",\"x\"" : ",\"w\""); return;
        case Directive::equ:
        case Directive::assign:
            if (name.empty()) break;
            line = "\t";
            append_operand(line, out.directive == Directive::equ ? ".equ" : ".set", name + "," + operand);
            return;
        case Directive::data_byte:
            put_gas_label_field(line, out.label);
            append_operand(line, ".byte", operand);
            return;
        case Directive::data_word:
            put_gas_label_field(line, out.label);
            append_operand(line, ".word", operand);
            return;
        case Directive::string:
            put_gas_label_field(line, out.label);
            append_operand(line, ".ascii", operand);
            return;
        case Directive::reserve:
            put_gas_label_field(line, out.label);
            append_operand(line, ".space", operand);
            return;
        case Directive::export_names:
            put_gas_label_field(line, out.label);
            append_operand(line, ".global", operand);
            return;
        case Directive::import_names:
            put_gas_label_field(line, out.label);
            append_operand(line, ".extern", operand);
            return;
        case Directive::macro:
            line = "\t";
            append_operand(line, ".macro", operand);
            return;
        case Directive::end_macro: line = "\t.endm"; return;
        case Directive::macro_call:
            put_gas_label_field(line, out.label);
            append_operand(line, upper_case(out.mnemonic), operand);
            return;
        case Directive::list: line = "\t.list"; return;
        case Directive::nolist: line = "\t.nolist"; return;
        case Directive::page: line = "\t.eject"; return;
        case Directive::end: line = "\t.end"; return;
        case Directive::program:
        case Directive::heading:
        case Directive::none: break;
    }
    line = ";\t";
    append_operand(line, out.mnemonic, out.operand1);
}

// An instruction; a branch out of reach of its 8-bit displacement jumps instead, past a branch on
// the opposite condition. `rest` receives the line that follows (with its newline).
void put_gas_instruction(std::string& line, const OutputLine& out, std::string& rest) {
    put_gas_label_field(line, out.label);
    const std::string operand1 = gas_operand(out.pieces1, out.operand1);
    if (out.long_branch) {
        const std::string jump = "JMP\t@" + operand1;
        const std::string_view opposite = opposite_branch(out.mnemonic);
        if (opposite.empty()) {
            line += jump;
            return;
        }
        line += opposite;
        line += "\t.+6";
        rest = "\t" + jump + "\n";
        return;
    }
    line += out.mnemonic;
    if (!operand1.empty()) {
        line.push_back('\t');
        line += operand1;
        const std::string operand2 = gas_operand(out.pieces2, out.operand2);
        if (!operand2.empty()) {
            line.push_back(',');
            line += operand2;
        }
    }
}

void render_gas_into(std::string& line, const OutputLine& out, std::string_view source_line, bool with_comment,
                     bool copy_h8_area) {
    std::string rest;
    switch (out.kind) {
        case LineKind::warning: line = warning_text(out.warning); return;
        case LineKind::passthrough: render_passthrough(line, gas_passthrough_text(source_line), copy_h8_area); return;
        case LineKind::comment: line = ";"; break;
        case LineKind::label_only: put_gas_label_field(line, out.label); break;
        case LineKind::error:
            // A placeholder GNU as assembles, of the size the line would have had where it is known.
            put_gas_label_field(line, out.label);
            line += out.mnemonic == "DS" ? ".space" : out.mnemonic;
            line.push_back('\t');
            line += out.operand1;
            line += "\t;*** error ***";
            break;
        case LineKind::code:
            if (out.directive == Directive::none) {
                put_gas_instruction(line, out, rest);
            } else {
                put_gas_directive(line, out);
            }
            break;
    }
    put_comment_field(line, source_line, with_comment);
    line += rest;
}

}  // namespace

std::size_t column_after(std::string_view text, std::size_t start) {
    std::size_t column = start;
    for (char ch : text) column = ch == '\t' ? next_tab_stop(column) : column + 1;
    return column;
}

std::string render_line(const OutputLine& line, std::string_view source_line, bool with_comment, bool copy_h8_area,
                        bool gas) {
    std::string text;
    if (gas) {
        render_gas_into(text, line, source_line, with_comment, copy_h8_area);
    } else {
        render_into(text, line, source_line, with_comment, copy_h8_area);
    }
    return text;
}

std::string render_translation(const Translation& lines, std::string_view source_line, bool copy_h8_area, bool gas) {
    std::string text;
    bool commented = false;
    for (const OutputLine& line : lines) {
        const bool with_comment = !commented && line.kind != LineKind::warning;
        commented |= with_comment;
        text += render_line(line, source_line, with_comment, copy_h8_area, gas);
    }
    return text;
}

OutputLine source_line_of(const LineRecord& record) {
    OutputLine line;
    if (record.code == line_code::label_only) {
        line.kind = LineKind::label_only;
        line.label = record.label_view();
    } else if (record.code >= line_code::error_bit) {
        line.kind = LineKind::error;
        line.label = record.label_view();
        // A placeholder of the size the line would have had, so that addresses after it stay close.
        if (record.code >= in_error(kw::first_instruction)) {
            line.mnemonic = "NOP";
            line.size = 2;
            line.even = true;
        } else if (record.code == in_error(kw::DB) || record.code == in_error(kw::DS)) {
            line.mnemonic = "DS";
            line.operand1 = "1";
            line.size = 1;
        } else if (record.code == in_error(kw::DW)) {
            line.mnemonic = "DS";
            line.operand1 = "2";
            line.size = 2;
            line.even = true;
        }
    } else {
        line.kind = LineKind::comment;
    }
    return line;
}

SrcWriter::SrcWriter(Console& console, std::string path, bool copy_h8_area, bool gas)
    : console_(console), path_(std::move(path)), copy_h8_area_(copy_h8_area), gas_(gas) {}

void SrcWriter::open(const FileAccess& files) {
    if (!file_.open(path_, files)) fatal(console_, "\t%s Cannot Open\n", path_.c_str());
}

void SrcWriter::write(const Translation& lines, std::string_view source_line) {
    bool commented = false;
    for (const OutputLine& line : lines) {
        const bool with_comment = !commented && line.kind != LineKind::warning;
        commented |= with_comment;
        if (gas_) {
            render_gas_into(text_, line, source_line, with_comment, copy_h8_area_);
        } else {
            render_into(text_, line, source_line, with_comment, copy_h8_area_);
        }
        if (file_.get() == nullptr || std::fwrite(text_.data(), 1, text_.size(), file_.get()) != text_.size() ||
            std::ferror(file_.get()) != 0) {
            fatal(console_, "\t%s Write Error\n", path_.c_str());
        }
    }
}

void SrcWriter::close() {
    if (!file_.finish()) fatal(console_, "\t%s Write Error\n", path_.c_str());
}

void SrcWriter::commit() {
    if (!file_.commit()) fatal(console_, "\t%s Write Error\n", path_.c_str());
}
