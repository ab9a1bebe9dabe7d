#include "sites/sitetreemodel.h"

#include <QPersistentModelIndex>
#include <gtest/gtest.h>

namespace {

// Each level's children as "f:name" / "s:name", depth-first, indented by level.
void outline(const SiteNode *node, int depth, QStringList *lines)
{
    for (int i = 0; i < node->childCount(); ++i) {
        const SiteNode *child = node->child(i);
        lines->append(QString(depth * 2, QLatin1Char(' '))
                      + (child->isSite() ? QStringLiteral("s:") : QStringLiteral("f:"))
                      + child->text());
        outline(child, depth + 1, lines);
    }
}

QStringList outline(const SiteTreeModel &model)
{
    QStringList lines;
    outline(model.root(), 0, &lines);
    return lines;
}

// Folders before sites, each group by case-insensitive name, at every level.
bool ordered(const SiteNode *node)
{
    for (int i = 1; i < node->childCount(); ++i) {
        const SiteNode *a = node->child(i - 1);
        const SiteNode *b = node->child(i);
        if (a->isSite() && !b->isSite())
            return false;
        if (a->isSite() == b->isSite() && a->text().compare(b->text(), Qt::CaseInsensitive) > 0)
            return false;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        if (!ordered(node->child(i)))
            return false;
    }
    return true;
}

SiteNode *childNamed(const SiteNode *node, const QString &text)
{
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text() == text)
            return node->child(i);
    }
    return nullptr;
}

struct SiteTreeModelTest : ::testing::Test
{
    void SetUp() override { model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager"))); }
    SiteTreeModel model;
};

} // namespace

TEST(SiteTreeNames, StripSeparatorsAndCheck)
{
    EXPECT_EQ(SiteTreeModel::stripSeparators(QStringLiteral("a/b\\c")), QStringLiteral("abc"));
    EXPECT_EQ(SiteTreeModel::stripSeparators(QStringLiteral("/\\//")), QString());

    auto root = SiteNode::makeRoot(QStringLiteral("Site Manager"));
    SiteNode *docs = root->addFolder(QStringLiteral("Docs"));
    EXPECT_EQ(SiteTreeModel::checkName(root.get(), QString()), SiteTreeModel::NameCheck::Empty);
    EXPECT_EQ(SiteTreeModel::checkName(root.get(), QStringLiteral("DOCS")),
              SiteTreeModel::NameCheck::Taken);
    EXPECT_EQ(SiteTreeModel::checkName(root.get(), QStringLiteral("DOCS"), docs),
              SiteTreeModel::NameCheck::Ok);
    EXPECT_EQ(SiteTreeModel::checkName(root.get(), QStringLiteral("Docs2")),
              SiteTreeModel::NameCheck::Ok);
    EXPECT_EQ(SiteTreeModel::uniqueName(root.get(), QStringLiteral("docs")),
              QStringLiteral("docs (2)"));
    root->addSite(QStringLiteral("Docs (2)"));
    EXPECT_EQ(SiteTreeModel::uniqueName(root.get(), QStringLiteral("docs")),
              QStringLiteral("docs (3)"));
    EXPECT_EQ(SiteTreeModel::uniqueName(root.get(), QStringLiteral("Other")),
              QStringLiteral("Other"));
}

TEST_F(SiteTreeModelTest, OrderHoldsAtEveryLevelAfterEachChange)
{
    SiteNode *root = model.root();
    ASSERT_NE(model.addSite(root, QStringLiteral("zeta")), nullptr);
    ASSERT_NE(model.addSite(root, QStringLiteral("Alpha")), nullptr);
    SiteNode *work = model.addFolder(root, QStringLiteral("work"));
    ASSERT_NE(work, nullptr);
    EXPECT_TRUE(ordered(root));
    SiteNode *beta = model.addFolder(root, QStringLiteral("Beta"));
    model.addSite(work, QStringLiteral("b-site"));
    model.addFolder(work, QStringLiteral("Z-folder"));
    model.addSite(work, QStringLiteral("A-site"));
    EXPECT_TRUE(ordered(root));
    EXPECT_EQ(outline(model),
              (QStringList{"f:Beta",
                           "f:work",
                           "  f:Z-folder",
                           "  s:A-site",
                           "  s:b-site",
                           "s:Alpha",
                           "s:zeta"}));

    ASSERT_TRUE(model.rename(beta, QStringLiteral("zz")));
    EXPECT_TRUE(ordered(root));
    EXPECT_EQ(root->child(1)->text(), QStringLiteral("zz"));

    SiteNode *alpha = childNamed(root, QStringLiteral("Alpha"));
    ASSERT_TRUE(model.move(alpha, work->child(0)));
    ASSERT_TRUE(model.move(childNamed(root, QStringLiteral("zeta")), work));
    EXPECT_TRUE(ordered(root));
    EXPECT_EQ(outline(model),
              (QStringList{"f:work",
                           "  f:Z-folder",
                           "    s:Alpha",
                           "  s:A-site",
                           "  s:b-site",
                           "  s:zeta",
                           "f:zz"}));
}

TEST_F(SiteTreeModelTest, NamesAreStrippedAndClashesRefused)
{
    SiteNode *root = model.root();
    SiteNode *folder = model.addFolder(root, QStringLiteral("a/b\\c"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->text(), QStringLiteral("abc"));
    EXPECT_EQ(model.addFolder(root, QStringLiteral("//\\")), nullptr);
    EXPECT_EQ(model.addSite(root, QStringLiteral("ABC")), nullptr); // a folder holds the name
    EXPECT_EQ(root->childCount(), 1);

    SiteNode *site = model.addSite(folder, QStringLiteral("Mirror"));
    SiteNode *other = model.addSite(folder, QStringLiteral("Other"));
    ASSERT_NE(site, nullptr);
    EXPECT_FALSE(model.rename(other, QStringLiteral("mirror")));
    EXPECT_EQ(other->text(), QStringLiteral("Other"));
    EXPECT_FALSE(model.rename(other, QStringLiteral("/\\/")));
    EXPECT_EQ(other->text(), QStringLiteral("Other"));
    EXPECT_TRUE(model.rename(site, QStringLiteral("MIRROR")));
    EXPECT_EQ(site->text(), QStringLiteral("MIRROR"));
    EXPECT_FALSE(model.rename(root, QStringLiteral("Top")));
    EXPECT_EQ(model.addFolder(site, QStringLiteral("inside a site")), nullptr);
}

TEST_F(SiteTreeModelTest, MovesStayOutOfTheirOwnSubtreeAndAwayFromClashes)
{
    SiteNode *root = model.root();
    SiteNode *a = model.addFolder(root, QStringLiteral("A"));
    SiteNode *b = model.addFolder(a, QStringLiteral("B"));
    SiteNode *c = model.addFolder(b, QStringLiteral("C"));
    SiteNode *site = model.addSite(root, QStringLiteral("S"));
    model.addSite(c, QStringLiteral("s"));
    const QStringList before = outline(model);

    EXPECT_FALSE(SiteTreeModel::canMove(a, c));
    EXPECT_FALSE(model.move(a, c));
    EXPECT_FALSE(model.move(a, b));
    EXPECT_FALSE(model.move(a, a));
    EXPECT_FALSE(model.move(root, a));
    EXPECT_FALSE(model.move(b, site)); // a site holds nothing
    EXPECT_FALSE(model.move(site, c)); // C holds "s" already
    EXPECT_FALSE(model.move(nullptr, a));
    EXPECT_EQ(outline(model), before);

    EXPECT_TRUE(SiteTreeModel::canMove(c, root));
    const QPersistentModelIndex cIndex(model.indexOf(c));
    ASSERT_TRUE(model.move(c, root));
    EXPECT_EQ(c->parent(), root);
    EXPECT_EQ(model.nodeAt(cIndex), c);
    EXPECT_EQ(cIndex.parent(), model.indexOf(root));
    // Back into its own folder is no move at all.
    EXPECT_TRUE(SiteTreeModel::canMove(c, root));
}

TEST_F(SiteTreeModelTest, ModelRowsFollowTheTree)
{
    SiteNode *root = model.root();
    int layouts = 0;
    QObject::connect(&model, &QAbstractItemModel::layoutChanged, [&layouts] { ++layouts; });
    SiteNode *x = model.addFolder(root, QStringLiteral("x"));
    model.addFolder(root, QStringLiteral("b"));
    EXPECT_GE(layouts, 2);
    ASSERT_EQ(model.rowCount(), 1);
    const QModelIndex top = model.index(0, 0);
    EXPECT_EQ(model.nodeAt(top), root);
    EXPECT_EQ(top.data().toString(), QStringLiteral("Site Manager"));
    EXPECT_EQ(top.data(SiteTreeModel::KindRole).toInt(), int(SiteNode::Kind::Root));
    ASSERT_EQ(model.rowCount(top), 2);
    EXPECT_EQ(model.index(0, 0, top).data().toString(), QStringLiteral("b"));
    EXPECT_EQ(model.index(1, 0, top), model.indexOf(x));
    EXPECT_EQ(model.parent(model.indexOf(x)), top);
    EXPECT_FALSE(model.flags(top).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_TRUE(model.flags(model.indexOf(x)).testFlag(Qt::ItemIsDragEnabled));
    SiteNode *s = model.addSite(x, QStringLiteral("s"));
    EXPECT_FALSE(model.flags(model.indexOf(s)).testFlag(Qt::ItemIsDropEnabled));
    EXPECT_TRUE(model.flags(model.indexOf(x)).testFlag(Qt::ItemIsDropEnabled));
}

TEST_F(SiteTreeModelTest, DeletedSiteStaysValidForWhoeverHoldsIt)
{
    SiteNode *folder = model.addFolder(model.root(), QStringLiteral("f"));
    TSiteObject record;
    record.Host = QStringLiteral("127.0.0.1");
    SiteNode *site = model.addSite(folder, QStringLiteral("s"), record);
    std::shared_ptr<TSiteObject> held = site->sharedSite();
    std::weak_ptr<TSiteObject> watch = held;
    ASSERT_TRUE(model.remove(folder));
    EXPECT_EQ(model.root()->childCount(), 0);
    ASSERT_FALSE(watch.expired());
    held->Bookmarks = QStringLiteral("pub\r\\pub\\"); // what the session writes at its end
    EXPECT_EQ(held->Host, QStringLiteral("127.0.0.1"));
    held.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(model.remove(model.root()));
}
