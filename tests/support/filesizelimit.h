// The largest file this process (or a child about to start) may write, for tests of what a
// program does when the disk takes no more: RLIMIT_FSIZE lowered, with SIGXFSZ ignored, so that
// a write beyond the limit fails with EFBIG ("File too large") instead of ending the process.
#pragma once

#include <QtGlobal>

#include <sys/resource.h>

namespace ovtest {

class FileSizeLimit
{
public:
    // Lowers the limit of this process until the object goes; the soft limit alone, so that the
    // old one can be restored. Start peer processes before: children inherit the limit.
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return m_active; }

    // The same for good, for the child side of a process about to start a program
    // (QProcess::setChildProcessModifier); uses only calls that are safe after fork.
    static void applyInChild(qint64 bytes);

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace ovtest
