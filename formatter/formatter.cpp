#include "formatter.h"

#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>
#include <utility>

namespace {

constexpr int no_pending = -2;
constexpr int ctrl_z = 0x1A;

// srcport puts its comment field at column 40 and the repeated source text 8 columns further.
constexpr int marker_column = 40;
constexpr int source_text_column = 48;

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

// The next byte of the input after the text-mode rules, or EOF at the end.
int next_byte(TextInput& input) {
    if (input.ended) return EOF;
    int byte;
    if (input.pending != no_pending) {
        byte = input.pending;
        input.pending = no_pending;
    } else {
        byte = std::getc(input.file);
    }
    if (byte == '\r') {
        int after = std::getc(input.file);
        if (after == '\n') return '\n';
        // A CR not followed by a LF is ordinary text; what followed is taken on the next call.
        input.pending = after;
        return '\r';
    }
    if (byte == EOF || byte == ctrl_z) {
        input.ended = true;
        return EOF;
    }
    return byte;
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

int advance_column(int column, char c) { return c == '\t' ? column / 8 * 8 + 8 : column + 1; }

int read_text_line(TextInput& input, std::string& buffer, int limit) {
    buffer.clear();
    int column = 0;
    for (;;) {
        int byte = next_byte(input);
        if (byte == EOF) break;
        if (byte == '\n') return column;
        if (column < limit) {
            buffer.push_back(static_cast<char>(byte));
            column = advance_column(column, static_cast<char>(byte));
        }
    }
    return column == 0 ? -1 : column;
}

std::string format_line(std::string_view line) {
    const bool comment_line = line.starts_with(';');

    int column = 0;
    std::size_t marker = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ';' && column >= marker_column && follows_marker(line.substr(i + 1))) {
            marker = i;
            break;
        }
        column = advance_column(column, line[i]);
    }
    if (marker == std::string_view::npos) return std::string(line);

    // The first ';' of the repeated source text outside quoted strings: its own comment, or the
    // ';' of a comment-only source line ("';'" is a constant, not a comment).
    column = advance_column(column, ';');
    std::size_t comment = std::string_view::npos;
    const std::string_view source = line.substr(marker + 1);
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (column >= source_text_column && opens_quoted_string(source, i)) {
            const std::size_t close = source.find(source[i], i + 1);
            for (; i < close; ++i) column = advance_column(column, source[i]);
        } else if (source[i] == ';' && column >= source_text_column) {
            comment = marker + 1 + i;
            break;
        }
        column = advance_column(column, source[i]);
    }

    std::string_view before = line.substr(0, marker);
    if (comment == std::string_view::npos) return std::string(trim_trailing_blanks(before));

    std::string_view source_comment = line.substr(comment + 1);
    std::string result;
    // A comment line needs no H8/300 columns in front of its comment.
    if (!comment_line) result = before;
    result += ';';
    result += source_comment;
    return result;
}

bool write_text_line(NeatenRun& run, std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), run.output) != text.size() || std::fputc('\n', run.output) == EOF) {
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
    run.console << "------ Translate file Formatter ------\n";
    if (args.empty()) {
        run.console << "USAGE: NEATEN InpName[.SRC] [OutName[.ASM]]\n";
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
    while (read_text_line(input, line, line_column_limit) != -1) {
        if (!write_text_line(run, format_line(line))) {
            close_output(run);
            return 1;
        }
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
