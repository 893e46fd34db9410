#include "reading/work_file.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "driver/replaced_file.h"

void create_work_file(Context& ctx) {
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
}

void write_work_record(Context& ctx, std::FILE* work, const LineRecord& record) {
    RecordBytes bytes = encode_record(record);
    if (std::fwrite(bytes.data(), record_size, 1, work) != 1) {
        fatal(ctx.console, "\t%s Write Error\n", ctx.work_file_name.c_str());
    }
}

std::size_t read_work_records(std::FILE* work, LineRecord* slots, std::size_t count) {
    std::vector<unsigned char> buffer(count * record_size);
    std::size_t arrived = std::fread(buffer.data(), record_size, count, work);
    for (std::size_t i = 0; i < arrived; ++i) slots[i] = decode_record(buffer.data() + i * record_size);
    return arrived;
}
