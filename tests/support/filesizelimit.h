// The largest file this process (or a child about to start) may write, for tests of a full disk:
// RLIMIT_FSIZE lowered with SIGXFSZ ignored, so that a write beyond it fails with EFBIG.
#pragma once

#include <QtGlobal>

#include <sys/resource.h>

namespace ovtest {

class FileSizeLimit
{
public:
    // Until the object goes (the soft limit alone); children started meanwhile inherit it.
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return m_active; }

    // For good, in a child between fork and exec (QProcess::setChildProcessModifier).
    static bool applyInChild(qint64 bytes);

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace ovtest
