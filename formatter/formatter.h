// neaten: turns a .SRC file written by srcport into a tidy .ASM file.
//
// srcport repeats every HD64180 source line as a comment from column 40 on. neaten drops that
// repeated text again and keeps only the source line's own comment, placed where the repeated
// text began. Every other line is copied as it is. The program holds one block of input and one of
// output at a time, whatever the size of the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "replaced_output.h"

// Display columns of a line that neaten reads; the rest of a longer line is skipped.
inline constexpr int line_column_limit = 255;

// An input file read with DOS text rules: a CR directly before a LF is dropped and a Ctrl-Z byte
// ends the file. The file is read in blocks; a line is taken from the block in place.
struct TextInput {
    std::FILE* file = nullptr;
    bool ended = false;  // end of file or Ctrl-Z seen: nothing more is read
    std::array<char, 16384> block{};
    std::size_t start = 0;  // the bytes not yet taken: block[start, end)
    std::size_t end = 0;
};

// State of one run: where the console text goes, the output file being written and the program's
// record of the temporary file a signal must remove (none in tests).
struct NeatenRun {
    std::ostream& console;
    std::FILE* output = nullptr;
    PendingRemoval* pending_removal = nullptr;
};

// Compares at most n characters, ignoring letter case. The end of a text counts as a terminator
// (a zero character); the comparison stops after the first difference or after a terminator in
// `a`. Returns the difference of the last compared pair, upper-cased: 0 when they agree.
int compare_nocase(std::string_view a, std::string_view b, std::size_t n);

// The column after `c` when `c` starts at `column`: a tab moves to the next multiple of 8.
int advance_column(int column, char c);

// Reads one line without its newline into `buffer`. Characters are kept while the column is below
// `limit`; the rest of the line is read and dropped. Returns the column reached, or -1 when the
// input has ended and nothing was read. A last line without a newline is still returned.
int read_text_line(TextInput& input, std::string& buffer, int limit);
// The same line cut the same way, without counting the column where it cannot reach `limit`:
// false when the input has ended and nothing was read.
bool read_cut_line(TextInput& input, std::string& buffer, int limit);

// The tidied form of one .SRC line (without its newline).
std::string format_line(std::string_view line);
// The same, appended to `out`.
void append_formatted_line(std::string& out, std::string_view line);

// Writes `text` (whole lines, newlines included) to the output file. On failure prints
// "\t Write Error" and returns false; the caller then ends the run with status 1.
bool write_text(NeatenRun& run, std::string_view text);

struct NeatenNames {
    std::string input;
    std::string output;
};

// Input and output names from the command-line arguments (at least one). The extension is always
// taken from the first '.' of the whole name, directory part included.
NeatenNames build_names(const std::vector<std::string>& args);

// True when the names agree, ignoring case, in their first 8 characters and in the '.' and the two
// characters after it of their extensions.
bool same_file_name(std::string_view input, std::string_view output);

// Runs neaten with the command-line arguments (without the program name) and returns the exit
// status. Console text goes to run.console. --help prints the usage line, --version the banner,
// each with status 0.
int run_neaten(NeatenRun& run, const std::vector<std::string>& args);
