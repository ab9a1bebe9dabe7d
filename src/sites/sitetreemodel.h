#pragma once

#include "sites/sitenode.h"

#include <QAbstractItemModel>

#include <memory>

// The saved-site tree as an item model: one top-level row, the root node ("Site Manager"),
// with folders and sites below it. Every change goes through the functions below, which keep
// the tree in the Site manager's order after the change (folders before sites at every level,
// each group by name, case-insensitively) while views keep their selection and expanded nodes.
//
// Names: a folder or site name never holds "/" or "\" (they are removed), is never empty, and
// never equals the name of another entry of the same folder apart from case: in the store such
// two entries would share one key and one of them would be lost. Functions that take a name
// refuse one that breaks these rules and change nothing.
//
// The model holds no icons (the library links no GUI module); a view tells the node kinds
// apart by KindRole.
class SiteTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    static constexpr int KindRole = Qt::UserRole + 1; // SiteNode::Kind as int
    static QString mimeType();

    enum class NameCheck { Ok, Empty, Taken };

    explicit SiteTreeModel(QObject *parent = nullptr);
    ~SiteTreeModel() override;

    // Takes the tree (the store's order) and sorts it.
    void setRoot(std::unique_ptr<SiteNode> root);
    SiteNode *root() const { return m_root.get(); }

    SiteNode *nodeAt(const QModelIndex &index) const;
    QModelIndex indexOf(const SiteNode *node) const;

    // The name with every "/" and "\" removed.
    static QString stripSeparators(const QString &name);
    // Whether name (already stripped) may be given to a child of parent; self is the node
    // being renamed, whose own name does not count.
    static NameCheck checkName(const SiteNode *parent,
                               const QString &name,
                               const SiteNode *self = nullptr);
    // name, or name + " (2)", " (3)" ... whichever no other child of parent holds.
    static QString uniqueName(const SiteNode *parent, const QString &name);

    // Add a child under a folder or the root; nullptr (nothing added) when parent is a site or
    // the stripped name fails checkName.
    SiteNode *addFolder(SiteNode *parent, const QString &name);
    SiteNode *addSite(SiteNode *parent, const QString &name, const TSiteObject &site = {});
    // Renames a folder or site to the stripped name; false (unchanged) when it fails checkName.
    bool rename(SiteNode *node, const QString &name);
    // Deletes the node with its subtree (not the root). Site records others still share stay
    // alive with them (see SiteNode::sharedSite).
    bool remove(SiteNode *node);
    // Whether dragged may be dropped into target: both exist and differ, target is not a site
    // nor below dragged, dragged is not the root, and target holds no other entry of the same
    // name.
    static bool canMove(const SiteNode *dragged, const SiteNode *target);
    // Moves dragged with its subtree into target when canMove allows it.
    bool move(SiteNode *dragged, SiteNode *target);
    // Tells views that a site's record changed.
    void siteChanged(SiteNode *node);
    // Re-establishes the order at every level.
    void sortTree();

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

private:
    std::unique_ptr<SiteNode> m_root;
};
