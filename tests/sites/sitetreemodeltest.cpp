#include "sites/sitetreemodel.h"
#include "support/qtprinters.h"

#include <QPersistentModelIndex>
#include <gtest/gtest.h>

namespace {
// Each level's children as "f:name" / "s:name", depth-first, indented by level.
void outline(const SiteNode *node, int depth, QStringList *lines)
{
    for (int i = 0; i < node->childCount(); ++i) {
        const SiteNode *child = node->child(i);
        lines->append(QString(depth * 2, QLatin1Char(' ')) + (child->isSite() ? "s:" : "f:")
                      + child->text());
        outline(child, depth + 1, lines);
    }
}

struct SiteTreeModelTest : ::testing::Test
{
    void SetUp() override { model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager"))); }
    QStringList outline() const
    {
        QStringList lines;
        ::outline(model.root(), 0, &lines);
        return lines;
    }
    SiteTreeModel model;
    SiteNode *root = nullptr;
};
} // namespace

TEST_F(SiteTreeModelTest, FoldersFirstThenSitesByNameAfterEachChange)
{
    root = model.root();
    SiteNode *zeta = model.addSite(root, QStringLiteral("zeta"));
    SiteNode *alpha = model.addSite(root, QStringLiteral("Alpha"));
    SiteNode *work = model.addFolder(root, QStringLiteral("work"));
    SiteNode *beta = model.addFolder(root, QStringLiteral("Beta"));
    model.addSite(work, QStringLiteral("b-site"));
    model.addFolder(work, QStringLiteral("Z-folder"));
    model.addSite(work, QStringLiteral("A-site"));
    // clang-format off
    EXPECT_EQ(outline(),
              (QStringList{"f:Beta", "f:work", "  f:Z-folder", "  s:A-site", "  s:b-site",
              "s:Alpha", "s:zeta"}));
    // clang-format on
    ASSERT_TRUE(model.rename(beta, QStringLiteral("zz")));
    ASSERT_TRUE(model.move(alpha, work->child(0)));
    ASSERT_TRUE(model.move(zeta, work));
    // clang-format off
    EXPECT_EQ(outline(),
              (QStringList{"f:work", "  f:Z-folder", "    s:Alpha", "  s:A-site", "  s:b-site",
              "  s:zeta", "f:zz"}));
    // clang-format on

    // Rows follow the tree; the root is neither dragged nor a site dropped onto.
    const QModelIndex top = model.index(0, 0);
    EXPECT_EQ(model.nodeAt(top), root);
    EXPECT_EQ(model.rowCount(top), 2);
    EXPECT_EQ(model.index(1, 0, top).data().toString(), QStringLiteral("zz"));
    EXPECT_EQ(model.parent(model.indexOf(work)), top);
    EXPECT_FALSE(model.flags(top).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_TRUE(model.flags(model.indexOf(work)).testFlag(Qt::ItemIsDropEnabled));
    EXPECT_FALSE(model.flags(model.indexOf(alpha)).testFlag(Qt::ItemIsDropEnabled));
}

TEST_F(SiteTreeModelTest, NamesAreStrippedAndClashesRefused)
{
    root = model.root();
    EXPECT_EQ(SiteTreeModel::checkName(root, QString()), SiteTreeModel::NameCheck::Empty);
    SiteNode *folder = model.addFolder(root, QStringLiteral("a/b\\c"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->text(), QStringLiteral("abc"));
    EXPECT_EQ(model.addFolder(root, QStringLiteral("//\\")), nullptr);
    EXPECT_EQ(model.addSite(root, QStringLiteral("ABC")), nullptr); // a folder holds the name
    EXPECT_EQ(SiteTreeModel::checkName(root, QStringLiteral("ABC"), folder),
              SiteTreeModel::NameCheck::Ok);
    EXPECT_EQ(SiteTreeModel::uniqueName(root, QStringLiteral("abc")), QStringLiteral("abc (2)"));
    model.addSite(root, QStringLiteral("ABC (2)"));
    EXPECT_EQ(SiteTreeModel::uniqueName(root, QStringLiteral("abc")), QStringLiteral("abc (3)"));

    SiteNode *site = model.addSite(folder, QStringLiteral("Mirror"));
    SiteNode *other = model.addSite(folder, QStringLiteral("Other"));
    EXPECT_FALSE(model.rename(other, QStringLiteral("mirror")));
    EXPECT_FALSE(model.rename(other, QStringLiteral("/\\/")));
    EXPECT_EQ(other->text(), QStringLiteral("Other"));
    EXPECT_TRUE(model.rename(site, QStringLiteral("MIRROR")));
    EXPECT_FALSE(model.rename(root, QStringLiteral("Top")));
    EXPECT_EQ(model.addFolder(site, QStringLiteral("inside a site")), nullptr);
}

TEST_F(SiteTreeModelTest, MovesStayOutOfTheirOwnSubtreeAndAwayFromClashes)
{
    root = model.root();
    SiteNode *a = model.addFolder(root, QStringLiteral("A"));
    SiteNode *b = model.addFolder(a, QStringLiteral("B"));
    SiteNode *c = model.addFolder(b, QStringLiteral("C"));
    SiteNode *site = model.addSite(root, QStringLiteral("S"));
    model.addSite(c, QStringLiteral("s"));
    const QStringList before = outline();
    EXPECT_FALSE(SiteTreeModel::canMove(a, c));
    // Not into itself or its subtree, not the root, not into a site, not onto a taken name.
    const std::pair<SiteNode *, SiteNode *> refused[]
            = {{a, c}, {a, b}, {a, a}, {root, a}, {b, site}, {site, c}, {nullptr, a}};
    for (const auto &[node, into] : refused)
        EXPECT_FALSE(model.move(node, into));
    EXPECT_EQ(outline(), before);

    const QPersistentModelIndex cIndex(model.indexOf(c));
    ASSERT_TRUE(model.move(c, root));
    EXPECT_EQ(model.nodeAt(cIndex), c);
    EXPECT_EQ(cIndex.parent(), model.indexOf(root));

    // A deleted site stays valid for whoever holds it (a session writing its bookmarks).
    std::shared_ptr<TSiteObject> held = site->sharedSite();
    std::weak_ptr<TSiteObject> watch = held;
    ASSERT_TRUE(model.remove(site));
    ASSERT_FALSE(watch.expired());
    held->Bookmarks = QStringLiteral("pub\r\\pub\\");
    held.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(model.remove(root));
}
