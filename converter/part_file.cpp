#include "part_file.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "native_path.h"
#include "part_files.h"
#include "reasons.h"

namespace {

constexpr std::string_view PartPrefix = ".tunepress-";

// The part files open now, for an exit that does not wait for a stuck job. Never
// destroyed: such a job may still hold an entry as the program ends.
struct OpenParts {
    std::mutex lock;
    std::set<std::string> paths;
};
OpenParts& openParts() {
    static auto* parts = new OpenParts;
    return *parts;
}

// A signal that interrupts the wait is no reason to give up the lock.
int lockFolder(int descriptor, int operation) {
    int result = 0;
    do result = ::flock(descriptor, operation);
    while (result < 0 && errno == EINTR);
    return result;
}

}  // namespace

FolderLock::FolderLock(const QString& folder, Kind kind)
    : m_descriptor(::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    m_held = m_descriptor >= 0 && lockFolder(m_descriptor, kind == Shared ? LOCK_SH : LOCK_EX | LOCK_NB) == 0;
}

FolderLock::~FolderLock() {
    if (m_descriptor >= 0) ::close(m_descriptor);
}

// The folder is locked before the name is made, so that no other Tunepress ever sees the
// file without the lock. A folder that takes no lock (some network file systems) is
// written all the same: nothing there is ever removed as a leftover either.
PartFile::PartFile(const QString& target)
    : m_lock(QFileInfo(target).absolutePath(), FolderLock::Shared), m_target(target) {
    const QString folder = target.left(target.lastIndexOf(u'/') + 1);
    std::filesystem::path path;
    if (const int error = vortax::ClaimPartName(filesystemPath(folder), PartPrefix, path)) {
        m_error = reasonOf(error);
        return;
    }
    m_path = pathFromNative(QByteArrayView(path.native()));
    const std::lock_guard locker(openParts().lock);
    openParts().paths.insert(path.native());
}

PartFile::~PartFile() {
    if (m_path.isEmpty()) return;
    ::unlink(nativePath(m_path).constData());
    forget();
}

QString PartFile::complete() {
    const std::error_code error = vortax::CompletePart(filesystemPath(m_path), filesystemPath(m_target));
    if (error) return lowerFirst(QString::fromStdString(error.message()));
    forget();
    return {};
}

void PartFile::removeOpenFiles() {
    OpenParts& parts = openParts();
    const std::lock_guard locker(parts.lock);
    for (const std::string& path : parts.paths) ::unlink(path.c_str());
    parts.paths.clear();
}

void PartFile::forget() {
    const std::lock_guard locker(openParts().lock);
    openParts().paths.erase(nativePath(m_path).toStdString());
    m_path.clear();
}

int tryPartFile(const QString& folder) {
    std::filesystem::path probe;
    return vortax::ClaimPartName(filesystemPath(folder), PartPrefix, probe);
}

void removeLeftoverParts(const QString& folder) {
    const FolderLock alone(folder, FolderLock::Exclusive);
    if (!alone.held()) return;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(filesystemPath(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().native();
        std::error_code ignored;
        if (name.starts_with(PartPrefix) && name.ends_with(vortax::PartSuffix) && entry->is_regular_file(ignored))
            std::filesystem::remove(entry->path(), ignored);
    }
}
