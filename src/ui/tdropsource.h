#pragma once

#include <QMimeData>
#include <QStringList>

#include <functional>

// The data a drag of this program offers: the dragged files as a list of local file URLs
// ("text/uri-list"), the only format it has.
//
// With an OnDropping handler the files do not exist yet (host items): the first time another
// application asks for the data, OnDropping runs (it receives the files and says whether they
// arrived) and the URLs are handed out only when it returned true; after false nothing is ever
// handed out. A question that comes while OnDropping still runs gets nothing. A drop on the
// program's own panes never asks for the data, so it never runs OnDropping.
class tDropSource : public QMimeData
{
    Q_OBJECT

public:
    // files: internal local paths (folders may end with "\").
    explicit tDropSource(const QStringList &files);

    QStringList files() const { return m_files; }
    std::function<bool()> OnDropping;

    // True once OnDropping has been asked (whatever it answered).
    bool dropAsked() const { return m_state != NotAsked; }

    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    enum State { NotAsked, Asking, Given, Refused };
    QStringList m_files;
    mutable State m_state = NotAsked;
};
