#include "driver/console.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
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

// A console line read as a line message: "(12) ERROR: text" or "(12) WARNING: text".
struct LineMessage {
    std::string_view line_number;  // as printed between the parentheses
    std::string_view severity;     // "error" or "warning"; empty when the line is no line message
    std::string_view text;         // after "ERROR: " or "WARNING: ", without the newline
};

LineMessage read_line_message(std::string_view line) {
    std::size_t close = 1;
    while (close < line.size() && line[close] >= '0' && line[close] <= '9') ++close;
    if (!line.starts_with('(') || close == 1 || line.substr(close, 2) != ") ") return {};
    std::string_view rest = line.substr(close + 2);
    if (rest.ends_with('\n')) rest.remove_suffix(1);
    const std::string_view number = line.substr(1, close - 1);
    if (rest.starts_with("ERROR: ")) return {number, "error", rest.substr(7)};
    if (rest.starts_with("WARNING: ")) return {number, "warning", rest.substr(9)};
    return {};
}

}  // namespace

void Console::emit(std::string_view text) {
    if (capture) {
        captured.append(text);
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

void Console::write(std::string_view text) {
    if (!gnu_line_messages) emit(text);
    // A message may arrive in pieces; it is judged once its line is complete.
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::size_t length = newline == std::string_view::npos ? text.size() : newline + 1;
        line_.append(text.substr(0, length));
        text.remove_prefix(length);
        if (line_.back() == '\n') end_line();
    }
}

void Console::end_line() {
    const LineMessage message = read_line_message(line_);
    if (message.severity == "error") ++error_messages;
    if (gnu_line_messages) {
        if (message.severity.empty() || source_name.empty()) {
            emit(line_);
        } else {
            std::string gnu = source_name;
            gnu += ':';
            gnu += message.line_number;
            gnu += ": ";
            gnu += message.severity;
            gnu += ": ";
            gnu += message.text;
            gnu += '\n';
            emit(gnu);
        }
    }
    line_.clear();
}

void Console::flush() {
    if (gnu_line_messages) emit(line_);
    line_.clear();
}

// "(%d) " and a text whose only conversions are plain %s, put together without the general
// formatter: most messages are a line number with a fixed text or a name ("(%d) WARNING: byte
// order\n"), and a source may bring thousands of them. False, with nothing taken from `args`, for
// any other format.
namespace {
bool format_line_message(std::string& text, const char* format, std::va_list args) {
    constexpr std::string_view head = "(%d) ";
    if (!std::string_view(format).starts_with(head)) return false;
    for (const char* at = std::strchr(format + head.size(), '%'); at != nullptr; at = std::strchr(at + 2, '%')) {
        if (at[1] != 's') return false;
    }
    char digits[16];
    char* const end = std::to_chars(digits, digits + sizeof digits, va_arg(args, int)).ptr;
    text = '(';
    text.append(digits, static_cast<std::size_t>(end - digits));
    text += ") ";
    for (std::string_view rest = format + head.size();;) {
        const std::size_t conversion = rest.find('%');
        text += rest.substr(0, conversion);
        if (conversion == std::string_view::npos) return true;
        text += va_arg(args, const char*);
        rest.remove_prefix(conversion + 2);
    }
}
}  // namespace

void Console::print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    if (format_line_message(message_, format, args)) {
        va_end(args);
        write(message_);
        return;
    }
    const std::string text = vformat(format, args);
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
