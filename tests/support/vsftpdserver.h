// vsftpd on 127.0.0.1 for protocol tests: standalone, in the foreground, on free ports, its
// configuration and served folders in a private temporary folder. Anonymous ("anonymous" or
// "ftp", any password) sees anonymousRoot() as "/", read-only (vsftpd refuses a writable
// anonymous root), and "/upload" (uploadFolder()) takes uploads, new folders, renames and
// deletes; the local user userName()/password() is chrooted into userRoot(), read-write.
// Active (PORT, from an unprivileged port) and passive (PASV/EPSV, answers 127.0.0.1) both work.
// Like a stock vsftpd it sends and stores ASCII-mode (TYPE A) files unchanged;
// setOption("ascii_download_enable", "YES") and "ascii_upload_enable" turn on line-end conversion
// (pyftpdlib always converts LF to CR LF on ASCII downloads). Needs root: it creates the system
// account "ovftptest" (no login shell) and the PAM service "orvane-ftptest" once, and resets the
// account's password.
#pragma once

#include "support/files.h"
#include "support/ftptestserver.h"

namespace ovtest {

class VsftpdServer : public FtpTestServer
{
public:
    enum class Tree {
        AnonymousRoot, // owned by root; files here can be downloaded anonymously
        Upload,        // the anonymous upload folder, owned by the ftp user
        UserHome,      // the local user's home, owned by that user
    };

    VsftpdServer()
        : FtpTestServer(QStringLiteral("vsftpd"))
    {}

    // Sets a vsftpd option before start() ("ftpd_banner", "idle_session_timeout", ...); it
    // replaces the harness's value of the same name (vsftpd takes an option's last line).
    void setOption(const QString &name, const QString &value)
    {
        m_options += name + u'=' + value + u'\n';
    }

    // Returns once a connection gets the 220 greeting.
    ::testing::AssertionResult start(int timeoutMs = 10000) override;

    static QString userName();
    static QString password();
    QString loginUser() const override { return userName(); }
    QString loginPassword() const override { return password(); }

    QString anonymousRoot() const { return path(Tree::AnonymousRoot); }
    QString uploadFolder() const { return path(Tree::Upload); }
    // The native path of relativePath inside tree ("" = the tree itself).
    QString path(Tree tree, const QString &relativePath = QString()) const;

    // Creates a file (and missing parent folders) inside tree, owned by the tree's owner and
    // readable by everyone; returns its native path. Fails the test and returns "" when the
    // file cannot be written.
    QString createFile(Tree tree, const QString &relativePath, const QByteArray &content) const;
    QString createFolder(Tree tree, const QString &relativePath) const;
    // Every file of files below folder inside tree.
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
    ::testing::AssertionResult waitUntilReady(int timeoutMs);

    QString m_options;
};

} // namespace ovtest
