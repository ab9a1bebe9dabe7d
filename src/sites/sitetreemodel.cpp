#include "sites/sitetreemodel.h"

#include <QMimeData>

QString SiteTreeModel::mimeType()
{
    return QStringLiteral("application/x-orvane-site-node");
}

SiteTreeModel::SiteTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
{}

SiteTreeModel::~SiteTreeModel() = default;

void SiteTreeModel::setRoot(std::unique_ptr<SiteNode> root)
{
    beginResetModel();
    m_root = std::move(root);
    if (m_root)
        m_root->sortChildren();
    endResetModel();
}

SiteNode *SiteTreeModel::nodeAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<SiteNode *>(index.internalPointer());
}

QModelIndex SiteTreeModel::indexOf(const SiteNode *node) const
{
    if (!node || !m_root)
        return {};
    const SiteNode *up = node->parent();
    if (!up)
        return node == m_root.get() ? createIndex(0, 0, m_root.get()) : QModelIndex();
    return createIndex(up->indexOf(node), 0, const_cast<SiteNode *>(node));
}

QString SiteTreeModel::stripSeparators(const QString &name)
{
    QString result = name;
    result.remove(QLatin1Char('/'));
    result.remove(QLatin1Char('\\'));
    return result;
}

SiteTreeModel::NameCheck SiteTreeModel::checkName(const SiteNode *parent,
                                                  const QString &name,
                                                  const SiteNode *self)
{
    if (name.isEmpty())
        return NameCheck::Empty;
    const QString folded = name.toCaseFolded();
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        const SiteNode *child = parent->child(i);
        if (child != self && child->text().toCaseFolded() == folded)
            return NameCheck::Taken;
    }
    return NameCheck::Ok;
}

QString SiteTreeModel::uniqueName(const SiteNode *parent, const QString &name)
{
    QString candidate = name;
    for (int n = 2; checkName(parent, candidate) == NameCheck::Taken; ++n)
        candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
    return candidate;
}

SiteNode *SiteTreeModel::addFolder(SiteNode *parent, const QString &name)
{
    const QString text = stripSeparators(name);
    if (!parent || parent->isSite() || checkName(parent, text) != NameCheck::Ok)
        return nullptr;
    beginInsertRows(indexOf(parent), parent->childCount(), parent->childCount());
    SiteNode *node = parent->addFolder(text);
    endInsertRows();
    sortTree();
    return node;
}

SiteNode *SiteTreeModel::addSite(SiteNode *parent, const QString &name, const TSiteObject &site)
{
    const QString text = stripSeparators(name);
    if (!parent || parent->isSite() || checkName(parent, text) != NameCheck::Ok)
        return nullptr;
    beginInsertRows(indexOf(parent), parent->childCount(), parent->childCount());
    SiteNode *node = parent->addSite(text, site);
    endInsertRows();
    sortTree();
    return node;
}

bool SiteTreeModel::rename(SiteNode *node, const QString &name)
{
    const QString text = stripSeparators(name);
    if (!node || !node->parent() || checkName(node->parent(), text, node) != NameCheck::Ok)
        return false;
    node->setText(text);
    const QModelIndex at = indexOf(node);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole});
    sortTree();
    return true;
}

bool SiteTreeModel::remove(SiteNode *node)
{
    if (!node || !node->parent())
        return false;
    SiteNode *parent = node->parent();
    const int row = parent->indexOf(node);
    beginRemoveRows(indexOf(parent), row, row);
    parent->removeChild(row);
    endRemoveRows();
    return true;
}

bool SiteTreeModel::canMove(const SiteNode *dragged, const SiteNode *target)
{
    if (!dragged || !target || dragged == target || target->isSite() || !dragged->parent()
        || dragged->isAncestorOf(target))
        return false;
    // Back into its own folder: nothing moves, and its own name does not clash.
    return checkName(target, dragged->text(), dragged) == NameCheck::Ok;
}

bool SiteTreeModel::move(SiteNode *dragged, SiteNode *target)
{
    if (!canMove(dragged, target))
        return false;
    const QModelIndex from = indexOf(dragged->parent());
    const int row = dragged->parent()->indexOf(dragged);
    if (!beginMoveRows(from, row, row, indexOf(target), 0))
        return false;
    dragged->moveTo(target, 0);
    endMoveRows();
    sortTree();
    return true;
}

void SiteTreeModel::siteChanged(SiteNode *node)
{
    const QModelIndex at = indexOf(node);
    if (at.isValid())
        Q_EMIT dataChanged(at, at);
}

void SiteTreeModel::sortTree()
{
    if (!m_root)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<SiteNode *> nodes;
    nodes.reserve(before.size());
    for (const QModelIndex &index : before)
        nodes.append(nodeAt(index));
    m_root->sortChildren();
    QModelIndexList after;
    after.reserve(before.size());
    for (SiteNode *node : nodes)
        after.append(indexOf(node));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex SiteTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!m_root || column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, 0, m_root.get()) : QModelIndex();
    const SiteNode *up = nodeAt(parent);
    if (!up || row >= up->childCount())
        return {};
    return createIndex(row, 0, up->child(row));
}

QModelIndex SiteTreeModel::parent(const QModelIndex &child) const
{
    const SiteNode *node = nodeAt(child);
    return node ? indexOf(node->parent()) : QModelIndex();
}

int SiteTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!m_root)
        return 0;
    if (!parent.isValid())
        return 1;
    const SiteNode *node = nodeAt(parent);
    return node && parent.column() == 0 ? node->childCount() : 0;
}

int SiteTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant SiteTreeModel::data(const QModelIndex &index, int role) const
{
    const SiteNode *node = nodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->text();
    case KindRole:
        return int(node->kind());
    default:
        return {};
    }
}

Qt::ItemFlags SiteTreeModel::flags(const QModelIndex &index) const
{
    const SiteNode *node = nodeAt(index);
    if (!node)
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (node->parent())
        result |= Qt::ItemIsDragEnabled;
    if (!node->isSite())
        result |= Qt::ItemIsDropEnabled;
    return result;
}

QStringList SiteTreeModel::mimeTypes() const
{
    return {mimeType()};
}

QMimeData *SiteTreeModel::mimeData(const QModelIndexList &indexes) const
{
    // The drop takes the tree's selected node as the dragged one; the data only marks a drag
    // that began in a site tree.
    auto *data = new QMimeData;
    const SiteNode *node = indexes.isEmpty() ? nullptr : nodeAt(indexes.first());
    data->setData(mimeType(), node ? node->text().toUtf8() : QByteArray());
    return data;
}

Qt::DropActions SiteTreeModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions SiteTreeModel::supportedDropActions() const
{
    return Qt::MoveAction;
}
