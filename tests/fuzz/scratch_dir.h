// A fresh scratch directory per fuzz run, so that whole-program runs never see each other's files.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class FuzzScratch {
public:
    FuzzScratch() {
        static const std::filesystem::path home = std::filesystem::current_path();
        home_ = home;
        // In memory where the system has it: an output is flushed to the disk before it replaces the
        // old one, which a real disk makes slow for thousands of runs.
        std::string pattern = "/dev/shm/neaten_fuzz_XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            pattern = "/tmp/neaten_fuzz_XXXXXX";
            if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        }
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~FuzzScratch() {
        std::filesystem::current_path(home_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    static void write(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }

private:
    std::filesystem::path home_;
    std::filesystem::path path_;
};
