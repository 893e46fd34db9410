// Output files replaced whole. An output is written to a temporary file in its own directory and
// renamed over the old file only once the whole run has succeeded, so that a run that fails half-way
// (a full disk, a file-size limit, a signal) leaves the previous output exactly as it was. Special
// files named as outputs (/dev/null, a terminal) are written directly.
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>

#include "driver/file_handle.h"

// The temporary files that a signal ending the process must not leave behind. The program's signal
// handler reads this list, so names live in fixed buffers and a slot counts only once its flag is set.
struct SignalCleanup {
    struct Slot {
        volatile std::sig_atomic_t in_use = 0;
        char path[PATH_MAX] = {};
    };
    std::array<Slot, 4> slots;
};

// Where a run's files live. By default on disk, with the program's list of temporary files for its
// signal handler; with `memory` set they are held in memory instead, by name (the fuzz harness's
// whole runs): sources are read from it, outputs put into it, and no file on disk is touched.
using MemoryFiles = std::map<std::string, std::string>;
struct FileAccess {
    SignalCleanup* signal_cleanup = nullptr;
    MemoryFiles* memory = nullptr;
};

// Puts `path` on the list; returns its slot, or -1 when there is no list or no room.
int cleanup_add(SignalCleanup* cleanup, const std::string& path);
void cleanup_drop(SignalCleanup* cleanup, int slot);
// Removes every file on the list. Safe to call from a signal handler.
void cleanup_remove_all(SignalCleanup& cleanup);

// Whether two names lead to the same file: the same device and inode when both exist, else the same
// normalised absolute path (in memory, the same normalised name).
bool same_file(const FileAccess& files, const std::string& a, const std::string& b);

// Creates a new file named `prefix` followed by six random characters, with `mode` less the umask.
// The name is created exclusively: an existing file, symlink or FIFO under it is never opened.
// Returns the descriptor (not open on failure, errno set) and the name in `path`.
Descriptor create_unique_file(const std::string& prefix, mode_t mode, std::string& path);

class ReplacedFile {
public:
    ReplacedFile() = default;
    ~ReplacedFile();  // an output not committed is dropped: the temporary file goes
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    // Opens a temporary file beside the output `path` (or the special file itself); false when
    // neither can be opened, or when the output is a file the user may not write.
    bool open(const std::string& path, const FileAccess& files);
    std::FILE* get() const { return file_.get(); }
    // Writes out what is buffered, flushes it to the disk and closes; false on a write error.
    bool finish();
    // Puts the finished file in place of the old one; false when it cannot.
    bool commit();

private:
    void drop_temporary();

    File file_;
    std::string target_;     // the file replaced: the output name with its symlinks followed
    std::string temporary_;  // empty when the output is written directly
    SignalCleanup* cleanup_ = nullptr;
    int cleanup_slot_ = -1;
    MemoryFiles* memory_ = nullptr;  // in memory: the text collects in memory_text_
    char* memory_text_ = nullptr;
    std::size_t memory_size_ = 0;
};
