// vsftpd on 127.0.0.1, standalone in the foreground on a free port, its configuration and served
// folders in a private temporary folder. Anonymous sees anonymousRoot() as "/", read-only, with a
// writable "/upload"; the local user userName() is chrooted into userRoot(), read-write. Active
// and passive (answering 127.0.0.1) both work. Like a stock vsftpd it sends and stores TYPE A
// files unchanged unless "ascii_download_enable" / "ascii_upload_enable" are set. Needs root: it
// makes the system account "ovftptest" and the PAM service "orvane-ftptest".
#pragma once

#include "support/files.h"
#include "support/ftptestserver.h"

namespace ovtest {

class VsftpdServer : public FtpTestServer
{
public:
    enum class Tree {
        AnonymousRoot, // owned by root: anonymous downloads
        Upload,        // the anonymous upload folder, owned by the ftp user
        UserHome,      // the local user's home, owned by that user
    };

    VsftpdServer()
        : FtpTestServer(QStringLiteral("vsftpd"))
    {}

    // Before start(): a vsftpd option; it replaces the harness's value of the same name.
    void setOption(const QString &name, const QString &value)
    {
        m_options += name + u'=' + value + u'\n';
    }

    // Returns once a connection gets the 220 greeting.
    ::testing::AssertionResult start(int timeoutMs = 10000) override;

    static QString userName() { return QStringLiteral("ovftptest"); }
    static QString password() { return QStringLiteral("Orv4ne-ftp-test"); }
    QString loginUser() const override { return userName(); }
    QString loginPassword() const override { return password(); }

    QString anonymousRoot() const { return path(Tree::AnonymousRoot); }
    QString uploadFolder() const { return path(Tree::Upload); }
    // The native path of relativePath inside tree ("" = the tree itself).
    QString path(Tree tree, const QString &relativePath = QString()) const;

    // Makes a file (with its missing folders) or a folder inside tree, owned by the tree's owner;
    // its native path, or "" after failing the test.
    QString createFile(Tree tree, const QString &relativePath, const QByteArray &content) const;
    QString createFolder(Tree tree, const QString &relativePath) const;
    void createTree(Tree tree, const QString &folder, const FileTree &files) const;

    QString userRoot() const override { return path(Tree::UserHome); }
    QString createUserFile(const QString &relativePath, const QByteArray &content) override
    {
        return createFile(Tree::UserHome, relativePath, content);
    }
    QString createUserFolder(const QString &relativePath) override
    {
        return createFolder(Tree::UserHome, relativePath);
    }

    // Passwords appear as "PASS <password>".
    QStringList commands() const override;
    QString log() const override { return m_peer.log(QStringLiteral("vsftpd.log")); }

private:
    QString m_options;
};

} // namespace ovtest
