#include "support/filesizelimit.h"

#include <csignal>

namespace ovtest {

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
        return;
    rlimit lowered = m_old;
    lowered.rlim_cur = rlim_t(bytes);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    m_active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    if (!m_active)
        std::signal(SIGXFSZ, m_oldHandler);
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_active)
        return;
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}

void FileSizeLimit::applyInChild(qint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace ovtest
