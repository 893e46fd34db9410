#include "driver/console.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {
std::string vformat(const char* format, std::va_list args) {
    // Messages are short: one pass into a buffer on the stack, a second only for a longer text.
    char line[256];
    std::va_list copy;
    va_copy(copy, args);
    int size = std::vsnprintf(line, sizeof line, format, copy);
    va_end(copy);
    if (size <= 0) return {};
    if (static_cast<std::size_t>(size) < sizeof line) return std::string(line, static_cast<std::size_t>(size));
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(size));
}
}  // namespace

void Console::write(std::string_view text) {
    if (capture) {
        captured.append(text);
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

void Console::print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    write(text);
}

std::string format_text(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

void fatal(Console& console, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    console.write(text);
    throw FatalExit{1};
}
