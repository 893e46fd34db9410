#include "context.h"

#include <unistd.h>

Context::~Context() {
    if (pass2.output != nullptr) std::fclose(pass2.output);
    if (pass2.work != nullptr) std::fclose(pass2.work);
    if (work_lock_fd >= 0) ::close(work_lock_fd);
}
