#include "ui/fileicons.h"

#include <QApplication>
#include <QStyle>
#include <QThreadPool>

#include <mutex>

FileIcons::FileIcons(ExtensionCache &cache)
    : m_cache(cache)
{
    QStyle *style = QApplication::style();
    m_closedFolder = m_provider.icon(QFileIconProvider::Folder);
    if (m_closedFolder.isNull())
        m_closedFolder = style->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon open = QIcon::fromTheme(QStringLiteral("folder-open"),
                                        style->standardIcon(QStyle::SP_DirOpenIcon));
    for (const QSize &size : {QSize(16, 16), QSize(32, 32)}) {
        m_folderNode.addPixmap(m_closedFolder.pixmap(size), QIcon::Normal);
        m_folderNode.addPixmap(open.pixmap(size), QIcon::Selected);
    }
    m_desktop = m_provider.icon(QFileIconProvider::Desktop);
    if (m_desktop.isNull())
        m_desktop = style->standardIcon(QStyle::SP_DesktopIcon);
    m_computer = m_provider.icon(QFileIconProvider::Computer);
    if (m_computer.isNull())
        m_computer = style->standardIcon(QStyle::SP_ComputerIcon);
    m_network = m_provider.icon(QFileIconProvider::Network);
    if (m_network.isNull())
        m_network = style->standardIcon(QStyle::SP_DriveNetIcon);
    m_drive = m_provider.icon(QFileIconProvider::Drive);
    if (m_drive.isNull())
        m_drive = style->standardIcon(QStyle::SP_DriveHDIcon);
    m_cache.setTypeService([this](const QString &extension) { return lookUp(extension); });
    // The first name without a dot makes the table of what such names could be typed as, which
    // reads every type the system knows; made on a worker now, no list waits for it later.
    static std::once_flag prepared;
    std::call_once(prepared,
                   [] { QThreadPool::globalInstance()->start([] { ExtensionCache::prepare(); }); });
}

QIcon FileIcons::forFile(const QString &fileName)
{
    const int index = m_cache.lookup(fileName).IconIndex;
    return index >= 0 && index < m_icons.size() ? m_icons.at(index)
                                                : m_provider.icon(QFileIconProvider::File);
}

QString FileIcons::typeName(const QString &fileName)
{
    return m_cache.lookup(fileName).TypeName;
}

void FileIcons::describe(const QString &fileName, QString *typeName, QIcon *icon)
{
    const tExtBufObj found = m_cache.lookup(fileName);
    *typeName = found.TypeName;
    *icon = found.IconIndex >= 0 && found.IconIndex < m_icons.size()
                    ? m_icons.at(found.IconIndex)
                    : m_provider.icon(QFileIconProvider::File);
}

tExtBufObj FileIcons::lookUp(const QString &extension)
{
    tExtBufObj record = ExtensionCache::MimeTypeService(extension);
    // The themed icon of the extension's type, else the generic file icon.
    const QList<QMimeType> types
            = m_mimeDatabase.mimeTypesForFileName(QStringLiteral("x") + extension);
    const bool typed = !types.isEmpty() && !types.first().isDefault();
    const QString typeKey = typed ? types.first().name() : QString();
    const auto known = m_iconOfType.constFind(typeKey);
    if (known != m_iconOfType.cend()) {
        record.IconIndex = known.value();
        return record;
    }
    QIcon icon;
    if (typed) {
        icon = QIcon::fromTheme(types.first().iconName(),
                                QIcon::fromTheme(types.first().genericIconName()));
    }
    if (icon.isNull())
        icon = m_provider.icon(QFileIconProvider::File);
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    m_icons.append(icon);
    record.IconIndex = int(m_icons.size() - 1);
    m_iconOfType.insert(typeKey, record.IconIndex);
    return record;
}
