#include "platform/ScratchFile.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel {

ScratchFile::ScratchFile() {
    descriptor = ::memfd_create("qel-scratch", MFD_CLOEXEC);
    if (descriptor < 0) return;
    // The descriptor's entry in /proc opens the file itself by name.
    path = "/proc/self/fd/" + std::to_string(descriptor);
    struct stat seen {};
    if (::stat(path.c_str(), &seen) != 0) {
        ::close(descriptor);
        descriptor = -1;
        path.clear();
    }
}

ScratchFile::~ScratchFile() {
    if (descriptor >= 0) ::close(descriptor);
}

}  // namespace qel
