#pragma once

#include <QString>

// Path forms. Folder paths always end with their separator.
//   1 backslash form  \pub\gnu\    (internal form of host folders, and local paths)
//   2 slash form      /pub/gnu/    (what is sent to hosts; any value other than 1 and 3)
//   3 bracket form    [pub.gnu]    (hosts that answer in that form)
enum PathForm { BackslashForm = 1, SlashForm = 2, BracketForm = 3 };

// Normalises a local or host path into the given form.
QString ConvertPath(const QString &path, int form);
// The name without \ / : * ? " < > |
QString StripIllegalChars(const QString &name);
// True when the local folder (internal local form, see platform/localpath.h) exists.
bool FolderExists(const QString &path);

// The little a tree node must offer so that NodePath can walk it without a tree widget.
class PathNode
{
public:
    virtual ~PathNode() = default;
    virtual QString pathCaption() const = 0;
    virtual const PathNode *pathParent() const = 0;
};

// Each caption from the node up to the root followed by sep: "C:\Windows\" for Windows under C:.
QString NodePath(const PathNode *node, QChar sep);
