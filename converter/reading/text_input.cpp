#include "reading/text_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

TextFile::~TextFile() { close(); }

TextFile::TextFile(TextFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), ended_(other.ended_), pushed_back_(other.pushed_back_) {}

TextFile& TextFile::operator=(TextFile&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
        ended_ = other.ended_;
        pushed_back_ = other.pushed_back_;
    }
    return *this;
}

bool TextFile::open(const std::string& path) {
    close();
    // Opened without waiting, so that a FIFO with no writer cannot hold the run up before it is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Both passes read every source from its start: a FIFO or a socket could give its text only once.
    struct stat info {};
    const bool usable =
        ::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode) && !S_ISFIFO(info.st_mode) && !S_ISSOCK(info.st_mode);
    if (usable && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) file_ = ::fdopen(fd, "rb");
    if (file_ == nullptr) ::close(fd);
    ended_ = false;
    pushed_back_ = -1;
    return file_ != nullptr;
}

bool TextFile::open_memory(std::string_view text) {
    close();
    file_ = ::fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    ended_ = false;
    pushed_back_ = -1;
    return file_ != nullptr;
}

void TextFile::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

int TextFile::next_byte() {
    if (ended_ || file_ == nullptr) return EOF;
    int byte;
    if (pushed_back_ >= 0) {
        byte = std::exchange(pushed_back_, -1);
    } else {
        byte = std::getc(file_);
    }
    if (byte == '\r') {
        int after = std::getc(file_);
        if (after == '\n') return '\n';
        if (after != EOF) pushed_back_ = after;
        return '\r';
    }
    if (byte == 0x1A || byte == EOF) {
        ended_ = true;
        return EOF;
    }
    return byte;
}

bool TextFile::read_line(std::string& line) {
    line.clear();
    while (line.size() < max_line_chars) {
        int byte = next_byte();
        if (byte == EOF) break;
        line.push_back(static_cast<char>(byte));
        if (byte == '\n') break;
    }
    if (line.empty()) return false;
    if (auto nul = line.find('\0'); nul != std::string::npos) line.erase(nul);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    return true;
}
