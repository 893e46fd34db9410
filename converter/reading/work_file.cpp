#include "reading/work_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/replaced_file.h"

namespace {

// The work file of a run held in memory: a byte string that grows as records are written, behind a
// FILE, so that both passes use it exactly as they use the file on disk.
struct MemoryFile {
    std::string bytes;
    std::size_t position = 0;
};

ssize_t read_memory(void* cookie, char* buffer, std::size_t size) {
    MemoryFile& file = *static_cast<MemoryFile*>(cookie);
    const std::size_t count = std::min(size, file.bytes.size() - std::min(file.position, file.bytes.size()));
    std::memcpy(buffer, file.bytes.data() + file.position, count);
    file.position += count;
    return static_cast<ssize_t>(count);
}

ssize_t write_memory(void* cookie, const char* buffer, std::size_t size) {
    MemoryFile& file = *static_cast<MemoryFile*>(cookie);
    if (file.bytes.size() < file.position + size) file.bytes.resize(file.position + size);
    std::memcpy(file.bytes.data() + file.position, buffer, size);
    file.position += size;
    return static_cast<ssize_t>(size);
}

int seek_memory(void* cookie, off64_t* offset, int whence) {
    MemoryFile& file = *static_cast<MemoryFile*>(cookie);
    const off64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<off64_t>(file.position)
                                              : static_cast<off64_t>(file.bytes.size());
    if (*offset < -base) return -1;
    *offset += base;
    file.position = static_cast<std::size_t>(*offset);
    return 0;
}

int close_memory(void* cookie) {
    delete static_cast<MemoryFile*>(cookie);
    return 0;
}

File open_memory_file() {
    auto* file = new MemoryFile;
    File handle(::fopencookie(file, "w+b", {read_memory, write_memory, seek_memory, close_memory}));
    if (handle == nullptr) delete file;
    return handle;
}

}  // namespace

void create_work_file(Context& ctx) {
    if (ctx.files.memory != nullptr) {
        ctx.work_file_name = "$TRSH8.$$$";
        ctx.work_file = open_memory_file();
        if (ctx.work_file == nullptr) fatal(ctx.console, "\t%s Cannot Open\n", ctx.work_file_name.c_str());
        std::setvbuf(ctx.work_file.get(), nullptr, _IONBF, 0);
        return;
    }
    const std::string& output = ctx.settings.output_path;
    const std::string output_directory = output.substr(0, output.rfind('/') + 1);
    std::string path;
    Descriptor fd = create_unique_file(output_directory + "$TRSH8.", 0600, path);
    if (!fd.is_open()) {
        const char* temporary = std::getenv("TMPDIR");
        const std::string directory = temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
        fd = create_unique_file(directory + "/$TRSH8.", 0600, path);
    }
    ctx.work_file_name = path;
    if (!fd.is_open()) fatal(ctx.console, "\t%s Cannot Open\n", path.c_str());
    ::unlink(path.c_str());
    ctx.work_file = File(::fdopen(fd.get(), "w+b"));
    if (ctx.work_file == nullptr) fatal(ctx.console, "\t%s Cannot Open\n", path.c_str());
    fd.release();
    // Both passes move whole blocks of records, each with one call: a stdio buffer would only cut
    // them into smaller calls and copy them once more.
    std::setvbuf(ctx.work_file.get(), nullptr, _IONBF, 0);
}

void write_work_block(Context& ctx, WorkWriter& writer) {
    if (writer.used != 0 && std::fwrite(writer.block.data(), 1, writer.used, writer.file) != writer.used) {
        fatal(ctx.console, "\t%s Write Error\n", ctx.work_file_name.c_str());
    }
    writer.used = 0;
}

void finish_work_file(Context& ctx, WorkWriter& writer) {
    write_work_block(ctx, writer);
    if (std::fflush(writer.file) != 0) fatal(ctx.console, "\t%s Write Error\n", ctx.work_file_name.c_str());
}
