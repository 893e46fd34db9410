#include "replaced_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a name leads to, symlinks followed (dangling ones too), so that a link stays and the
// file it points at is replaced. Empty for a symlink loop.
std::string final_target(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(path, error);
        if (error) return {};
        path = link.is_absolute() ? link.string() : directory_of(path) + link.string();
    }
    return {};
}

// A new file named `prefix` and six random characters, created exclusively (no existing file,
// symlink or FIFO under the name is ever opened) with mode 0666 less the umask.
int create_unique_file(const std::string& prefix, std::string& path) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = prefix;
        for (int i = 0; i < 6; ++i) path.push_back(letters[pick(device)]);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

ReplacedOutput::~ReplacedOutput() { drop_temporary(); }

void ReplacedOutput::drop_temporary() {
    if (temporary_.empty()) return;
    if (pending_ != nullptr) pending_->armed = 0;
    ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::FILE* ReplacedOutput::open(const std::string& path) {
    drop_temporary();
    target_ = final_target(path);
    if (target_.empty()) return nullptr;
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return nullptr;
    // A device or a FIFO is written as it is; a directory fails to open here.
    if (exists && !S_ISREG(old.st_mode)) return std::fopen(target_.c_str(), "w");
    // A file the user may not write stays refused, as when it was opened for writing in place.
    if (exists && ::access(target_.c_str(), W_OK) != 0) return nullptr;

    const std::string directory = directory_of(target_);
    const int fd = create_unique_file(directory + target_.substr(directory.size(), 200) + ".", temporary_);
    if (fd < 0) {
        temporary_.clear();
        // A writable file in a directory the user may not add to is still written, in place.
        return exists && (errno == EACCES || errno == EPERM) ? std::fopen(target_.c_str(), "w") : nullptr;
    }
    if (pending_ != nullptr && temporary_.size() < PATH_MAX) {
        std::memcpy(pending_->path, temporary_.c_str(), temporary_.size() + 1);
        std::atomic_signal_fence(std::memory_order_release);  // the name is complete before it counts
        pending_->armed = 1;
    }
    if (exists) ::fchmod(fd, old.st_mode & 0777);  // the new file keeps the old one's permissions
    std::FILE* file = ::fdopen(fd, "w");
    if (file == nullptr) {
        ::close(fd);
        drop_temporary();
    }
    return file;
}

bool ReplacedOutput::commit(std::FILE* file) {
    bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
    // A file system that cannot sync (EINVAL, ENOTSUP) is taken at its word; EIO or a full disk is not.
    if (written && !temporary_.empty() && ::fsync(::fileno(file)) != 0 && errno != EINVAL && errno != ENOTSUP &&
        errno != EROFS) {
        written = false;
    }
    written &= std::fclose(file) == 0;
    if (!written || temporary_.empty()) return written;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
    if (pending_ != nullptr) pending_->armed = 0;
    temporary_.clear();
    const int directory =
        ::open(directory_of(target_).empty() ? "." : directory_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);  // the rename itself reaches the disk
        ::close(directory);
    }
    return true;
}
