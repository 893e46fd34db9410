#include "formatter.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>
#include <utility>

namespace {

constexpr int ctrl_z = 0x1A;

// srcport puts its comment field at column 40 and the repeated source text 8 columns further.
constexpr int marker_column = 40;

constexpr std::size_t output_block_size = 65536;

// The two ways srcport follows the ';' of its comment field: a tab for translated lines and
// " -->\t" for the copies of H8/300 text.
bool follows_marker(std::string_view rest) { return rest.starts_with('\t') || rest.starts_with(" -->\t"); }

bool is_quote(char ch) { return ch == '\'' || ch == '"'; }
bool is_name_char(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) != 0 || ch == '_'; }

// Whether the quote at `pos` opens a quoted string of the source text: the same quote closes it
// before the line ends, and an apostrophe right after a name character is a prime (AF').
bool opens_quoted_string(std::string_view text, std::size_t pos) {
    const char quote = text[pos];
    if (!is_quote(quote) || (quote == '\'' && pos > 0 && is_name_char(text[pos - 1]))) return false;
    return text.find(quote, pos + 1) != std::string_view::npos;
}

std::string_view trim_trailing_blanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The length of the run at the start of `bytes` that holds no LF, CR or Ctrl-Z. The LF is looked
// for first, so the rarer two are looked for in one line only.
std::size_t ordinary_run(std::string_view bytes) {
    std::size_t run = std::min(bytes.find('\n'), bytes.size());
    run = std::min(bytes.substr(0, run).find('\r'), run);
    return std::min(bytes.substr(0, run).find(static_cast<char>(ctrl_z)), run);
}

// Moves the bytes not yet taken to the front of the block and reads more behind them. False when
// nothing more arrived (the end of the file, or a read error that the caller finds with ferror).
bool refill(TextInput& input) {
    const std::size_t left = input.end - input.start;
    std::memmove(input.block.data(), input.block.data() + input.start, left);
    input.start = 0;
    input.end = left;
    const std::size_t arrived = std::fread(input.block.data() + left, 1, input.block.size() - left, input.file);
    input.end += arrived;
    return arrived > 0;
}

// Where the base name begins: after the last ':', '/' or '\\'.
std::size_t base_pos(std::string_view name) {
    const std::size_t pos = name.find_last_of(":/\\");
    return pos == std::string_view::npos ? 0 : pos + 1;
}

// Where the extension begins: the first '.' of the base name, so that ./ and ../ in front of a
// name never count as its extension.
std::size_t extension_pos(std::string_view name) {
    for (std::size_t i = base_pos(name); i < name.size(); ++i) {
        if (name[i] != '.') continue;
        if (i + 1 < name.size() && name[i + 1] == '.') return i + 1;
        return i;
    }
    return std::string_view::npos;
}

std::string_view extension_of(std::string_view name) {
    const std::size_t dot = extension_pos(name);
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
}

std::string with_default_extension(const std::string& name, std::string_view extension) {
    if (extension_pos(name) != std::string::npos) return name;
    return name + std::string(extension);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens the input for reading. A directory opens on some systems but reads nothing, so it is
// refused here like any file that cannot be read.
FileHandle open_input(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return nullptr;
    return FileHandle(std::fopen(path.c_str(), "r"));
}

// True when both names lead to one existing file (a link, "./" in front, another spelling):
// opening the output would empty the input before it is read.
bool same_existing_file(const std::string& input, const std::string& output) {
    std::error_code error;
    return std::filesystem::equivalent(input, output, error) && !error;
}

void close_output(NeatenRun& run) {
    if (run.output != nullptr) std::fclose(run.output);
    run.output = nullptr;
}

}  // namespace

int compare_nocase(std::string_view a, std::string_view b, std::size_t n) {
    int difference = 0;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        unsigned char cb = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference = std::toupper(ca) - std::toupper(cb);
        if (difference != 0 || ca == 0) break;
    }
    return difference;
}

int advance_column(int column, char c) { return c == '\t' ? (column | 7) + 1 : column + 1; }

namespace {

// The tabs among `length` bytes, counted eight bytes at a time: in each word a tab becomes a zero
// byte, and every zero byte leaves one bit that a multiplication sums.
std::size_t tab_count(const char* bytes, std::size_t length) {
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7F;
    std::size_t tabs = 0;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, 8);
        const std::uint64_t x = word ^ (ones * '\t');
        const std::uint64_t nonzero = ((x & low7) + low7) | x;  // the high bit of every non-zero byte
        tabs += static_cast<std::size_t>(((~nonzero >> 7) & ones) * ones >> 56);
    }
    for (; i < length; ++i) tabs += bytes[i] == '\t';
    return tabs;
}

int exact_column(std::string_view text) {
    int column = 0;
    for (char c : text) column = advance_column(column, c);
    return column;
}

// Reads one line as read_text_line says. With `exact` false the column is counted only where it
// decides something: a run of bytes that cannot reach `limit` even if every tab in it jumps a full
// 8 columns is kept whole and its column taken as that bound, which spares nearly every line the
// count. The column returned is then only good for telling a line read from the end of the input.
int read_line(TextInput& input, std::string& buffer, int limit, bool exact) {
    buffer.clear();
    int column = 0;
    bool counted = true;  // `column` is the exact column, not a bound
    while (!input.ended) {
        if (input.start == input.end && !refill(input)) {
            input.ended = true;
            break;
        }
        // The run of ordinary bytes up to the next byte that the text rules look at: the line's LF,
        // or a CR or Ctrl-Z before it.
        const char* bytes = input.block.data();
        const std::size_t run_end =
            input.start + ordinary_run(std::string_view(bytes + input.start, input.end - input.start));
        const std::size_t length = run_end - input.start;
        std::size_t kept = run_end;
        std::size_t bound = static_cast<std::size_t>(column) + 8 * length;
        if (!exact && bound >= static_cast<std::size_t>(limit)) {
            bound = static_cast<std::size_t>(column) + length + 7 * tab_count(bytes + input.start, length);
        }
        if (!exact && bound < static_cast<std::size_t>(limit)) {
            column = static_cast<int>(bound);
            counted = false;
        } else {
            if (!counted) column = exact_column(buffer);  // the bound says too little here
            counted = true;
            // Most lines stay below the limit: their column is counted in one plain pass; a line
            // that reaches it is counted again, keeping characters only while the column is below it.
            int reached = column;
            for (std::size_t i = input.start; i < run_end; ++i) reached = advance_column(reached, bytes[i]);
            if (reached < limit) {
                column = reached;
            } else {
                kept = input.start;
                while (kept < run_end && column < limit) column = advance_column(column, bytes[kept++]);
            }
        }
        buffer.append(bytes + input.start, kept - input.start);
        input.start = run_end;
        if (run_end == input.end) continue;

        const char special = bytes[run_end];
        if (special == '\n') {
            ++input.start;
            return column;
        }
        if (special == ctrl_z) {
            input.ended = true;
            break;
        }
        // A CR: dropped when a LF follows (it may stand in the next block), text otherwise.
        if (run_end + 1 == input.end) refill(input);
        if (input.start + 1 < input.end && input.block[input.start + 1] == '\n') {
            input.start += 2;
            return column;
        }
        ++input.start;
        // The run before the CR (empty or not) has been measured: `column` below the limit there
        // holds for the exact column too.
        if (column < limit) {
            buffer.push_back('\r');
            column = advance_column(column, '\r');
        }
    }
    return column == 0 ? -1 : column;
}

}  // namespace

int read_text_line(TextInput& input, std::string& buffer, int limit) { return read_line(input, buffer, limit, true); }

bool read_cut_line(TextInput& input, std::string& buffer, int limit) {
    return read_line(input, buffer, limit, false) != -1;
}

std::string format_line(std::string_view line) {
    std::string result;
    append_formatted_line(result, line);
    return result;
}

void append_formatted_line(std::string& out, std::string_view line) {
    const bool comment_line = line.starts_with(';');

    // The marker is the first ';' at column 40 or later that srcport's tab or " -->\t" follows.
    // Only the ';'s need their column, and one at index 40 or later is at column 40 or later.
    std::size_t marker = std::string_view::npos;
    int column = 0;
    std::size_t counted = 0;  // `column` is the column of line[counted]
    for (std::size_t i = line.find(';'); i != std::string_view::npos; i = line.find(';', i + 1)) {
        if (i < marker_column) {
            for (; counted < i; ++counted) column = advance_column(column, line[counted]);
            if (column < marker_column) continue;
        }
        if (follows_marker(line.substr(i + 1))) {
            marker = i;
            break;
        }
    }
    if (marker == std::string_view::npos) {
        out += line;
        return;
    }

    // The first ';' of the repeated source text outside quoted strings: its own comment, or the
    // ';' of a comment-only source line ("';'" is a constant, not a comment). The marker's tab or
    // " -->\t" takes the column to 48 or beyond, where the source text stands, and holds neither a
    // ';' nor a quote, so no column needs counting here.
    const std::string_view source = line.substr(marker + 1);
    // Most source texts hold no quote before their first ';': then that one is it.
    const std::size_t first = source.find(';');
    const std::string_view ahead = source.substr(0, first);
    const bool quoted = ahead.find('\'') != std::string_view::npos || ahead.find('"') != std::string_view::npos;
    std::size_t comment = std::string_view::npos;
    if (!quoted && first != std::string_view::npos) comment = marker + 1 + first;
    for (std::size_t i = 0; quoted && i < source.size(); ++i) {
        const char ch = source[i];
        if (ch == ';') {
            comment = marker + 1 + i;
            break;
        }
        if (is_quote(ch) && opens_quoted_string(source, i)) i = source.find(ch, i + 1);
    }

    std::string_view before = line.substr(0, marker);
    if (comment == std::string_view::npos) {
        out += trim_trailing_blanks(before);
        return;
    }

    // A comment line needs no H8/300 columns in front of its comment.
    if (!comment_line) out += before;
    out += ';';
    out += line.substr(comment + 1);
}

bool write_text(NeatenRun& run, std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), run.output) != text.size()) {
        run.console << "\t Write Error\n";
        return false;
    }
    return true;
}

NeatenNames build_names(const std::vector<std::string>& args) {
    NeatenNames names;
    const std::string& first = args.at(0);
    names.input = with_default_extension(first, ".SRC");
    if (args.size() >= 2) {
        names.output = with_default_extension(args[1], ".ASM");
    } else {
        names.output = first.substr(0, extension_pos(first)) + ".ASM";
    }
    return names;
}

bool same_file_name(std::string_view input, std::string_view output) {
    return compare_nocase(input, output, 8) == 0 && compare_nocase(extension_of(input), extension_of(output), 3) == 0;
}

int run_neaten(NeatenRun& run, const std::vector<std::string>& args) {
    const char* banner = "------ Translate file Formatter ------\n";
    const char* usage = "USAGE: NEATEN InpName[.SRC] [OutName[.ASM]]\n";
    for (const std::string& arg : args) {
        if (arg == "--help") {
            run.console << usage;
            return 0;
        }
        if (arg == "--version") {
            run.console << banner;
            return 0;
        }
    }
    run.console << banner;
    if (args.empty()) {
        run.console << usage;
        return 1;
    }

    const NeatenNames names = build_names(args);
    run.console << "Input  file = '" << names.input << "'\n";
    run.console << "Output file = '" << names.output << "'\n";

    if (same_file_name(names.input, names.output) || same_existing_file(names.input, names.output)) {
        run.console << "\tSame file_name input,output\n";
        return 1;
    }

    FileHandle input_file = open_input(names.input);
    if (!input_file) {
        run.console << '\t' << names.input << " Cannot Open\n";
        return 1;
    }
    ReplacedOutput replacement(run.pending_removal);
    run.output = replacement.open(names.output);
    if (run.output == nullptr) {
        run.console << '\t' << names.output << " Cannot Open\n";
        return 1;
    }

    TextInput input{input_file.get()};
    std::string line;
    std::string tidied;  // tidied lines gathered into blocks, each written at once
    // Room for a whole block and the line that fills it, taken once: growing by doubling on the
    // way there touched about twice the memory, and copied it.
    tidied.reserve(output_block_size + 4096);
    bool written = true;
    while (written && read_cut_line(input, line, line_column_limit)) {
        append_formatted_line(tidied, line);
        tidied.push_back('\n');
        if (tidied.size() >= output_block_size) {
            written = write_text(run, tidied);
            tidied.clear();
        }
    }
    if (!written || !write_text(run, tidied)) {
        close_output(run);
        return 1;
    }

    // A read failure looks like the end of the file; it must not pass for a complete run.
    if (std::ferror(input.file)) {
        run.console << '\t' << names.input << " Read Error\n";
        close_output(run);
        return 1;
    }
    input_file.reset();

    // Buffered lines reach the file only here, so a full disk shows up at this point; the run is
    // reported complete only once they are out and the new file has taken the old one's place.
    if (!replacement.commit(std::exchange(run.output, nullptr))) {
        run.console << "\t Write Error\n";
        return 1;
    }
    run.console << "Completed.\n";
    return 0;
}
