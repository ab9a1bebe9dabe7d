#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

// The file that keeps the transfers of the window's queue across a crash, a kill or an exit
// with work left: one site and the transfers to it that have not ended.
//
// The file is a header line and then records, one a line, each "<crc> <fields>" where crc is
// the CRC-16 (4 hex digits) of the fields' UTF-8 bytes:
//   ORVANE-QUEUE-JOURNAL 1
//   site*<site identity>                       the site the transfers go to or come from
//   add*<id>*<d|u>*<size>*<host path>*<local path>
//   add*<id>*t*-1*<host folder>*<local folder> a tree to download, not yet listed whole
//   add*<id>*m*-1*<host folder>*               a host folder to make before what goes in it
//   end*<id>                                   the transfer ended or left the queue
// Changes are appended, so a change costs one short write; once most of the file is dead
// weight a new file holding only the live transfers is written and renamed over the old one.
// Appends are gathered during one turn of the event loop and written at its end, so a crash or
// a kill loses nothing the program had seen happen. The disk is asked to keep them (fsync) every
// five seconds at most, off the event loop (a power cut may then offer a few finished transfers
// again), and always before a new file takes an old one's place and when the journal closes.
class QueueJournal : public QObject
{
    Q_OBJECT
public:
    struct Transfer
    {
        enum Kind { File, Tree, Folder };
        bool download = true; // a tree is downloaded, a folder made for an upload
        qint64 size = -1;     // -1: not known
        QString hostPath;     // internal folder form
        QString localPath;    // internal local form; empty for a folder
        Kind kind = File;
        friend bool operator==(const Transfer &, const Transfer &) = default;
    };

    // What a journal file held.
    struct Contents
    {
        enum State { Missing, Readable, Damaged };
        State state = Missing;
        QString problem; // Damaged: what is wrong, in a few words
        QString site;
        QList<Transfer> transfers; // in the order they were queued
    };

    explicit QueueJournal(const QString &path, QObject *parent = nullptr);
    ~QueueJournal() override;

    QString path() const { return m_path; }
    // Reads a journal file; a cut-off last line (an append the program did not finish) is left
    // out, anything else unreadable makes the file Damaged.
    static Contents read(const QString &path);
    // Renames a damaged file aside ("<name>.damaged", then ".damaged-2"...); returns the new
    // path, or empty when even that failed.
    static QString setAside(const QString &path);

    // The site the following transfers belong to. A change of site starts a new file.
    void setSite(const QString &site);
    int add(const Transfer &transfer); // returns the transfer's id
    void end(int id);
    // Every transfer has ended or left: the file goes.
    void endAll();
    int liveCount() const { return int(m_live.size()); }
    // Writes what is gathered now (and keeps it on disk when sync is set).
    void flush(bool sync = false);
    // The error of the last write that failed, or empty.
    QString errorString() const { return m_error; }

private:
    void append(const QString &fields);
    void compact();
    bool openForAppend();
    void closeFile(bool sync);

    QString m_path;
    QString m_site;
    bool m_siteWritten = false;
    int m_nextId = 1;
    QHash<int, Transfer> m_live;
    QList<int> m_order; // ids in the order they were added (ended ones are dropped lazily)
    QByteArray m_pending;
    int m_fd = -1;
    qint64 m_records = 0; // records in the file as it stands
    bool m_unsynced = false;
    QTimer m_writeTimer;
    QTimer m_syncTimer;
    std::shared_ptr<std::atomic<bool>> m_syncing = std::make_shared<std::atomic<bool>>(false);
    QString m_error;
};
