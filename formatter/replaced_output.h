// neaten's output replaced whole: the tidied text goes to a temporary file beside the output and is
// renamed over the old file only once the run has succeeded, so that a run that fails (a full disk,
// a file-size limit, a signal) leaves the previous output exactly as it was. A special file named as
// the output (/dev/null, a terminal) is written directly.
#pragma once

#include <climits>
#include <csignal>
#include <cstdio>
#include <string>

// The temporary file a signal must not leave behind. The program's signal handler reads it, so the
// name lives in a fixed buffer and counts only once `armed` is set.
struct PendingRemoval {
    volatile std::sig_atomic_t armed = 0;
    char path[PATH_MAX] = {};
};

class ReplacedOutput {
public:
    explicit ReplacedOutput(PendingRemoval* pending) : pending_(pending) {}
    ~ReplacedOutput();  // an output not committed is dropped with its temporary file
    ReplacedOutput(const ReplacedOutput&) = delete;
    ReplacedOutput& operator=(const ReplacedOutput&) = delete;

    // Opens a temporary file beside `path` (or the special file itself) for writing as text; nullptr
    // when neither can be opened, or when the output is a file the user may not write.
    std::FILE* open(const std::string& path);
    // Closes `file` (the one open returned) after flushing it to the disk, and puts it in place of
    // the old output; false when any of it fails.
    bool commit(std::FILE* file);

private:
    void drop_temporary();

    PendingRemoval* pending_;
    std::string target_;     // the output name with its symlinks followed
    std::string temporary_;  // empty when the output is written directly
};
