#include "runtime/WholeFile.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/File.h"
#include "platform/Paths.h"
#include "platform/Resources.h"

namespace {

std::string TemporaryBeside(const std::string& path) { return path + ".part"; }

bool CanCreate(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

// The temporary file takes the place of the target, or goes away.
bool Replace(const std::string& temporary, const std::string& target, bool written) {
    std::error_code error;
    if (written) std::filesystem::rename(temporary, target, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace

bool CanOpenForReading(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    if (qel::FindProgramResource("RCDATA", name) != nullptr) return true;
    const std::string path = qel::NativePath(name);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

bool WriteWholeFile(const char* name, const std::function<void(File&)>& write) {
    if (name == nullptr || name[0] == '\0') return false;
    const std::string target = qel::NativePath(name);
    const std::string temporary = TemporaryBeside(target);
    // File ends the program on a file it cannot open: try first.
    if (!CanCreate(temporary)) return false;
    bool written = false;
    {
        File file(temporary.c_str(), File::Writing);
        write(file);
        written = file.Close();
    }
    return Replace(temporary, target, written);
}

bool CopyWholeFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return false;
    const std::string source = qel::NativePath(from);
    const std::string target = qel::NativePath(to);
    const std::string temporary = TemporaryBeside(target);
    std::error_code error;
    if (!std::filesystem::is_regular_file(source, error)) return false;
    const bool copied =
        std::filesystem::copy_file(source, temporary, std::filesystem::copy_options::overwrite_existing, error);
    return Replace(temporary, target, copied && !error);
}

void RemoveFile(const char* name) {
    if (name == nullptr) return;
    std::error_code error;
    std::filesystem::remove(qel::NativePath(name), error);
}
