#include "support/filesizelimit.h"

#include <csignal>

namespace ovtest {

FileSizeLimit::FileSizeLimit(qint64 bytes)
    : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
{
    m_active = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0 && applyInChild(bytes);
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_active)
        ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}

bool FileSizeLimit::applyInChild(qint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    limit.rlim_cur = rlim_t(bytes);
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

} // namespace ovtest
