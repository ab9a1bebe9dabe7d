// vsftpd on 127.0.0.1 for protocol tests: standalone, in the foreground, on free ports, its
// configuration and served folders in a private temporary folder.
//
//     VsftpdServer vsftpd;
//     ASSERT_TRUE(vsftpd.start());
//     vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/a.txt", "hello");
//     ... connect to 127.0.0.1:vsftpd.port() ...
//
// Served trees:
//   anonymous ("anonymous" or "ftp", any password): anonymousRoot() is "/", read-only
//   (vsftpd refuses a writable anonymous root); "/upload" (uploadFolder()) takes uploads,
//   new folders, renames and deletes.
//   the local user userName()/password(): chrooted into userHome(), which it sees as "/",
//   read-write.
// Active (PORT, vsftpd connects from an unprivileged port) and passive (PASV/EPSV, answers
// 127.0.0.1) both work. Like a stock vsftpd it sends and stores ASCII-mode (TYPE A) files
// unchanged; setOption("ascii_download_enable", "YES") and "ascii_upload_enable" turn on
// line-end conversion (pyftpdlib always converts LF to CR LF on ASCII downloads). Needs root: it
// creates the system account "ovftptest" (no login shell) and the PAM service "orvane-ftptest"
// once, and resets the account's password.
#pragma once

#include "support/files.h"
#include "support/ftptestserver.h"
#include "support/peerprocess.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace ovtest {

class VsftpdServer : public FtpTestServer
{
public:
    enum class Tree {
        AnonymousRoot, // owned by root; files here can be downloaded anonymously
        Upload,        // the anonymous upload folder, owned by the ftp user
        UserHome,      // the local user's home, owned by that user
    };

    VsftpdServer();
    ~VsftpdServer() override;
    VsftpdServer(const VsftpdServer &) = delete;
    VsftpdServer &operator=(const VsftpdServer &) = delete;

    // Sets a vsftpd option before start() ("ftpd_banner", "idle_session_timeout", ...);
    // it replaces the harness's value of the same name.
    void setOption(const QString &name, const QString &value);

    // Writes the configuration and starts vsftpd; returns once a connection gets the 220
    // greeting, or a failure with vsftpd's output and log when that does not happen within
    // timeoutMs. Use as ASSERT_TRUE(server.start()).
    ::testing::AssertionResult start(int timeoutMs = 10000) override;
    void stop() override;

    quint16 port() const override { return m_port; }

    static QString userName();
    static QString password();
    QString loginUser() const override { return userName(); }
    QString loginPassword() const override { return password(); }

    QString anonymousRoot() const;
    QString uploadFolder() const;
    QString userHome() const;
    QString folder() const; // the temporary folder holding everything

    // The native path of relativePath inside tree ("" = the tree itself).
    QString path(Tree tree, const QString &relativePath = QString()) const;

    // Creates a file (and missing parent folders) inside tree, owned by the tree's owner and
    // readable by everyone; returns its native path. Fails the test and returns "" when the
    // file cannot be written.
    QString createFile(Tree tree, const QString &relativePath, const QByteArray &content) const;
    QString createFolder(Tree tree, const QString &relativePath) const;
    // Every file of files below folder inside tree.
    void createTree(Tree tree, const QString &folder, const FileTree &files) const;

    // The local user's side: userHome() and files owned by that user.
    QString userRoot() const override { return userHome(); }
    QString createUserFile(const QString &relativePath, const QByteArray &content) override;
    QString createUserFolder(const QString &relativePath) override;

    // The command lines vsftpd received on every control connection, in order, as its log
    // shows them ("RETR /pub/a.txt"; passwords appear as "PASS <password>").
    QStringList commands() const override;

    // vsftpd's log (every command and reply, and transfers) and its own output, for messages.
    QString log() const override;

private:
    bool writeConfig(QString *error) const;
    ::testing::AssertionResult waitUntilReady(int timeoutMs);

    std::unique_ptr<QTemporaryDir> m_dir;
    PeerProcess m_process;
    QMap<QString, QString> m_extraOptions;
    quint16 m_port = 0;
    quint16 m_passiveFirst = 0;
    quint16 m_passiveLast = 0;
};

} // namespace ovtest
