#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "driver/srcport.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int status = 1;
    try {
        Context ctx;
        status = run_srcport(ctx, args);
    } catch (const std::exception& error) {
        // Last resort: a run that cannot go on ends with a message, never with an abort.
        std::fflush(stdout);
        std::printf("\t%s\n", error.what());
    }
    std::fflush(stdout);
    return status;
}
