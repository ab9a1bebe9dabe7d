#include "support/ftptestserver.h"

#include "support/pyftpdlibserver.h"
#include "support/vsftpdserver.h"

namespace ovtest {

std::unique_ptr<FtpTestServer> FtpTestServer::create(Kind kind)
{
    if (kind == Kind::Vsftpd)
        return std::make_unique<VsftpdServer>();
    return std::make_unique<PyftpdlibServer>();
}

std::string FtpTestServer::testName(const ::testing::TestParamInfo<Kind> &info)
{
    return info.param == Kind::Vsftpd ? "Vsftpd" : "Pyftpdlib";
}

QString FtpTestServer::userPath(const QString &relativePath) const
{
    return relativePath.isEmpty() ? userRoot() : userRoot() + u'/' + relativePath;
}

} // namespace ovtest
