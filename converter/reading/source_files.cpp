#include "reading/source_files.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "driver/replaced_file.h"
#include "reading/text_scan.h"

namespace fs = std::filesystem;

namespace {

bool is_regular_or_device(const FileAccess& files, const std::string& path) {
    if (files.memory != nullptr) return files.memory->contains(path);
    std::error_code error;
    return fs::exists(path, error) && !fs::is_directory(path, error);
}

bool open_source(const FileAccess& files, TextFile& file, const std::string& path) {
    if (files.memory == nullptr) return file.open(path);
    auto found = files.memory->find(path);
    return found != files.memory->end() && file.open_memory(found->second);
}

// The files of `folder` by their names in lower case, read from the disk once per run: a source
// with many includes in a large directory must not list it again for every one.
const std::multimap<std::string, std::string>& listing_of(Context& ctx, const std::string& folder) {
    auto [place, added] = ctx.includes.listings.try_emplace(folder);
    if (!added) return place->second;
    if (ctx.files.memory != nullptr) {
        const std::string prefix = folder == "." ? "" : folder;
        for (const auto& [name, text] : *ctx.files.memory) {
            if (!name.starts_with(prefix) || name.find('/', prefix.size()) != std::string::npos) continue;
            place->second.emplace(lower_case(name.substr(prefix.size())), name.substr(prefix.size()));
        }
        return place->second;
    }
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string entry = it->path().filename().string();
        place->second.emplace(lower_case(entry), std::move(entry));
    }
    return place->second;
}

// The file to open for an include name. The name is tried as written (trailing blanks and tabs
// dropped, since DOS ignored them); then with '\' read as '/'; then a file of that directory
// whose name differs only in letter case, because sources written for DOS rarely agree with the
// case of the files on disk.
std::string resolve_include(Context& ctx, const std::string& directory, std::string_view written_name) {
    std::string name(written_name);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    std::string candidate = directory + name;
    if (is_regular_or_device(ctx.files, candidate)) return candidate;
    std::replace(name.begin(), name.end(), '\\', '/');
    candidate = directory + name;
    if (is_regular_or_device(ctx.files, candidate)) return candidate;

    std::size_t slash = candidate.rfind('/');
    std::string folder = slash == std::string::npos ? "." : candidate.substr(0, slash + 1);
    std::string wanted = lower_case(slash == std::string::npos ? candidate : candidate.substr(slash + 1));
    std::string best;
    auto [first, last] = listing_of(ctx, folder).equal_range(wanted);
    for (auto it = first; it != last; ++it) {
        std::string path = (slash == std::string::npos ? std::string() : folder) + it->second;
        if (!is_regular_or_device(ctx.files, path)) continue;
        if (best.empty() || path < best) best = path;  // the same choice on every run
    }
    return best.empty() ? candidate : best;
}

// An output that is one of the files the run reads would be written over with its translation.
void refuse_output_as_input(Context& ctx, const std::string& path) {
    const Settings& settings = ctx.settings;
    if (same_file(ctx.files, path, settings.output_path) || same_file(ctx.files, path, settings.symbolic_path)) {
        fatal(ctx.console, "\tSame file_name input,output\n");
    }
}

}  // namespace

void open_main_source(Context& ctx) {
    ctx.includes.include_level = 0;
    SourceLevel& main = ctx.includes.levels[0];
    main.path = ctx.settings.source_path;
    main.opened_path = main.path;
    ctx.console.source_name = main.path;
    main.line_count = 0;
    if (!open_source(ctx.files, main.file, ctx.settings.source_path)) {
        fatal(ctx.console, "\t%s Cannot Open\n", ctx.settings.source_path.c_str());
    }
}

bool read_source_line_after_file_end(Context& ctx, std::string_view& line) {
    IncludeStack& stack = ctx.includes;
    do {
        SourceLevel& ended = stack.current();
        // A read error is no end of file: a translation cut short there must not pass for complete.
        if (ended.file.failed()) fatal(ctx.console, "\t%s Read Error\n", ended.path.c_str());
        ended.file.close();
        if (stack.include_level == 0) return false;
        ctx.console.print("--- INCLUDE-END \"%s\" %d lines ---\n", ended.path.c_str(), ended.line_count);
        --stack.include_level;
        ctx.console.source_name = stack.current().opened_path;
    } while (!stack.current().file.read_line(line));
    return true;
}

std::string include_name_at(std::string_view line, std::size_t col1) {
    std::size_t pos = std::min(col1, line.size());
    if (pos < line.size() && line[pos] == '"') {
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    }
    std::size_t end = line.find_first_of(std::string_view("\0\";\n", 4), pos);
    if (end == std::string_view::npos) end = line.size();
    return std::string(line.substr(pos, end - pos));
}

void open_include(Context& ctx, std::string_view shown_name, std::string_view written_name) {
    Settings& settings = ctx.settings;
    const std::string directory = settings.include_path.substr(0, settings.include_name_pos);
    settings.include_path = directory + std::string(shown_name);
    ctx.console.print("--- (%d) INCLUDE \"%s\" ---\n", ctx.includes.line_count(), settings.include_path.c_str());

    IncludeStack& stack = ctx.includes;
    if (stack.include_level >= IncludeStack::max_level) {
        fatal(ctx.console, "\t%s Cannot Open\n", settings.include_path.c_str());
    }
    SourceLevel& level = stack.levels[static_cast<std::size_t>(stack.include_level + 1)];
    const std::string found = resolve_include(ctx, directory, written_name);
    if (!open_source(ctx.files, level.file, found)) {
        fatal(ctx.console, "\t%s Cannot Open\n", settings.include_path.c_str());
    }
    refuse_output_as_input(ctx, found);
    level.path = settings.include_path;
    level.opened_path = found;
    ctx.console.source_name = found;
    level.line_count = 0;
    ++stack.include_level;
}

void close_sources(Context& ctx) {
    for (SourceLevel& level : ctx.includes.levels) level.file.close();
}
