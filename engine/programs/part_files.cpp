#include "part_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace vortax {

int ClaimPartName(const std::filesystem::path& folder, std::string_view prefix, std::filesystem::path& path,
                  const std::function<void(const std::filesystem::path&)>& naming) {
    static std::atomic<unsigned> made{0};
    while (true) {
        std::string name(prefix);
        name += std::to_string(::getpid()) + '-' + std::to_string(made++);
        name += PartSuffix;
        path = folder / name;
        if (naming) naming(path);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0) {
            ::close(file);
            ::unlink(path.c_str());
            return 0;
        }
        // Only a name that is taken, left by an earlier process of this number, is worth another try.
        if (errno != EEXIST) return errno;
    }
}

std::error_code CompletePart(const std::filesystem::path& part, const std::filesystem::path& target) {
    std::error_code error;
    std::filesystem::rename(part, target, error);
    return error;
}

}  // namespace vortax
