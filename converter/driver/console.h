// Console output of a run. The program prints to stdout; a test captures the text instead.
//
// Line messages ("(12) ERROR: illegal operand") pass through here like every other text. The
// console counts the errors among them, and on request writes them the way compilers do
// ("PROG.ASM:12: error: illegal operand"), so that an editor can jump to the line.
#pragma once

#include <string>
#include <string_view>

struct Console {
    bool capture = false;  // collect into `captured` instead of writing to stdout
    std::string captured;
    bool gnu_line_messages = false;  // line messages as FILE:LINE: error: TEXT
    std::string source_name;         // the file being read, main source or include, as opened
    int error_messages = 0;          // line messages that reported an error

    void write(std::string_view text);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes out a console line still waiting for its newline (only line messages in the GNU form
    // wait, since a message may be written in pieces).
    void flush();

private:
    std::string line_;     // the console line written so far
    std::string message_;  // the last line message put together, whose room the next one reuses
    void emit(std::string_view text);
    void end_line();
};

// printf-style formatting into a std::string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Thrown to end a run after a fatal message has been printed; main turns it into the exit status.
struct FatalExit {
    int status = 1;
};

[[noreturn]] void fatal(Console& console, const char* format, ...) __attribute__((format(printf, 2, 3)));
