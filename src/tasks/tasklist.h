#pragma once

#include <QString>

#include <memory>
#include <vector>

class TcFTP;

// The record of one running session.
struct tTaskListObj
{
    TcFTP *FTP = nullptr;
    // Took a "b*...*!delete" entry: once the session is idle again the buffered tree below
    // BufferRoot is turned into delete commands for the main session.
    bool DeleteAfterBuffer = false;
    // Took a "b*...*!download" entry: each folder listed while buffering queues its files.
    bool DownloadAfterBuffer = false;
    QString BufferRoot; // host folder at the top of the tree, internal folder form
    QString LocalRoot;  // local folder that receives the tree
    // Carrying out a "c*" entry: nothing queued behind it is handed out until it is done.
    bool CarryingCommand = false;
    // The session has been idle after login once: its going offline is a disconnection, not a
    // failure to connect.
    bool WasLoggedIn = false;
    // The engine operation the session's current work belongs to (0 for none).
    int operation = 0;
    // A transfer entry held back while the session finds out what it needs to know of an
    // existing target (the target folder's listing, the host's time of a file); carried on
    // when the session is idle again.
    QString PreparedEntry;
    // The user is asked what to do with an existing target (the question's number): the
    // session takes no new work until the answer comes.
    int AwaitingAnswer = 0;
    // The "d*" or "u*" queue entry the session is carrying out, for a retry; empty for none.
    QString QueueEntry;
    // The "b*" or "c*" queue entry the session is carrying out, until its work is over.
    QString HeldEntry;
};

// The running sessions in order. Entry 0 is the main session ("Main Task") and is never
// removed; task sessions are appended as "Connecting" and removed when they go offline. The
// position of a session is its task number, so later numbers shift down on a removal.
class TaskList
{
public:
    int count() const { return int(m_entries.size()); }
    tTaskListObj *append(const QString &name, TcFTP *session);
    void removeAt(int index);
    tTaskListObj *record(int index) const { return m_entries.at(index).record.get(); }
    TcFTP *session(int index) const { return m_entries.at(index).record->FTP; }
    QString name(int index) const { return m_entries.at(index).name; }
    // The first index whose record drives session, or -1.
    int IndexOfSession(const TcFTP *session) const;

private:
    struct Entry
    {
        QString name;
        std::unique_ptr<tTaskListObj> record;
    };
    std::vector<Entry> m_entries;
};
