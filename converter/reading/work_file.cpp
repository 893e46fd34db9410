#include "reading/work_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

void lock_work_file(Context& ctx) {
    // The lock lives on the file itself. A run that locked a file which another run removed in the
    // meantime holds nothing useful, so it tries again on the file that now stands under the name.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(work_file_name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) break;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            break;
        }
        struct stat locked {
        }, named{};
        if (::fstat(fd, &locked) == 0 && ::stat(work_file_name, &named) == 0 && locked.st_dev == named.st_dev &&
            locked.st_ino == named.st_ino) {
            ctx.work_lock = Descriptor(fd);
            return;
        }
        ::close(fd);
    }
    fatal(ctx.console, "\t%s Cannot Open\n", work_file_name);
}

void remove_work_file(Context& ctx) {
    std::remove(work_file_name);
    ctx.work_lock.reset();
}

void write_work_record(Context& ctx, std::FILE* work, const LineRecord& record) {
    RecordBytes bytes = encode_record(record);
    if (std::fwrite(bytes.data(), record_size, 1, work) != 1) {
        fatal(ctx.console, "\t%s Write Error\n", work_file_name);
    }
}

std::size_t read_work_records(std::FILE* work, LineRecord* slots, std::size_t count) {
    std::vector<unsigned char> buffer(count * record_size);
    std::size_t arrived = std::fread(buffer.data(), record_size, count, work);
    for (std::size_t i = 0; i < arrived; ++i) slots[i] = decode_record(buffer.data() + i * record_size);
    return arrived;
}
