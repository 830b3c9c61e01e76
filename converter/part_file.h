// A WAV file while a job writes it, and the part files that a run which could not clean up
// after itself (killed, crashed, the power gone) left in a folder.
#pragma once

#include <QString>

// A lock on a folder, shared by every writer of part files there for as long as its file
// exists and taken alone by removeLeftoverParts: a part file in a folder that nobody else
// holds belongs to no running Tunepress. The system lets go of a process's locks as it
// ends, however it ends.
class FolderLock {
public:
    enum Kind {
        Shared,     // waits while the folder is held alone
        Exclusive,  // gives up at once while anyone holds the folder
    };

    FolderLock(const QString& folder, Kind kind);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return m_held; }

private:
    int m_descriptor = -1;
    bool m_held = false;
};

// A WAV file while it is written: a file of its own in the WAV file's folder, under a short
// name (".tunepress-PID-N.part") that fits wherever the WAV name does, which takes the WAV
// file's place only once complete. Until then a WAV file of an earlier run stays as it was;
// a file that is never completed goes away with this object.
class PartFile {
public:
    explicit PartFile(const QString& target);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Empty when the file could not be created; error() then says why.
    const QString& path() const { return m_path; }
    const QString& error() const { return m_error; }

    // Renames the file over the target in one step; returns what went wrong, or nothing.
    QString complete();

    // Removes the part files not completed nor removed yet, for an exit that does not wait
    // for the jobs writing them (one stuck in its input).
    static void removeOpenFiles();

private:
    void forget();

    FolderLock m_lock;
    QString m_target;
    QString m_path;
    QString m_error;
};

// Makes a part file in `folder` and removes it again, as a job would make one: 0, or the
// errno that stops it.
int tryPartFile(const QString& folder);

// Removes the part files in `folder` that no running Tunepress is writing. While another
// Tunepress writes there, every part file stays: a later run removes those left.
void removeLeftoverParts(const QString& folder);
