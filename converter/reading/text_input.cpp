#include "reading/text_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

constexpr char ctrl_z = 0x1A;
// Large blocks keep the read calls few: a source is read twice, and a block costs one call.
constexpr std::size_t block_size = 65536;

// The length of the run at the start of `bytes` that holds no LF, CR or Ctrl-Z. The LF is looked
// for first, so the rarer two are looked for in one line only.
std::size_t ordinary_run(std::string_view bytes) {
    std::size_t run = std::min(bytes.find('\n'), bytes.size());
    run = std::min(bytes.substr(0, run).find('\r'), run);
    return std::min(bytes.substr(0, run).find(ctrl_z), run);
}

}  // namespace

TextFile::~TextFile() { close(); }

TextFile::TextFile(TextFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      ended_(other.ended_),
      block_(std::move(other.block_)),
      start_(std::exchange(other.start_, 0)),
      end_(std::exchange(other.end_, 0)),
      plain_(other.plain_),
      pieced_(std::move(other.pieced_)) {}

TextFile& TextFile::operator=(TextFile&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
        ended_ = other.ended_;
        block_ = std::move(other.block_);
        start_ = std::exchange(other.start_, 0);
        end_ = std::exchange(other.end_, 0);
        plain_ = other.plain_;
        pieced_ = std::move(other.pieced_);
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
    // The blocks are read whole into block_: a stdio buffer of its own would only copy them again.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
    start_reading();
    return file_ != nullptr;
}

bool TextFile::open_memory(std::string_view text) {
    close();
    file_ = ::fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    start_reading();
    return file_ != nullptr;
}

void TextFile::start_reading() {
    ended_ = false;
    start_ = 0;
    end_ = 0;
    plain_ = false;
    if (block_.size() != block_size) block_.assign(block_size, '\0');
}

void TextFile::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool TextFile::refill() {
    if (file_ == nullptr) return false;
    const std::size_t left = end_ - start_;
    std::memmove(block_.data(), block_.data() + start_, left);
    start_ = 0;
    end_ = left;
    const std::size_t arrived = std::fread(block_.data() + left, 1, block_.size() - left, file_);
    end_ += arrived;
    // Most blocks hold no CR, Ctrl-Z or NUL at all: their lines need only their LF found.
    const std::string_view unread(block_.data(), end_);
    plain_ = unread.find('\r') == std::string_view::npos && unread.find(ctrl_z) == std::string_view::npos &&
             unread.find('\0') == std::string_view::npos;
    return arrived > 0;
}

bool TextFile::read_line_outside_fast_path(std::string_view& line) {
    if (!ended_ && start_ == end_ && !refill()) ended_ = true;
    if (!ended_ && !plain_) {
        // A line of a block that holds a CR, Ctrl-Z or NUL somewhere may still lie whole in it, with
        // none of them in it but the CR of its CR-LF, which is dropped: its LF moves into its place.
        const std::size_t left = end_ - start_;
        char* bytes = block_.data() + start_;
        const std::string_view ahead(bytes, std::min(left, max_line_chars));
        const std::size_t run = ordinary_run(ahead);
        if (run < ahead.size() && ahead.substr(0, run).find('\0') == std::string_view::npos) {
            if (ahead[run] == '\n') {
                line = ahead.substr(0, run + 1);
                start_ += run + 1;
                return true;
            }
            if (ahead[run] == '\r' && run + 1 < left && bytes[run + 1] == '\n') {
                bytes[run] = '\n';
                line = ahead.substr(0, run + 1);
                start_ += run + 2;
                return true;
            }
        }
    }
    const bool read = read_pieced_line(pieced_);
    line = pieced_;
    return read;
}

bool TextFile::read_line(std::string& line) {
    std::string_view view;
    const bool read = read_line(view);
    line.assign(view);
    return read;
}

bool TextFile::read_pieced_line(std::string& line) {
    line.clear();
    bool nul_possible = false;
    while (line.size() < max_line_chars && !ended_) {
        if (start_ == end_ && !refill()) {
            ended_ = true;
            break;
        }
        nul_possible |= !plain_;
        // The ordinary bytes up to the line's end, a byte the text rules look at, or the place
        // where the line is full.
        const char* bytes = block_.data();
        const std::size_t stop = std::min(end_, start_ + (max_line_chars - line.size()));
        const std::string_view ahead(bytes + start_, stop - start_);
        const std::size_t run_end = start_ + (plain_ ? std::min(ahead.find('\n'), ahead.size()) : ordinary_run(ahead));
        if (run_end < stop && bytes[run_end] == '\n') {  // the line ends here: its LF goes with it
            line.append(bytes + start_, run_end + 1 - start_);
            start_ = run_end + 1;
            break;
        }
        line.append(bytes + start_, run_end - start_);
        start_ = run_end;
        if (run_end == stop) continue;

        const char special = bytes[run_end];
        if (special == ctrl_z) {
            ended_ = true;
            break;
        }
        // A CR: dropped when a LF follows (it may stand in the next block), text otherwise.
        if (start_ + 1 == end_) refill();
        if (start_ + 1 < end_ && block_[start_ + 1] == '\n') {
            line.push_back('\n');
            start_ += 2;
            break;
        }
        line.push_back('\r');
        ++start_;
    }
    if (line.empty()) return false;
    if (auto nul = nul_possible ? line.find('\0') : std::string::npos; nul != std::string::npos) line.erase(nul);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    return true;
}
