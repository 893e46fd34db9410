// Files held by RAII handles, so that no path through the converter (a fatal error included)
// leaves one open.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

inline File open_file(const char* path, const char* mode) { return File(std::fopen(path, mode)); }

// Closes the file now; false when buffered data could not be written (a full disk shows up here).
inline bool close_file(File& file) { return file == nullptr || std::fclose(file.release()) == 0; }

// A POSIX file descriptor.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Hands the descriptor over to another owner.
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};
