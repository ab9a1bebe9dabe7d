#pragma once

#include "sites/tsiteobject.h"
#include "util/pathforms.h"

#include <QString>

#include <memory>
#include <vector>

// A node of the site tree: the one root, folders, and sites that carry a TSiteObject.
// Each node owns its children; a site holds no children. The Site manager window shows this
// tree; the site store reads and writes it.
class SiteNode : public PathNode
{
public:
    enum class Kind { Root, Folder, Site };

    static std::unique_ptr<SiteNode> makeRoot(const QString &text);

    Kind kind() const { return m_kind; }
    bool isSite() const { return m_kind == Kind::Site; }
    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    SiteNode *parent() const { return m_parent; }

    // The site record of a site node; nullptr for the root and folders.
    TSiteObject *site() { return m_site.get(); }
    const TSiteObject *site() const { return m_site.get(); }
    // The same record shared: whoever keeps it (the session connected from the site) can go on
    // using it after the node was deleted; it is freed when the last holder lets go.
    std::shared_ptr<TSiteObject> sharedSite() const { return m_site; }

    int childCount() const { return int(m_children.size()); }
    SiteNode *child(int index) const { return m_children.at(index).get(); }
    int indexOf(const SiteNode *node) const;

    // Appends a child; nullptr when this node is a site.
    SiteNode *addFolder(const QString &text);
    SiteNode *addSite(const QString &text, const TSiteObject &site = TSiteObject());
    // Inserts a detached node at index (clamped); nullptr when this node is a site.
    SiteNode *insertChild(int index, std::unique_ptr<SiteNode> node);
    std::unique_ptr<SiteNode> takeChild(int index);
    void removeChild(int index);

    // True when node lies below this one (not for the node itself).
    bool isAncestorOf(const SiteNode *node) const;
    // Moves this node with its subtree to be child index of target. Refused (false, nothing
    // changes) for the root, a site target, the node itself or one of its own descendants.
    bool moveTo(SiteNode *target, int index);

    // The Site manager's order at every level: non-sites before sites, each group by text,
    // case-insensitively in the user's locale.
    void sortChildren();

    QString pathCaption() const override { return m_text; }
    const PathNode *pathParent() const override { return m_parent; }

private:
    SiteNode(Kind kind, const QString &text);

    Kind m_kind;
    QString m_text;
    SiteNode *m_parent = nullptr;
    std::shared_ptr<TSiteObject> m_site;
    std::vector<std::unique_ptr<SiteNode>> m_children;
};
