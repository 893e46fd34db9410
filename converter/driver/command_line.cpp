#include "driver/command_line.h"

#include <filesystem>
#include <string_view>

#include "reading/text_scan.h"

namespace fs = std::filesystem;

namespace {

enum class FileState { none, source, output_file, output_dir };

bool path_exists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

bool is_directory(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

// An argument that names something on disk is taken whole, never split at '/' or read as an option.
bool is_plain_path(const std::string& arg, bool first_file_argument) {
    if (path_exists(arg)) return true;
    if (first_file_argument && path_exists(arg + ".ASM") && !is_directory(arg + ".ASM")) return true;
    std::size_t slash = arg.rfind('/');
    return slash != std::string::npos && slash > 0 && is_directory(arg.substr(0, slash));
}

// Where the base name begins: after the last ':', '/' or '\\' (sources written for DOS name their
// directories with a backslash; on Linux such a name is one file name, and it is taken apart the
// same way so that the outputs land beside the source).
std::size_t base_pos(const std::string& name) {
    std::size_t pos = name.find_last_of(":/\\");
    return pos == std::string::npos ? 0 : pos + 1;
}

// The number after /D or /M, read like a decimal conversion: leading blanks and a sign allowed,
// stopping at the first non-digit, 0 when there is none. Values that do not fit are reported as
// out of range instead of wrapping around.
long option_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_white_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    while (i < text.size() && is_digit(text[i])) {
        if (value < 1'000'000) value = value * 10 + (text[i] - '0');
        ++i;
    }
    return negative ? -value : value;
}

bool read_option(std::string_view piece, Settings& settings) {
    if (piece.size() < 2) return false;
    const char letter = to_upper(piece[1]);
    long value = 0;
    switch (letter) {
        case 'H': settings.copy_h8_area = true; return true;
        case 'L': settings.little_endian = true; return true;
        case 'G': settings.gas = true; return true;
        case 'X': settings.extended = true; return true;
        case 'D':
            value = option_number(piece.substr(2));
            if (value < 1 || value > 2000) return false;
            settings.data_name_max = static_cast<std::uint16_t>(value);
            return true;
        case 'M':
            value = option_number(piece.substr(2));
            if (value < 1 || value > 1000) return false;
            settings.macro_name_max = static_cast<std::uint16_t>(value);
            return true;
        default: return false;
    }
}

bool read_file_argument(const std::string& piece, FileState& state, Settings& settings) {
    switch (state) {
        case FileState::none:
            settings.source_path = piece;
            state = FileState::source;
            return true;
        case FileState::source:
            settings.output_path = piece;
            if (!piece.empty() && (piece.back() == ':' || piece.back() == '/' || piece.back() == '\\')) {
                settings.output_path += settings.source_path.substr(base_pos(settings.source_path));
                state = FileState::output_dir;
            } else {
                state = FileState::output_file;
            }
            return true;
        default: return false;
    }
}

void derive_file_names(FileState state, Settings& settings) {
    if (state == FileState::source) settings.output_path = settings.source_path;
    if (extension_pos(settings.source_path) == std::string::npos) settings.source_path += ".ASM";

    std::string& output = settings.output_path;
    std::size_t ext = extension_pos(output);
    if (state == FileState::output_file) {
        if (ext == std::string::npos) output += ".SRC";
    } else {
        std::size_t base = base_pos(output);
        std::string stem = output.substr(base, ext == std::string::npos ? std::string::npos : ext - base);
        output = output.substr(0, base) + "H" + stem + ".SRC";
    }

    settings.include_path = settings.source_path;
    settings.include_name_pos = base_pos(settings.source_path);

    settings.symbolic_path = output.substr(0, output.rfind('.')) + ".SYM";
    settings.script_path = output.substr(0, output.rfind('.')) + ".ld";
}

// The setting a long option turns on, or null when `arg` is none.
bool* long_option(std::string_view arg, Settings& settings) {
    struct LongOption {
        std::string_view name;
        bool Settings::*setting;
    };
    // clang-format off
    constexpr LongOption long_options[] = {
        {"--little-endian",   &Settings::little_endian},
        {"--gas",             &Settings::gas},
        {"--extended",        &Settings::extended},
        {"--diagnostics=gnu", &Settings::gnu_diagnostics},
        {"--fail-on-error",   &Settings::fail_on_error},
    };
    // clang-format on
    for (const LongOption& option : long_options) {
        if (arg == option.name) return &(settings.*option.setting);
    }
    return nullptr;
}

}  // namespace

std::size_t extension_pos(const std::string& name) {
    // Only the base name is searched, so that directories such as ../ or build.d/ never lend
    // the file an extension.
    for (std::size_t i = base_pos(name); i < name.size(); ++i) {
        if (name[i] != '.') continue;
        if (i + 1 < name.size() && name[i + 1] == '.') return i + 1;
        return i;
    }
    return std::string::npos;
}

CommandLineResult read_command_line(const std::vector<std::string>& args, Settings& settings) {
    FileState state = FileState::none;
    for (const std::string& arg : args) {
        if (arg == "--help") return CommandLineResult::help;
        if (arg == "--version") return CommandLineResult::version;
        if (bool* flag = long_option(arg, settings)) {
            *flag = true;
            continue;
        }
        if (is_plain_path(arg, state == FileState::none)) {
            if (!read_file_argument(arg, state, settings)) return CommandLineResult::usage_error;
            continue;
        }
        // A '/' that is not the first character starts a new piece: FOO/D500/H is FOO, /D500 and /H.
        std::size_t start = 0;
        while (start < arg.size() || start == 0) {
            std::size_t end = arg.find('/', start + 1);
            if (end == std::string::npos) end = arg.size();
            std::string piece = arg.substr(start, end - start);
            bool is_option = piece.starts_with('/') || (start == 0 && piece.starts_with('-'));
            if (is_option) {
                if (!read_option(piece, settings)) return CommandLineResult::usage_error;
            } else if (!read_file_argument(piece, state, settings)) {
                return CommandLineResult::usage_error;
            }
            if (end >= arg.size()) break;
            start = end;
        }
    }
    if (state == FileState::none) return CommandLineResult::usage_error;
    derive_file_names(state, settings);
    return CommandLineResult::run;
}
