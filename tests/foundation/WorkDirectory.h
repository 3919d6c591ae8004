// A fresh temporary folder that is the working directory while it lives, for
// tests of code that writes beside the program (such as "Qel.log").
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class WorkDirectory {
public:
    // Named after the running test, so tests never share a folder.
    explicit WorkDirectory(const std::string& prefix)
        : previous(std::filesystem::current_path()),
          path(std::filesystem::temp_directory_path() /
               (prefix + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(path);
        std::filesystem::current_path(path);
    }
    ~WorkDirectory() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

    const std::filesystem::path& Path() const { return path; }

    // The whole content of a file in the folder.
    std::string Read(const std::string& leaf) const {
        std::ifstream in(path / leaf, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::filesystem::path previous;
    std::filesystem::path path;
};
