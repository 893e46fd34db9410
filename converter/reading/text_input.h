// Source files read the way the converter's line rules expect: DOS text mode (a CR directly before
// a LF is dropped, Ctrl-Z ends the file) and lines of at most 254 characters, a longer physical line
// being read as several lines.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t max_line_chars = 254;

class TextFile {
public:
    TextFile() = default;
    ~TextFile();
    TextFile(TextFile&& other) noexcept;
    TextFile& operator=(TextFile&& other) noexcept;
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Opens a regular file (or a device) for reading; false when it cannot be opened or is a
    // directory, a FIFO or a socket.
    bool open(const std::string& path);
    // Reads `text` instead of a file; it must stay in place while it is read.
    bool open_memory(std::string_view text);
    bool is_open() const { return file_ != nullptr; }
    // Whether reading stopped at a read error rather than at the end of the file.
    bool failed() const { return file_ != nullptr && std::ferror(file_) != 0; }
    void close();

    // Reads the next line of at most 254 characters, newline included when it fits. The text is cut
    // at a NUL byte, and a line that has no newline (the last line of a file, a NUL-cut line, or the
    // first 254 characters of a longer line) gets one, so that no consumer loses a character.
    // False at the end of the file, with `line` left empty.
    bool read_line(std::string& line);
    // The same line as a view, valid until the next read or close of this file.
    bool read_line(std::string_view& line) {
        // Most lines lie whole in a block that holds no CR, Ctrl-Z or NUL: such a line, LF
        // included, is the block's own bytes.
        if (plain_) {
            const char* begin = block_.data() + start_;
            if (const void* lf = std::memchr(begin, '\n', std::min(end_ - start_, max_line_chars))) {
                const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - begin) + 1;
                line = std::string_view(begin, length);
                start_ += length;
                return true;
            }
        }
        return read_line_outside_fast_path(line);
    }

private:
    // Sets the reading state up for a file just opened.
    void start_reading();
    // Moves the bytes not yet taken to the front of the block and reads more behind them; false
    // when nothing more arrived.
    bool refill();
    // Reads a line that read_line's fast path cannot take: at the end of the block, or from a block
    // that holds a CR, Ctrl-Z or NUL.
    bool read_line_outside_fast_path(std::string_view& line);
    // Reads a line that has to be pieced together: one that crosses the end of the block, holds a
    // CR, Ctrl-Z or NUL, lacks its newline or is cut at 254 characters.
    bool read_pieced_line(std::string& line);

    std::FILE* file_ = nullptr;
    bool ended_ = false;       // the end of the file or a Ctrl-Z was met: nothing more is read
    std::vector<char> block_;  // the file is read in blocks; lines are taken from it in place
    std::size_t start_ = 0;    // the bytes not yet taken: block_[start_, end_)
    std::size_t end_ = 0;
    bool plain_ = false;  // the unread bytes hold no CR, Ctrl-Z or NUL
    std::string pieced_;  // the last line read that is not the block's own bytes
};
