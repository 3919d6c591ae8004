#include "platform/Paths.h"

namespace qel {

std::string NativePath(const char* windowsPath) {
    std::string out;
    if (!windowsPath) return out;
    for (const char* p = windowsPath; *p; ++p) {
        char c = (*p == '\\') ? '/' : *p;
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    return out;
}

}  // namespace qel
