#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "formatter.h"

namespace {

// The one piece of process-wide state: a signal handler can reach nothing else.
PendingRemoval pending_removal;

void remove_and_die(int signal) {
    if (pending_removal.armed != 0) ::unlink(pending_removal.path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A signal that ends the run takes the temporary output with it. Signals the caller had ignored
// (nohup) stay ignored, and a file-size limit becomes a write error instead of a kill.
void remove_temporary_file_on_signals() {
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        std::signal(signal, remove_and_die);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

// Started with a standard descriptor closed, the first file opened would take its number and the
// console text would be written into it: each of 0, 1 and 2 is opened on /dev/null if it is closed.
bool open_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) continue;
        if (::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!open_standard_descriptors()) return 1;
    remove_temporary_file_on_signals();
    NeatenRun run{std::cout};
    run.pending_removal = &pending_removal;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = run_neaten(run, args);
    std::cout.flush();
    return status;
}
