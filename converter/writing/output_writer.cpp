#include "writing/output_writer.h"

#include <algorithm>

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
// that reaches it and everything after are replaced by a single newline. Uncut, the text's last
// character (its newline) is the one replaced. The cut is found first, so the text goes in whole.
void append_cut(std::string& line, std::string_view text, std::size_t column) {
    std::size_t kept = 0;
    // A tab moves at most 8 columns: most lines cannot reach the cut, and need no walk.
    const auto tabs = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\t'));
    if (column + text.size() + 7 * tabs < last_column) kept = text.size();
    while (kept < text.size()) {
        column = text[kept] == '\t' ? next_tab_stop(column) : column + 1;
        if (column >= last_column) break;
        ++kept;
    }
    if (kept == text.size() && kept > 0) --kept;
    line.append(text.data(), kept);
    line.push_back('\n');
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

}  // namespace

std::size_t column_after(std::string_view text, std::size_t start) {
    std::size_t column = start;
    for (char ch : text) column = ch == '\t' ? next_tab_stop(column) : column + 1;
    return column;
}

std::string render_line(const OutputLine& line, std::string_view source_line, bool with_comment, bool copy_h8_area) {
    std::string text;
    render_into(text, line, source_line, with_comment, copy_h8_area);
    return text;
}

std::string render_translation(const Translation& lines, std::string_view source_line, bool copy_h8_area) {
    std::string text;
    bool commented = false;
    for (const OutputLine& line : lines) {
        const bool with_comment = !commented && line.kind != LineKind::warning;
        commented |= with_comment;
        text += render_line(line, source_line, with_comment, copy_h8_area);
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
        } else if (record.code == in_error(kw::DB) || record.code == in_error(kw::DS)) {
            line.mnemonic = "DS";
            line.operand1 = "1";
        } else if (record.code == in_error(kw::DW)) {
            line.mnemonic = "DS";
            line.operand1 = "2";
        }
    } else {
        line.kind = LineKind::comment;
    }
    return line;
}

SrcWriter::SrcWriter(Console& console, std::string path, bool copy_h8_area)
    : console_(console), path_(std::move(path)), copy_h8_area_(copy_h8_area) {}

void SrcWriter::open(const FileAccess& files) {
    if (!file_.open(path_, files)) fatal(console_, "\t%s Cannot Open\n", path_.c_str());
}

void SrcWriter::write(const Translation& lines, std::string_view source_line) {
    bool commented = false;
    for (const OutputLine& line : lines) {
        const bool with_comment = !commented && line.kind != LineKind::warning;
        commented |= with_comment;
        render_into(text_, line, source_line, with_comment, copy_h8_area_);
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
