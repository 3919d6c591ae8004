#include "platform/Process.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qel {

std::string CurrentDirectory() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::current_path(error);
    return error ? std::string() : path.string();
}

void EndProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace qel
