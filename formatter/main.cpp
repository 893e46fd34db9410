#include <iostream>
#include <string>
#include <vector>

#include "formatter.h"

int main(int argc, char** argv) {
    NeatenRun run{std::cout};
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = run_neaten(run, args);
    std::cout.flush();
    return status;
}
