#include "sites/sitestore.h"

#include "settings/filesizelimit.h"
#include "settings/registry.h"
#include "sites/passwordcipher.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

// One line per node, children in case-insensitive order, every site field spelled out.
void dump(const SiteNode &node, const QString &path, QStringList *lines)
{
    QString line = path + QLatin1Char('|')
                   + (node.kind() == SiteNode::Kind::Root     ? QStringLiteral("root")
                      : node.kind() == SiteNode::Kind::Folder ? QStringLiteral("folder")
                                                              : QStringLiteral("site"));
    if (const TSiteObject *s = node.site()) {
        line += QStringLiteral("|%1|%2|%3|%4|%5|%6|%7|%8|%9")
                        .arg(s->Host,
                             s->Username,
                             s->InitialPath,
                             s->Password,
                             s->Description,
                             s->Bookmarks)
                        .arg(s->Tasks)
                        .arg(s->Port)
                        .arg(s->Firewall)
                + QStringLiteral("|%1|%2").arg(s->PassiveMode).arg(s->Anonymous);
    }
    lines->append(line);
    std::vector<const SiteNode *> children;
    for (int i = 0; i < node.childCount(); ++i)
        children.push_back(node.child(i));
    std::stable_sort(children.begin(), children.end(), [](const SiteNode *a, const SiteNode *b) {
        return a->text().toCaseFolded() < b->text().toCaseFolded();
    });
    for (const SiteNode *child : children)
        dump(*child, path + QLatin1Char('/') + child->text(), lines);
}

QStringList dump(const SiteNode &root)
{
    QStringList lines;
    dump(root, root.text(), &lines);
    return lines;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const SiteNode *findChild(const SiteNode *node, const QString &text)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text() == text)
            return node->child(i);
    }
    return nullptr;
}

class SiteStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("registry.json"));
    }

    // A tree with nested folders, empty folders and sites using every field.
    static std::unique_ptr<SiteNode> sampleTree()
    {
        auto root = SiteNode::makeRoot(SiteStore::rootText());
        TSiteObject full;
        full.Host = QStringLiteral("ftp.example.org");
        full.Username = QStringLiteral("ann");
        full.InitialPath = QStringLiteral("\\pub\\docs\\");
        full.Password = QStringLiteral("s3cr\u00e9t pass");
        full.Description = QStringLiteral("first line\r\nsecond line");
        full.Bookmarks = QStringLiteral("Docs\r\\pub\\docs\\\nHome\r\\");
        full.Tasks = 7;
        full.Port = 2121;
        full.Firewall = 2;
        full.PassiveMode = true;
        full.Anonymous = false;
        SiteNode *work = root->addFolder(QStringLiteral("Work"));
        work->addSite(QStringLiteral("Full site"), full);
        work->addFolder(QStringLiteral("Empty folder"));
        SiteNode *deep
                = work->addFolder(QStringLiteral("Deep"))->addFolder(QStringLiteral("Deeper"));
        TSiteObject plain; // a new site: anonymous, port 21, one task, no password
        plain.Host = QStringLiteral("127.0.0.1");
        deep->addSite(QStringLiteral("plain"), plain);
        root->addFolder(QStringLiteral("Empty at the top"));
        root->addSite(QStringLiteral("c:odd"), full);
        root->addSite(QStringLiteral(".."), plain);
        root->addFolder(QStringLiteral("a.b"))->addSite(QStringLiteral("Site"), plain);
        return root;
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(SiteStoreTest, SavedTreeReadsBackTheSame)
{
    const auto tree = sampleTree();
    {
        Registry reg(m_path);
        SiteStore store(reg);
        QString error;
        ASSERT_TRUE(store.saveTree(*tree, &error)) << error.toStdString();
    }
    // The record in memory keeps its plain password; the store holds the enciphered form.
    EXPECT_EQ(findChild(findChild(tree.get(), QStringLiteral("Work")), QStringLiteral("Full site"))
                      ->site()
                      ->Password,
              QStringLiteral("s3cr\u00e9t pass"));

    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Work\\Full site"), false));
    const QString stored = reg.readString(QStringLiteral("Password")).value_or(QString());
    EXPECT_FALSE(stored.contains(QLatin1String("s3cr")));
    EXPECT_EQ(stored.size(), 3 + 16 * 3); // 12 UTF-8 bytes: fill 4, two blocks
    EXPECT_EQ(DecipherPassword(stored), QStringLiteral("s3cr\u00e9t pass"));
    EXPECT_EQ(reg.readBool(QStringLiteral("PassiveMode")), true);
    EXPECT_EQ(reg.valueNames().size(), 11);
    ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\..\\"), false));
    EXPECT_EQ(reg.readString(QStringLiteral("Password")), QString());

    SiteStore store(reg);
    const SiteStore::LoadResult loaded = store.loadTree();
    EXPECT_TRUE(loaded.complete);
    ASSERT_TRUE(loaded.root);
    EXPECT_EQ(loaded.root->kind(), SiteNode::Kind::Root);
    EXPECT_EQ(loaded.root->text(), QStringLiteral("Site Manager"));
    EXPECT_EQ(dump(*loaded.root), dump(*tree));
    const SiteNode *empty = findChild(findChild(loaded.root.get(), QStringLiteral("Work")),
                                      QStringLiteral("Empty folder"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->kind(), SiteNode::Kind::Folder);

    // Saving the reloaded tree again changes nothing, and a smaller tree replaces it whole.
    ASSERT_TRUE(store.saveTree(*loaded.root));
    EXPECT_EQ(dump(*SiteStore(reg).loadTree().root), dump(*tree));
    auto smaller = SiteNode::makeRoot(SiteStore::rootText());
    smaller->addFolder(QStringLiteral("Only"));
    ASSERT_TRUE(store.saveTree(*smaller));
    Registry again(m_path);
    EXPECT_EQ(dump(*SiteStore(again).loadTree().root), dump(*smaller));
}

TEST_F(SiteStoreTest, MissingAndOddValuesLeaveTheirFieldsBlank)
{
    {
        Registry reg(m_path);
        const QString root = SiteStore::rootKeyPath();
        ASSERT_TRUE(reg.openKey(root + QStringLiteral("\\Port zero"), true));
        reg.writeString(QStringLiteral("Host Address"), QStringLiteral("a"));
        reg.writeInteger(QStringLiteral("Port"), 0);
        reg.writeInteger(QStringLiteral("Tasks"), 3);
        ASSERT_TRUE(reg.openKey(root + QStringLiteral("\\No port no tasks"), true));
        reg.writeString(QStringLiteral("Host Address"), QStringLiteral("b"));
        ASSERT_TRUE(reg.openKey(root + QStringLiteral("\\Mistyped"), true));
        reg.writeInteger(QStringLiteral("Host Address"), 5);               // not a string
        reg.writeString(QStringLiteral("Port"), QStringLiteral("2121"));   // not an integer
        reg.writeString(QStringLiteral("Anonymous"), QStringLiteral("1")); // not a boolean
        reg.writeInteger(QStringLiteral("Firewall"), 0x1ff);               // low byte used
        reg.writeString(QStringLiteral("Password"), QStringLiteral("garbage"));
        reg.writeString(QStringLiteral("Username"), QString::fromUtf8("bob\0\0", 5));
        ASSERT_TRUE(reg.save());
    }
    Registry reg(m_path);
    const auto root = SiteStore(reg).loadTree().root;
    ASSERT_EQ(root->childCount(), 3);

    const TSiteObject *zero = findChild(root.get(), QStringLiteral("Port zero"))->site();
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->Port, 21);
    EXPECT_EQ(zero->Tasks, 3);

    const TSiteObject *none = findChild(root.get(), QStringLiteral("No port no tasks"))->site();
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Host, QStringLiteral("b"));
    EXPECT_EQ(none->Port, 21);
    EXPECT_EQ(none->Tasks, 0);
    EXPECT_FALSE(none->Anonymous);
    EXPECT_FALSE(none->PassiveMode);

    const TSiteObject *odd = findChild(root.get(), QStringLiteral("Mistyped"))->site();
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->Host.isEmpty());
    EXPECT_EQ(odd->Port, 21);
    EXPECT_FALSE(odd->Anonymous);
    EXPECT_EQ(odd->Firewall, 255);
    EXPECT_EQ(odd->Password, MalformedPasswordMarker());
    EXPECT_EQ(odd->Username, QStringLiteral("bob"));

    // A key that is not there is a failed read, and adds nothing.
    SiteStore store(reg);
    EXPECT_FALSE(
            store.readSubtree(SiteStore::rootKeyPath() + QStringLiteral("\\Gone"), root.get()));
    EXPECT_EQ(root->childCount(), 3);
}

TEST_F(SiteStoreTest, DefaultSitesAndTheFirstStartQuestion)
{
    int asked = 0;
    {
        Registry reg(m_path);
        SiteStore store(reg);
        EXPECT_FALSE(store.rootExists());
        const auto loaded = store.open([&asked] {
            ++asked;
            return true;
        });
        EXPECT_EQ(asked, 1);
        EXPECT_TRUE(loaded.complete);
        ASSERT_TRUE(loaded.root);
    }
    Registry reg(m_path);
    SiteStore store(reg);
    EXPECT_TRUE(store.rootExists());
    const auto loaded = store.open([&asked] {
        ++asked;
        return true;
    });
    EXPECT_EQ(asked, 1); // asked once only

    // 24 sites in six folder paths.
    int sites = 0;
    QSet<QString> folders;
    std::function<void(const SiteNode *, const QString &)> walk = [&](const SiteNode *node,
                                                                      const QString &path) {
        for (int i = 0; i < node->childCount(); ++i) {
            const SiteNode *child = node->child(i);
            if (child->isSite()) {
                ++sites;
                folders.insert(path);
                const TSiteObject *s = child->site();
                // A key holding only host, initial path and anonymous reads as an anonymous
                // site with nothing else.
                EXPECT_TRUE(s->Anonymous) << child->text().toStdString();
                EXPECT_FALSE(s->Host.isEmpty());
                EXPECT_TRUE(s->Username.isEmpty());
                EXPECT_TRUE(s->Password.isEmpty());
                EXPECT_TRUE(s->Description.isEmpty());
                EXPECT_TRUE(s->Bookmarks.isEmpty());
                EXPECT_EQ(s->Port, 21);
                EXPECT_EQ(s->Tasks, 0);
                EXPECT_TRUE(s->InitialPath.isEmpty()
                            || (s->InitialPath.startsWith(QLatin1Char('\\'))
                                && s->InitialPath.endsWith(QLatin1Char('\\'))));
            } else {
                walk(child,
                     path.isEmpty() ? child->text() : path + QLatin1Char('\\') + child->text());
            }
        }
    };
    walk(loaded.root.get(), QString());
    EXPECT_EQ(sites, 24);
    EXPECT_EQ(folders,
              (QSet<QString>{QStringLiteral("Internet Service Providers"),
                             QStringLiteral("Software\\Archives"),
                             QStringLiteral("Software\\Commercial"),
                             QStringLiteral("Software\\Games"),
                             QStringLiteral("Software\\Programs"),
                             QStringLiteral("Sports")}));
    const SiteNode *gnu
            = findChild(findChild(findChild(loaded.root.get(), QStringLiteral("Software")),
                                  QStringLiteral("Archives")),
                        QStringLiteral("GNU Software Archive"));
    ASSERT_TRUE(gnu);
    EXPECT_EQ(gnu->site()->Host, QStringLiteral("ftp.gnu.org"));
}

TEST_F(SiteStoreTest, AnsweringNoStillCreatesTheRoot)
{
    int asked = 0;
    {
        Registry reg(m_path);
        const auto loaded = SiteStore(reg).open([&asked] {
            ++asked;
            return false;
        });
        ASSERT_TRUE(loaded.root);
        EXPECT_EQ(loaded.root->childCount(), 0);
    }
    Registry reg(m_path);
    SiteStore store(reg);
    EXPECT_TRUE(store.rootExists());
    const auto loaded = store.open([&asked] {
        ++asked;
        return true;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(loaded.root->childCount(), 0);
}

TEST_F(SiteStoreTest, InterruptedSaveKeepsThePreviousSites)
{
    const auto before = sampleTree();
    {
        Registry reg(m_path);
        ASSERT_TRUE(SiteStore(reg).saveTree(*before));
    }
    const QByteArray fileBefore = readAll(m_path);
    auto after = SiteNode::makeRoot(SiteStore::rootText());
    for (int i = 0; i < 50; ++i) {
        TSiteObject site;
        site.Host = QStringLiteral("host%1.example").arg(i);
        site.Password = QStringLiteral("password %1").arg(i);
        after->addSite(QStringLiteral("Site %1").arg(i), site);
    }

    Registry reg(m_path);
    SiteStore store(reg);
    for (rlim_t limit : {rlim_t(0),
                         rlim_t(10),
                         rlim_t(fileBefore.size() / 2),
                         rlim_t(fileBefore.size()),
                         rlim_t(fileBefore.size() * 2)}) {
        QString error;
        bool saved = true;
        {
            FileSizeLimit full(limit);
            ASSERT_TRUE(full.active());
            saved = store.saveTree(*after, &error);
        }
        EXPECT_FALSE(saved) << "limit " << limit;
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readAll(m_path), fileBefore) << "limit " << limit;
        Registry reader(m_path);
        EXPECT_TRUE(reader.damageReport().isEmpty());
        EXPECT_EQ(dump(*SiteStore(reader).loadTree().root), dump(*before)) << "limit " << limit;
    }
    // With room again the new tree replaces the old one whole.
    ASSERT_TRUE(store.saveTree(*after));
    Registry reader(m_path);
    EXPECT_EQ(dump(*SiteStore(reader).loadTree().root), dump(*after));
}

TEST_F(SiteStoreTest, NamesThatWouldShareAKeyAreRefused)
{
    const auto before = sampleTree();
    {
        Registry reg(m_path);
        ASSERT_TRUE(SiteStore(reg).saveTree(*before));
    }
    const QByteArray fileBefore = readAll(m_path);

    auto clash = sampleTree();
    SiteNode *work = const_cast<SiteNode *>(findChild(clash.get(), QStringLiteral("Work")));
    work->addSite(QStringLiteral("FULL SITE"));
    EXPECT_FALSE(SiteStore::checkTree(*clash).isNull());

    Registry reg(m_path);
    SiteStore store(reg);
    QString error;
    EXPECT_FALSE(store.saveTree(*clash, &error));
    EXPECT_TRUE(error.contains(QLatin1String("FULL SITE"))) << error.toStdString();
    EXPECT_FALSE(reg.hasPendingChanges());
    EXPECT_EQ(readAll(m_path), fileBefore);
    EXPECT_EQ(work->childCount(), 4); // nothing taken out of the tree

    // Equal names in different folders are fine; an empty name or a backslash is not.
    auto spread = sampleTree();
    spread->addSite(QStringLiteral("Full site"));
    EXPECT_TRUE(SiteStore::checkTree(*spread).isNull());
    auto unnamed = sampleTree();
    unnamed->addFolder(QString());
    EXPECT_FALSE(store.saveTree(*unnamed));
    auto slashed = sampleTree();
    slashed->addFolder(QStringLiteral("a\\b"));
    EXPECT_FALSE(store.saveTree(*slashed));
    EXPECT_EQ(readAll(m_path), fileBefore);
}

TEST(SiteNode, MovesAndSortsLikeTheSiteManager)
{
    auto root = SiteNode::makeRoot(QStringLiteral("Site Manager"));
    SiteNode *b = root->addSite(QStringLiteral("beta"));
    SiteNode *folder = root->addFolder(QStringLiteral("Zed"));
    root->addSite(QStringLiteral("Alpha"));
    SiteNode *inner = folder->addFolder(QStringLiteral("inner"));
    root->addFolder(QStringLiteral("able"));
    EXPECT_EQ(b->addFolder(QStringLiteral("x")), nullptr); // a site holds nothing

    root->sortChildren();
    QStringList order;
    for (int i = 0; i < root->childCount(); ++i)
        order << root->child(i)->text();
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("able"),
                           QStringLiteral("Zed"),
                           QStringLiteral("Alpha"),
                           QStringLiteral("beta")}));

    EXPECT_FALSE(folder->moveTo(inner, 0)); // not into its own subtree
    EXPECT_FALSE(root->moveTo(folder, 0));  // the root stays
    EXPECT_FALSE(folder->moveTo(b, 0));     // not into a site
    ASSERT_TRUE(b->moveTo(inner, 0));
    EXPECT_EQ(b->parent(), inner);
    EXPECT_EQ(root->childCount(), 3);
    EXPECT_EQ(NodePath(b, QLatin1Char('\\')), QStringLiteral("Site Manager\\Zed\\inner\\beta\\"));
}

} // namespace
