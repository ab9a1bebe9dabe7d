#include "sites/sitenode.h"

#include <QCollator>

#include <algorithm>

SiteNode::SiteNode(Kind kind, const QString &text)
    : m_kind(kind)
    , m_text(text)
{}

std::unique_ptr<SiteNode> SiteNode::makeRoot(const QString &text)
{
    return std::unique_ptr<SiteNode>(new SiteNode(Kind::Root, text));
}

int SiteNode::indexOf(const SiteNode *node) const
{
    for (int i = 0; i < childCount(); ++i) {
        if (m_children[i].get() == node)
            return i;
    }
    return -1;
}

SiteNode *SiteNode::addFolder(const QString &text)
{
    return insertChild(childCount(), std::unique_ptr<SiteNode>(new SiteNode(Kind::Folder, text)));
}

SiteNode *SiteNode::addSite(const QString &text, const TSiteObject &site)
{
    std::unique_ptr<SiteNode> node(new SiteNode(Kind::Site, text));
    node->m_site = std::make_shared<TSiteObject>(site);
    return insertChild(childCount(), std::move(node));
}

SiteNode *SiteNode::insertChild(int index, std::unique_ptr<SiteNode> node)
{
    if (isSite() || !node)
        return nullptr;
    index = std::clamp(index, 0, childCount());
    node->m_parent = this;
    return m_children.insert(m_children.begin() + index, std::move(node))->get();
}

std::unique_ptr<SiteNode> SiteNode::takeChild(int index)
{
    std::unique_ptr<SiteNode> node = std::move(m_children.at(index));
    m_children.erase(m_children.begin() + index);
    node->m_parent = nullptr;
    return node;
}

void SiteNode::removeChild(int index)
{
    takeChild(index);
}

bool SiteNode::isAncestorOf(const SiteNode *node) const
{
    for (const SiteNode *up = node ? node->m_parent : nullptr; up; up = up->m_parent) {
        if (up == this)
            return true;
    }
    return false;
}

bool SiteNode::moveTo(SiteNode *target, int index)
{
    if (!target || !m_parent || target->isSite() || target == this || isAncestorOf(target))
        return false;
    SiteNode *oldParent = m_parent;
    const int oldIndex = oldParent->indexOf(this);
    if (oldParent == target && oldIndex < index)
        --index;
    target->insertChild(index, oldParent->takeChild(oldIndex));
    return true;
}

void SiteNode::sortChildren()
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(
            m_children.begin(),
            m_children.end(),
            [&collator](const std::unique_ptr<SiteNode> &a, const std::unique_ptr<SiteNode> &b) {
                if (a->isSite() != b->isSite())
                    return b->isSite();
                return collator.compare(a->m_text, b->m_text) < 0;
            });
    for (auto &child : m_children)
        child->sortChildren();
}
