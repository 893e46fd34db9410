#include "driver/replaced_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file an output name leads to, symlinks followed (dangling ones too): the link stays and the
// file it points at is replaced, as writing through the link would have done. Empty for a loop.
std::string final_target(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::error_code error;
        const fs::path link = fs::read_symlink(path, error);
        if (error) return {};
        path = link.is_absolute() ? link.string() : directory_of(path) + link.string();
    }
    return {};
}

// Durable only once the directory entry is: a crash right after the rename must not bring the old
// file back. File systems that cannot sync a directory are taken as they are.
void sync_directory(const std::string& path) {
    const std::string directory = directory_of(path);
    Descriptor fd(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.is_open()) ::fsync(fd.get());
}

}  // namespace

bool same_file(const FileAccess& files, const std::string& a, const std::string& b) {
    if (files.memory != nullptr) return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    std::error_code error_a, error_b;
    fs::path pa = fs::weakly_canonical(fs::absolute(a, error_a), error_a);
    fs::path pb = fs::weakly_canonical(fs::absolute(b, error_b), error_b);
    if (error_a || error_b) return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
    return pa == pb;
}

int cleanup_add(SignalCleanup* cleanup, const std::string& path) {
    if (cleanup == nullptr || path.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < cleanup->slots.size(); ++i) {
        SignalCleanup::Slot& slot = cleanup->slots[i];
        if (slot.in_use != 0) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        std::atomic_signal_fence(std::memory_order_release);  // the name is complete before it counts
        slot.in_use = 1;
        return static_cast<int>(i);
    }
    return -1;
}

void cleanup_drop(SignalCleanup* cleanup, int slot) {
    if (cleanup != nullptr && slot >= 0) cleanup->slots[static_cast<std::size_t>(slot)].in_use = 0;
}

void cleanup_remove_all(SignalCleanup& cleanup) {
    for (SignalCleanup::Slot& slot : cleanup.slots) {
        if (slot.in_use != 0) ::unlink(slot.path);
    }
}

Descriptor create_unique_file(const std::string& prefix, mode_t mode, std::string& path) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = prefix;
        for (int i = 0; i < 6; ++i) path.push_back(letters[pick(device)]);
        // O_EXCL fails on any existing name, a symlink or a FIFO included: nothing is followed or opened.
        Descriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd.is_open() || errno != EEXIST) return fd;
    }
    return Descriptor();
}

ReplacedFile::~ReplacedFile() {
    file_.reset();
    drop_temporary();
    std::free(memory_text_);
}

void ReplacedFile::drop_temporary() {
    if (temporary_.empty()) return;
    ::unlink(temporary_.c_str());
    cleanup_drop(cleanup_, cleanup_slot_);
    temporary_.clear();
    cleanup_slot_ = -1;
}

bool ReplacedFile::open(const std::string& path, const FileAccess& files) {
    file_.reset();
    drop_temporary();
    cleanup_ = files.signal_cleanup;
    memory_ = files.memory;
    if (memory_ != nullptr) {
        target_ = path;
        std::free(std::exchange(memory_text_, nullptr));
        file_ = File(::open_memstream(&memory_text_, &memory_size_));
        return file_ != nullptr;
    }
    target_ = final_target(path);
    if (target_.empty()) return false;
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && !S_ISREG(old.st_mode)) {
        // A device or a FIFO is written as it is; a directory fails to open here.
        file_ = open_file(target_.c_str(), "w");
        return file_ != nullptr;
    }
    // A file the user may not write stays refused, as when it was opened for writing in place.
    if (exists && ::access(target_.c_str(), W_OK) != 0) return false;

    const std::string base = target_.substr(directory_of(target_).size());
    Descriptor fd = create_unique_file(directory_of(target_) + base.substr(0, 200) + ".", 0666, temporary_);
    if (!fd.is_open()) {
        temporary_.clear();
        // A writable file in a directory the user may not add to is still written, in place.
        if (exists && (errno == EACCES || errno == EPERM)) file_ = open_file(target_.c_str(), "w");
        return file_ != nullptr;
    }
    cleanup_slot_ = cleanup_add(cleanup_, temporary_);
    if (exists) ::fchmod(fd.get(), old.st_mode & 0777);  // the new file keeps the old one's permissions
    file_ = File(::fdopen(fd.get(), "w"));
    if (file_ == nullptr) {
        drop_temporary();
        return false;
    }
    fd.release();
    return true;
}

bool ReplacedFile::finish() {
    if (file_ == nullptr) return false;
    bool written = std::fflush(file_.get()) == 0 && std::ferror(file_.get()) == 0;
    // A file system that cannot sync (EINVAL, ENOTSUP) is taken at its word; EIO or a full disk is not.
    if (written && !temporary_.empty() && ::fsync(::fileno(file_.get())) != 0 && errno != EINVAL && errno != ENOTSUP &&
        errno != EROFS) {
        written = false;
    }
    return close_file(file_) && written;
}

bool ReplacedFile::commit() {
    if (file_ != nullptr) return false;  // not finished
    if (memory_ != nullptr) {
        (*memory_)[target_].assign(memory_text_ == nullptr ? "" : memory_text_, memory_size_);
        return true;
    }
    if (temporary_.empty()) return true;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
    cleanup_drop(cleanup_, cleanup_slot_);
    temporary_.clear();
    cleanup_slot_ = -1;
    sync_directory(target_);
    return true;
}
