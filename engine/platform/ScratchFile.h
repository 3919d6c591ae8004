// A nameable file that lives in memory only: it needs no writable folder and
// no free disk space, and it is gone when the object goes.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

class QEL_API ScratchFile {
public:
    ScratchFile();
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // False when the system gives no such file; the path is then empty.
    bool Made() const { return descriptor >= 0; }
    // A name that opens this file (writing truncates it), while it lives.
    const std::string& Path() const { return path; }

private:
    int descriptor = -1;
    std::string path;
};

}  // namespace qel
