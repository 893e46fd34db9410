// Console output of a run. The program prints to stdout; a test captures the text instead.
#pragma once

#include <string>
#include <string_view>

struct Console {
    bool capture = false;  // collect into `captured` instead of writing to stdout
    std::string captured;

    void write(std::string_view text);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// printf-style formatting into a std::string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Thrown to end a run after a fatal message has been printed; main turns it into the exit status.
struct FatalExit {
    int status = 1;
};

[[noreturn]] void fatal(Console& console, const char* format, ...) __attribute__((format(printf, 2, 3)));
