#pragma once

#include "tasks/queuejournal.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QueueRecorder;
class TaskEngine;
class TForm1;

// The transfers the window's queue had not finished when the program last stopped, however it
// stopped. The queue is kept in a journal file next to the program's settings while the
// program runs; at start-up offer() asks whether to resume what an earlier run left, and on
// Yes connects with the same site and queues those transfers again once logged in (partial
// files are resumed as any download is). A journal that cannot be read is set aside with a
// word to the user. No password is ever written: a quick connection is kept as its address,
// a saved site by its name.
class UnfinishedWork : public QObject
{
    Q_OBJECT
public:
    UnfinishedWork(TForm1 &window,
                   TaskEngine &engine,
                   const QString &journalPath,
                   QObject *parent = nullptr);
    ~UnfinishedWork() override;

    QString journalPath() const { return m_journal.path(); }
    // At start-up, before anything is queued: deals with what an earlier run left and starts
    // keeping this run's queue. True when the user chose to resume and a connection began.
    bool offer();

    // Saved sites, for the front end that owns them: the name of the site the main session was
    // connected from (empty for a quick connection), and connecting with a site by name (false
    // when there is no such site any more).
    std::function<QString()> connectedSiteName;
    std::function<bool(const QString &name)> connectSite;

private:
    void loggedIn();
    QString siteIdentity() const;
    static QString siteCaption(const QString &identity);
    bool reconnect(const QString &identity);

    TForm1 &m_window;
    TaskEngine &m_engine;
    QueueJournal m_journal;
    std::unique_ptr<QueueRecorder> m_recorder;
    QList<QueueJournal::Transfer> m_resume; // queued again at the next login
};
