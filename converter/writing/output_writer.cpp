#include "writing/output_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "reading/text_scan.h"
#include "writing/gas_syntax.h"

namespace {
constexpr std::size_t comment_column = 40;
constexpr std::size_t last_column = 255;
constexpr std::size_t label_max = 16;
// The writer lays many lines out into one block of about this size and writes the block at once.
constexpr std::size_t write_block_size = 65536;

std::size_t next_tab_stop(std::size_t column) { return column / 8 * 8 + 8; }

// Every function below appends to `out`, in which the line being laid out begins at `start`.

// Appends tabs up to column 40 (at least one) and returns the column reached.
std::size_t tab_to_comment_column(std::string& out, std::size_t start) {
    std::size_t column = column_after(std::string_view(out).substr(start));
    std::size_t tabs = 0;
    do {
        ++tabs;
        column = next_tab_stop(column);
    } while (column < comment_column);
    out.append(tabs, '\t');
    return column;
}

// cut_length for a text that may reach column 255: between two tabs the column grows by one a
// character, so the walk goes from tab to tab.
std::size_t walk_to_cut(std::string_view text, std::size_t column) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t tab = std::min(text.find('\t', pos), text.size());
        if (column + (tab - pos) >= last_column) {  // a character before the tab reaches the cut
            return pos + (column < last_column - 1 ? last_column - 1 - column : 0);
        }
        if (tab == text.size()) break;
        column = next_tab_stop(column + (tab - pos));
        if (column >= last_column) return tab;
        pos = tab + 1;
    }
    return text.empty() ? 0 : text.size() - 1;
}

// How much of `text`, starting at `column`, stays below column 255: the character that reaches it
// and everything after are cut (to be replaced by a single newline). Uncut, all but the text's last
// character (its newline) is kept.
inline std::size_t cut_length(std::string_view text, std::size_t column) {
    // A tab moves at most 8 columns and any other character 1, so with no tab from `tab_free`
    // on the text ends by column + size + 7 * tab_free, short of column 255: most source lines
    // are seen to fit at once or with one search for a tab near their end.
    if (column + text.size() < last_column) {
        const std::size_t tab_free = (last_column - 1 - column - text.size()) / 7;
        if (tab_free >= text.size() || text.find('\t', tab_free) == std::string_view::npos) {
            return text.empty() ? 0 : text.size() - 1;
        }
    }
    return walk_to_cut(text, column);
}

// Appends `text` starting at `column`, cut as `cut_length` says, and a newline.
void append_cut(std::string& out, std::string_view text, std::size_t column) {
    out.append(text.data(), cut_length(text, column));
    out.push_back('\n');
}

// The label field: the label and a tab (shorter than 8) or a blank; a lone tab without a label.
void put_label_field(std::string& out, std::string_view label) {
    if (label.empty()) {
        out.push_back('\t');
        return;
    }
    const std::size_t length = std::min(label_max, label.size());
    out.append(label.data(), length);
    out.push_back(length < 8 ? '\t' : ' ');
}

const char* warning_text(Warning warning) {
    switch (warning) {
        case Warning::z_flag_unknown: return ";\t\t\t*** warning: Z flag unknown ***\n";
        case Warning::s_flag_unknown: return ";\t\t\t*** warning: S flag unknown ***\n";
        case Warning::c_flag_unknown: return ";\t\t\t*** warning: C flag unknown ***\n";
        case Warning::daa_unknown: return ";\t\t\t*** warning: DAA after unknown operation ***\n";
        case Warning::byte_order: return ";\t\t\t*** warning: byte order ***\n";
        case Warning::branch_out_of_range: return ";\t\t\t*** warning: branch out of range ***\n";
        case Warning::redefinition:
        case Warning::none: break;
    }
    return ";\t\t\t\t;*** warning: EQU,DS redefine ***\n";
}

void render_passthrough(std::string& out, std::size_t start, std::string_view source_line, bool copy_h8_area) {
    std::string_view text = source_line.substr(std::min<std::size_t>(1, source_line.size()));
    if (!copy_h8_area) {
        out += text;
        return;
    }
    std::string_view h8_text = text.substr(0, std::min(text.find(';'), text.size()));
    while (!h8_text.empty() && (h8_text.back() == ' ' || h8_text.back() == '\t' || h8_text.back() == '\n')) {
        h8_text.remove_suffix(1);
    }
    out += h8_text;
    std::size_t column = tab_to_comment_column(out, start);
    out += "; -->\t";
    append_cut(out, text, column + 8);
}

// Copies `text` to `at` and returns its end. A field's text that lies in a std::string has a
// buffer of at least 16 bytes (`padded`), and the room a line is laid out in ends 16 bytes or more
// past its fields: a field of up to 16 characters (most are) is then copied as one 16-byte block,
// without a branch on its length. The bytes copied past its end are written over by what follows.
// A short text that may end anywhere (a view of a table's text) is copied in two overlapping moves
// from its ends, without a call.
inline char* copy_text(char* at, std::string_view text, bool padded) {
    const std::size_t size = text.size();
    const char* from = text.data();
    if (padded && size <= 16) {
        std::memcpy(at, from, 16);
    } else if (size >= 8 && size <= 16) {
        std::memcpy(at, from, 8);
        std::memcpy(at + size - 8, from + size - 8, 8);
    } else if (size >= 4 && size < 8) {
        std::memcpy(at, from, 4);
        std::memcpy(at + size - 4, from + size - 4, 4);
    } else if (size < 4) {
        for (std::size_t i = 0; i < size; ++i) at[i] = from[i];
    } else {
        std::memcpy(at, from, size);
    }
    return at + size;
}

// Whether the fields just laid out hold a tab. The room they were laid out in goes on for 16 bytes
// or more past them, so they are looked through 16 bytes at a time, without a call.
bool holds_tab(std::string_view fields) {
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t');
    for (std::size_t pos = 0; pos < fields.size(); pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fields.data() + pos));
        unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab)));
        if (fields.size() - pos < 16) found &= (1U << (fields.size() - pos)) - 1;
        if (found != 0) return true;
    }
    return false;
#else
    return fields.find('\t') != std::string_view::npos;
#endif
}

// Bytes a line laid out in place may take beyond its fields and source line: separators, tabs to
// column 40, ";\t" and the newline (at most 10), and the slack of the whole word of tabs that
// `put_comment_start` stores.
constexpr std::size_t line_slack = 24;

// Puts the tabs from `column` to column 40 (at least one), ";\t" and the source line cut before
// column 255, and the newline; returns the end of the line. The tabs are stored as a whole word,
// of which the bytes past them are overwritten next (`line_slack` has room for the rest).
inline char* put_comment_field_at(char* at, std::size_t column, std::string_view source_line) {
    std::memcpy(at, "\t\t\t\t\t\t\t\t", 8);
    const std::size_t tabs = column < comment_column ? (comment_column - column / 8 * 8) / 8 : 1;
    at += tabs;
    column = column < comment_column ? comment_column : next_tab_stop(column);
    at[0] = ';';
    at[1] = '\t';
    at += 2;
    const std::size_t kept = cut_length(source_line, column + 8);
    std::memcpy(at, source_line.data(), kept);
    at[kept] = '\n';
    return at + kept + 1;
}

// The fields of a code line as they are written: the text of the label field (the separator after
// it follows from its length), the mnemonic and the operands (the second only after a first).
struct Fields {
    std::string_view label;
    std::string_view mnemonic;
    std::string_view operand1;
    std::string_view operand2;
};

// The most a code line of these fields takes.
std::size_t fields_room(const Fields& fields, std::string_view source_line) {
    return fields.label.size() + fields.mnemonic.size() + fields.operand1.size() + fields.operand2.size() +
           source_line.size() + line_slack;
}

Fields code_fields(const OutputLine& line) {
    return {std::string_view(line.label).substr(0, label_max), line.mnemonic, line.operand1, line.operand2};
}

// A code line: its fields are known before it is written, so the line is laid out in place in one
// stretch of `fields_room` bytes at `at` instead of one append per field and separator (most
// lines are these). Returns the end of the line. Laid out in its callers: most lines are this, and
// as a call it saved and restored six registers for each. `padded` tells by bit which fields lie in
// a std::string (label 1, mnemonic 2, operands 4 and 8): see copy_text.
[[gnu::always_inline]] inline char* lay_out_code_line(char* at, const Fields& line, std::string_view source_line,
                                                      bool with_comment, unsigned padded = 0xF) {
    const std::string_view label = line.label;
    char* const begin = at;
    auto put = [&at, padded](std::string_view text, unsigned bit) { at = copy_text(at, text, (padded & bit) != 0); };
    if (!label.empty()) put(label, 1);
    // The two separators that may be tabs are blanks until the fields are known to hold none.
    char* const label_end = at;
    *at++ = ' ';
    put(line.mnemonic, 2);
    char* mnemonic_end = nullptr;
    // Without a tab of their own the fields' column is known from their lengths.
    std::size_t column = (label.size() < 8 ? 8 : label.size() + 1) + line.mnemonic.size();
    if (!line.operand1.empty()) {
        mnemonic_end = at;
        *at++ = ' ';
        put(line.operand1, 4);
        column = next_tab_stop(column) + line.operand1.size();
        if (!line.operand2.empty()) {
            *at++ = ',';
            put(line.operand2, 8);
            column += 1 + line.operand2.size();
        }
    }
    const std::string_view fields(begin, static_cast<std::size_t>(at - begin));
    const bool tab_free = !with_comment || !holds_tab(fields);
    *label_end = label.size() < 8 ? '\t' : ' ';  // a lone tab without a label
    if (mnemonic_end != nullptr) *mnemonic_end = '\t';
    if (!with_comment) {
        *at = '\n';
        return at + 1;
    }
    if (!tab_free) column = column_after(fields);
    return put_comment_field_at(at, column, source_line);
}

void render_fields(std::string& out, const Fields& fields, std::string_view source_line, bool with_comment) {
    const std::size_t start = out.size();
    out.resize(start + fields_room(fields, source_line));
    char* const end = lay_out_code_line(out.data() + start, fields, source_line, with_comment);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

// The fields of an instruction in the GNU syntax (other than a branch in its long form): a label
// ends with ':' there, and the operands are written from their pieces. Their texts are made in
// the strings given (kept from line to line by the writer, so that their room is reused).
Fields gas_instruction_fields(const OutputLine& line, std::string& label, std::string& operand1,
                              std::string& operand2) {
    label.clear();
    if (!line.label.empty()) {
        append_gas_symbol(label, std::string_view(line.label).substr(0, label_max));
        label.push_back(':');
    }
    operand1.clear();
    append_gas_operand(operand1, line.pieces1, line.operand1);
    operand2.clear();
    if (!operand1.empty()) append_gas_operand(operand2, line.pieces2, line.operand2);
    return {label, line.mnemonic, operand1, operand2};
}

bool is_gas_instruction(const OutputLine& line) {
    return line.kind == LineKind::code && line.directive == Directive::none && !line.long_branch;
}

// A comment line: the ';' of an empty H8/300 line, then the comment field.
char* lay_out_comment_line(char* at, std::string_view source_line, bool with_comment) {
    *at++ = ';';
    if (!with_comment) {
        *at = '\n';
        return at + 1;
    }
    return put_comment_field_at(at, 1, source_line);
}

// Ends the line: a newline, or with `with_comment` the comment field for the source line.
void put_comment_field(std::string& out, std::size_t start, std::string_view source_line, bool with_comment) {
    if (!with_comment) {
        out.push_back('\n');
        return;
    }
    const std::size_t column = column_after(std::string_view(out).substr(start));
    const std::size_t end = out.size();
    out.resize(end + source_line.size() + line_slack);
    out.resize(static_cast<std::size_t>(put_comment_field_at(out.data() + end, column, source_line) - out.data()));
}

// Appends the text of one line, newline included, to `out`.
void render_into(std::string& out, const OutputLine& line, std::string_view source_line, bool with_comment,
                 bool copy_h8_area) {
    const std::size_t start = out.size();
    switch (line.kind) {
        case LineKind::warning: out += warning_text(line.warning); return;
        case LineKind::passthrough: render_passthrough(out, start, source_line, copy_h8_area); return;
        case LineKind::comment:
            out.resize(start + source_line.size() + line_slack);
            out.resize(static_cast<std::size_t>(lay_out_comment_line(out.data() + start, source_line, with_comment) -
                                                out.data()));
            return;
        case LineKind::label_only:
            put_label_field(out, line.label);
            out += ".EQU\t$";
            break;
        case LineKind::error:
            put_label_field(out, line.label);
            out += line.mnemonic;
            out.push_back('\t');
            out += line.operand1;
            out += "\t;*** error ***";
            break;
        case LineKind::code: render_fields(out, code_fields(line), source_line, with_comment); return;
    }
    put_comment_field(out, start, source_line, with_comment);
}

// The GNU syntax. The same columns and comment field; the fields in the words of GNU as.

// A label ends with ':' in GNU as.
void put_gas_label_field(std::string& out, std::string_view label) {
    if (label.empty()) {
        out.push_back('\t');
        return;
    }
    const std::size_t start = out.size();
    out += gas_symbol(label.substr(0, std::min(label_max, label.size())));
    out.push_back(':');
    out.push_back(out.size() - start < 8 ? '\t' : ' ');
}

void append_operand(std::string& out, std::string_view mnemonic, std::string_view operand) {
    out += mnemonic;
    if (!operand.empty()) {
        out.push_back('\t');
        out += operand;
    }
}

// The directive as GNU as writes it; a directive it has no use for stays visible as a comment.
void put_gas_directive(std::string& out, const OutputLine& line) {
    const std::string operand = gas_operand(line.pieces1, line.operand1);
    std::string_view labelled;  // after the label field, with the operand: data and name lists
    std::string_view headed;    // in the mnemonic field, with the operand: the heads of blocks
    std::string_view bare;      // in the mnemonic field, alone
    switch (line.directive) {
        case Directive::section:
            out += "\t.section\t";
            out += line.section;
            out += line.code_section ? ",\"x\"" : ",\"w\"";
            return;
        case Directive::equ:
        case Directive::assign:
            if (line.label.empty()) break;
            out.push_back('\t');
            append_operand(out, line.directive == Directive::equ ? ".equ" : ".set",
                           gas_symbol(line.label) + "," + operand);
            return;
        case Directive::data_byte: labelled = ".byte"; break;
        case Directive::data_word: labelled = ".word"; break;
        case Directive::string: labelled = ".ascii"; break;
        case Directive::reserve:
            // GNU as warns of an empty .space: the label alone reserves nothing as well.
            if (line.pieces1.pieces.size() == 1 && line.pieces1.pieces[0].kind == PieceKind::number &&
                line.pieces1.pieces[0].value == 0) {
                put_gas_label_field(out, line.label);
                return;
            }
            labelled = ".space";
            break;
        case Directive::export_names: labelled = ".global"; break;
        case Directive::import_names: labelled = ".extern"; break;
        case Directive::macro_call:
            put_gas_label_field(out, line.label);
            append_operand(out, upper_case(line.mnemonic), operand);
            return;
        case Directive::macro: headed = ".macro"; break;
        case Directive::if_true: headed = ".if"; break;
        case Directive::repeat: headed = ".rept"; break;
        case Directive::repeat_values: headed = ".irp"; break;
        case Directive::repeat_characters: headed = ".irpc"; break;
        case Directive::end_macro: bare = ".endm"; break;
        case Directive::list: bare = ".list"; break;
        case Directive::nolist: bare = ".nolist"; break;
        case Directive::page: bare = ".eject"; break;
        case Directive::end: bare = ".end"; break;
        case Directive::if_else: bare = ".else"; break;
        case Directive::end_if: bare = ".endif"; break;
        case Directive::end_repeat: bare = ".endr"; break;
        case Directive::align: bare = ".align\t1"; break;
        case Directive::program:
        case Directive::heading:
        case Directive::none: break;
    }
    if (!labelled.empty()) {
        put_gas_label_field(out, line.label);
        append_operand(out, labelled, operand);
    } else if (!headed.empty()) {
        out.push_back('\t');
        append_operand(out, headed, operand);
    } else if (!bare.empty()) {
        out.push_back('\t');
        out += bare;
    } else {
        out += ";\t";
        append_operand(out, line.mnemonic, line.operand1);
    }
}

// An instruction; a branch out of reach of its 8-bit displacement jumps instead, past a branch on
// the opposite condition. `rest` receives the line that follows (with its newline).
void put_gas_instruction(std::string& out, const OutputLine& line, std::string& rest) {
    put_gas_label_field(out, line.label);
    const std::string operand1 = gas_operand(line.pieces1, line.operand1);
    if (line.long_branch) {
        const std::string jump = "JMP\t@" + operand1;
        const std::string_view opposite = opposite_branch(line.mnemonic);
        if (opposite.empty()) {
            out += jump;
            return;
        }
        out += opposite;
        out += "\t.+6";
        rest = "\t" + jump + "\n";
        return;
    }
    out += line.mnemonic;
    if (!operand1.empty()) {
        out.push_back('\t');
        out += operand1;
        const std::string operand2 = gas_operand(line.pieces2, line.operand2);
        if (!operand2.empty()) {
            out.push_back(',');
            out += operand2;
        }
    }
}

// What an error line assembles as: its bytes where they are known, and the opening or closing of
// the block it stood for, which keeps the conditional and repeat blocks after it paired. A
// condition that cannot be translated takes its first branch.
std::string gas_placeholder(const OutputLine& line) {
    switch (line.directive) {
        case Directive::if_true: return ".if\t1";
        case Directive::repeat: return ".rept\t1";
        case Directive::end_repeat: return ".endr";
        default: break;
    }
    return (line.mnemonic == "DS" ? std::string(".space") : line.mnemonic) + "\t" + line.operand1;
}

void render_gas_into(std::string& out, const OutputLine& line, std::string_view source_line, bool with_comment,
                     bool copy_h8_area) {
    const std::size_t start = out.size();
    std::string rest;
    switch (line.kind) {
        case LineKind::warning: out += warning_text(line.warning); return;
        case LineKind::passthrough:
            render_passthrough(out, start, gas_passthrough_text(source_line), copy_h8_area);
            return;
        case LineKind::comment: out.push_back(';'); break;
        case LineKind::label_only: put_gas_label_field(out, line.label); break;
        case LineKind::error:
            // A placeholder GNU as assembles, of the size the line would have had where it is known.
            put_gas_label_field(out, line.label);
            out += gas_placeholder(line);
            out += "\t;*** error ***";
            break;
        case LineKind::code:
            if (is_gas_instruction(line)) {
                std::string label;
                std::string operand1;
                std::string operand2;
                render_fields(out, gas_instruction_fields(line, label, operand1, operand2), source_line, with_comment);
                return;
            }
            if (line.directive == Directive::none) {
                put_gas_instruction(out, line, rest);
            } else {
                put_gas_directive(out, line);
            }
            break;
    }
    put_comment_field(out, start, source_line, with_comment);
    out += rest;
}

// A warning, or the padding GNU as puts before a line, stands on its own: the line after it carries
// the source line.
bool carries_comment(const OutputLine& line) {
    return line.kind != LineKind::warning && line.directive != Directive::align;
}

void render_in_syntax(std::string& out, const OutputLine& line, std::string_view source_line, bool with_comment,
                      bool copy_h8_area, bool gas) {
    if (gas) {
        render_gas_into(out, line, source_line, with_comment, copy_h8_area);
    } else {
        render_into(out, line, source_line, with_comment, copy_h8_area);
    }
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
    render_in_syntax(text, line, source_line, with_comment, copy_h8_area, gas);
    return text;
}

std::string render_translation(const Translation& lines, std::string_view source_line, bool copy_h8_area, bool gas) {
    std::string text;
    bool commented = false;
    for (const OutputLine& line : lines) {
        const bool with_comment = !commented && carries_comment(line);
        commented |= with_comment;
        render_in_syntax(text, line, source_line, with_comment, copy_h8_area, gas);
    }
    return text;
}

void put_source_line(const LineRecord& record, OutputLine& line) {
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
            line.operand1 = '1';  // a character: GCC 12 at -O3 misreads the literal's copy as overlapping
            line.size = 1;
        } else if (record.code == in_error(kw::DW)) {
            line.mnemonic = "DS";
            line.operand1 = '2';
            line.size = 2;
            line.even = true;
        }
    } else {
        line.kind = LineKind::comment;
    }
}

OutputLine source_line_of(const LineRecord& record) {
    OutputLine line;
    put_source_line(record, line);
    return line;
}

SrcWriter::SrcWriter(Console& console, std::string path, bool copy_h8_area, bool gas)
    : console_(console), path_(std::move(path)), copy_h8_area_(copy_h8_area), gas_(gas) {}

void SrcWriter::open(const FileAccess& files) {
    if (!file_.open(path_, files)) fatal(console_, "\t%s Cannot Open\n", path_.c_str());
    // The writer hands the file whole blocks of lines: a stdio buffer would only copy a part of
    // each and write the block with two calls. A file held in memory is its stream's buffer, and
    // keeps it.
    if (files.memory == nullptr) std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

void SrcWriter::grow(std::size_t size) {
    // A held block grows past its usual size: by doubling, so that it is copied little.
    capacity_ = std::max({used_ + size, 2 * write_block_size, 2 * capacity_});
    auto larger = std::make_unique_for_overwrite<char[]>(capacity_);
    if (used_ != 0) std::memcpy(larger.get(), block_.get(), used_);
    block_ = std::move(larger);
}

void SrcWriter::release() {
    held_ = false;
    if (used_ >= write_block_size) write_block();
}

std::size_t SrcWriter::insert(std::size_t offset, const OutputLine& line) {
    line_.clear();
    render_in_syntax(line_, line, {}, false, copy_h8_area_, gas_);
    char* const end = room(line_.size());
    char* const at = block_.get() + offset;
    std::memmove(at + line_.size(), at, static_cast<std::size_t>(end - at));
    std::memcpy(at, line_.data(), line_.size());
    used_ += line_.size();
    return line_.size();
}

bool SrcWriter::write(const Translation& lines, std::string_view source_line) {
    bool commented = false;
    for (const OutputLine& line : lines) {
        const bool with_comment = !commented && carries_comment(line);
        commented |= with_comment;
        if (!gas_ && line.kind == LineKind::code) {
            const Fields fields = code_fields(line);
            char* const at = room(fields_room(fields, source_line));
            used_ += static_cast<std::size_t>(lay_out_code_line(at, fields, source_line, with_comment) - at);
            continue;
        }
        if (gas_ && is_gas_instruction(line)) {
            const Fields fields = gas_instruction_fields(line, gas_label_, gas_operand1_, gas_operand2_);
            char* const at = room(fields_room(fields, source_line));
            used_ += static_cast<std::size_t>(lay_out_code_line(at, fields, source_line, with_comment) - at);
            continue;
        }
        if (!gas_ && line.kind == LineKind::comment) {
            char* const at = room(source_line.size() + line_slack);
            used_ += static_cast<std::size_t>(lay_out_comment_line(at, source_line, with_comment) - at);
            continue;
        }
        line_.clear();
        render_in_syntax(line_, line, source_line, with_comment, copy_h8_area_, gas_);
        std::memcpy(room(line_.size()), line_.data(), line_.size());
        used_ += line_.size();
    }
    if (used_ >= write_block_size && !held_) write_block();
    return commented;
}

void SrcWriter::write_code_line(const CodeTexts& texts, unsigned in_strings, std::string_view source_line,
                                bool with_comment) {
    const Fields fields{texts.label.substr(0, label_max), texts.mnemonic, texts.operand1, texts.operand2};
    char* const at = room(fields_room(fields, source_line));
    const unsigned padded = 1 | in_strings << 1;  // the label lies in a record's 17 bytes
    used_ += static_cast<std::size_t>(lay_out_code_line(at, fields, source_line, with_comment, padded) - at);
}

void SrcWriter::write_block() {
    if (file_.get() == nullptr || std::fwrite(block_.get(), 1, used_, file_.get()) != used_ ||
        std::ferror(file_.get()) != 0) {
        fatal(console_, "\t%s Write Error\n", path_.c_str());
    }
    used_ = 0;
}

void SrcWriter::close() {
    if (used_ != 0) write_block();
    if (!file_.finish()) fatal(console_, "\t%s Write Error\n", path_.c_str());
}

void SrcWriter::commit() {
    if (!file_.commit()) fatal(console_, "\t%s Write Error\n", path_.c_str());
}
