#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel {

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat about {};
    void* at = MAP_FAILED;
    if (fstat(fd, &about) == 0 && S_ISREG(about.st_mode) && about.st_size > 0)
        at = mmap(nullptr, std::size_t(about.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    // The mapping keeps the file's pages; the descriptor is not needed for it.
    close(fd);
    if (at == MAP_FAILED) return nullptr;
    return std::unique_ptr<MappedFile>(
        new MappedFile(static_cast<const std::uint8_t*>(at), std::size_t(about.st_size)));
}

MappedFile::~MappedFile() { munmap(const_cast<std::uint8_t*>(data_), size_); }

}  // namespace qel
