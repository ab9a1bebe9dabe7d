#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QMimeDatabase>

#include "tasks/extensioncache.h"

// The icons of the file lists and folder trees: the fixed ones (closed and open folder,
// Desktop, computer, network, drive) and one per file type. It installs itself as the
// extension cache's type service, so that an extension's type name and icon are looked up
// together; the cache records the icon's index in this object's list, and extensions of one
// type share that type's icon.
class FileIcons
{
public:
    explicit FileIcons(ExtensionCache &cache);
    FileIcons(const FileIcons &) = delete;
    FileIcons &operator=(const FileIcons &) = delete;

    QIcon closedFolder() const { return m_closedFolder; }
    // Closed folder normally, open folder when selected (for tree nodes).
    QIcon folderNode() const { return m_folderNode; }
    QIcon desktop() const { return m_desktop; }
    QIcon computer() const { return m_computer; }
    QIcon network() const { return m_network; }
    QIcon drive() const { return m_drive; }
    // The icon for a file name's extension, looked up on first use only.
    QIcon forFile(const QString &fileName);
    // The type name of a file name's extension ("XYZ File" when the system knows none).
    QString typeName(const QString &fileName);
    // The type name and icon of a file name, from one look-up.
    void describe(const QString &fileName, QString *typeName, QIcon *icon);
    // Icons fetched so far, one per type.
    int count() const { return m_icons.size(); }

private:
    tExtBufObj lookUp(const QString &extension);

    ExtensionCache &m_cache;
    QFileIconProvider m_provider;
    QMimeDatabase m_mimeDatabase;
    QList<QIcon> m_icons;
    QHash<QString, int> m_iconOfType; // MIME type name ("" for none) -> index in m_icons
    QIcon m_closedFolder;
    QIcon m_folderNode;
    QIcon m_desktop;
    QIcon m_computer;
    QIcon m_network;
    QIcon m_drive;
};
