#pragma once

#include <QString>

namespace QKeychain {
class Job;
}

// The desktop's keyring (the Secret Service of GNOME Keyring or KWallet) through QtKeychain.
// Entries are named by a key the caller chooses; the keyring's own tool (Seahorse, KWallet
// Manager) lists each as "Orvane FTP: <key>", the name of the service it is filed under.
//
// Every call waits for the keyring's answer in a local event loop bounded by timeoutMs: a
// session bus with no Secret Service behind it, or a keyring that waits on a prompt nobody
// answers, ends as NoAnswer instead of holding the program. After one NoAnswer or
// Unavailable the store stops asking for the rest of its life, so a missing keyring costs the
// wait once.
class KeyringStore
{
public:
    enum class Status { Ok, NotFound, Unavailable, NoAnswer, Failed };
    struct Reply
    {
        Status status = Status::Failed;
        QString text;    // the password read
        QString problem; // why, when status is not Ok
    };

    explicit KeyringStore(int timeoutMs = 8000);

    static QString service(); // "Orvane FTP"
    // The service an entry is filed under, which is also the name the keyring's tool shows.
    static QString entryService(const QString &key);

    Reply read(const QString &key);
    Reply write(const QString &key, const QString &password);
    Reply remove(const QString &key);

    // True until a call found no keyring or had no answer in time.
    bool answers() const { return m_answers; }

private:
    Reply run(QKeychain::Job *job);
    static void release(QKeychain::Job *job, const Reply &reply);

    int m_timeoutMs;
    bool m_answers = true;
    QString m_downReason;
};
