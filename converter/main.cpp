#include <cstdio>
#include <string>
#include <vector>

#include "srcport.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Context ctx;
    int status = run_srcport(ctx, args);
    std::fflush(stdout);
    return status;
}
