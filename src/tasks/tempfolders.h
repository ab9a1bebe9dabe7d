#pragma once

#include <QString>

#include <functional>

// The program's temporary folders: a base folder "^ovFTP" in the system temporary folder, a
// session folder with a random number below it for this run, and inside that the drag-and-drop,
// open and view folders (created in that order, also with random numbers).
//
// Other local users share the system temporary folder, so every folder is created owner-only
// and a base folder that is a symbolic link, or not the user's own, is never used: a fresh
// private folder with a random name takes its place. Finding a free random name is tried a
// bounded number of times.
class TempFolders
{
public:
    static constexpr int DefaultAttempts = 200;

    // Creates the folders below systemTemp (a native path; empty = the system temporary
    // folder). False with errorString() when a folder cannot be made.
    bool create(const QString &systemTemp = QString(), int attempts = DefaultAttempts);
    // Replaces the random numbers that name the folders (for tests); each call gives one.
    void setNameSource(std::function<quint32()> source) { m_nameSource = std::move(source); }
    // Deletes the session folder with everything in it, never following a symbolic link (a link
    // goes as a link, its target stays); the base folder stays. False with errorString() naming
    // what could not be removed.
    bool removeSessionFolder();

    // Internal local forms, each ending in "\".
    QString base() const { return m_base; }
    QString session() const { return m_session; }
    QString dragDrop() const { return m_dragDrop; }
    QString open() const { return m_open; }
    QString view() const { return m_view; }

    QString errorString() const { return m_error; }
    // Set when the usual base folder was refused and a fresh one is used: says why.
    QString notice() const { return m_notice; }

private:
    bool ensureBase(const QString &systemTemp);
    // Creates a private folder with a random decimal name below parent; empty on failure.
    QString makeNumberedFolder(const QString &nativeParent, int attempts);

    QString m_base, m_session, m_dragDrop, m_open, m_view;
    QString m_nativeBase, m_nativeSession;
    QString m_error, m_notice;
    std::function<quint32()> m_nameSource;
};
