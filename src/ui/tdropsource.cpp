#include "ui/tdropsource.h"

#include "platform/localpath.h"

#include <QPointer>
#include <QUrl>

namespace {
const QString UriList = QStringLiteral("text/uri-list");
}

tDropSource::tDropSource(const QStringList &files)
    : m_files(files)
{}

QStringList tDropSource::formats() const
{
    return {UriList};
}

bool tDropSource::hasFormat(const QString &mimeType) const
{
    return mimeType == UriList;
}

QVariant tDropSource::retrieveData(const QString &mimeType, QMetaType type) const
{
    Q_UNUSED(type);
    if (mimeType != UriList)
        return {};
    if (m_state == NotAsked && OnDropping) {
        m_state = Asking;
        // The platform may free the drag, and this object with it, while the files are being
        // received: the handler runs from a copy and this object is looked at only if alive.
        const std::function<bool()> dropping = OnDropping;
        const QPointer<const tDropSource> self(this);
        const bool accepted = dropping();
        if (!self)
            return {};
        m_state = accepted ? Given : Refused;
    }
    if (m_state == Asking || m_state == Refused)
        return {};
    // Qt turns the list into the text form when the other side wants bytes.
    QList<QVariant> urls;
    for (const QString &file : m_files) {
        QString native = LocalToNative(file);
        if (native.size() > 1 && native.endsWith(QLatin1Char('/')))
            native.chop(1);
        urls.append(QUrl::fromLocalFile(native));
    }
    return urls;
}
