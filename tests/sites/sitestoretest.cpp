#include "sites/sitestore.h"

#include "settings/registry.h"
#include "sites/passwordcipher.h"
#include "support/files.h"
#include "support/filesizelimit.h"
#include "support/qtprinters.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using ovtest::readFile;

namespace {

// One line per node, children in case-insensitive order, every site field spelled out.
void dump(const SiteNode &node, const QString &path, QStringList *lines)
{
    QString line = path + QLatin1Char('|') + QString::number(int(node.kind()));
    // clang-format off
    if (const TSiteObject *s = node.site())
        line += '|' + QStringList{s->Host, s->Username, s->InitialPath, s->Password, s->Description, s->Bookmarks}.join('|')
                + '|' + QStringList{QString::number(s->Tasks), QString::number(s->Port), QString::number(s->Firewall),
                                    QString::number(s->PassiveMode), QString::number(s->Anonymous),
                                    QString::number(s->Encryption), s->CertificateFingerprint}.join('|');
    // clang-format on
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

// Nested folders, empty folders, odd names and sites using every field.
std::unique_ptr<SiteNode> sampleTree()
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
    full.Encryption = 2;
    full.CertificateFingerprint = QString(64, QLatin1Char('a'));
    SiteNode *work = root->addFolder(QStringLiteral("Work"));
    work->addSite(QStringLiteral("Full site"), full);
    work->addFolder(QStringLiteral("Empty folder"));
    TSiteObject plain; // a new site: anonymous, port 21, one task, no password
    plain.Host = QStringLiteral("127.0.0.1");
    work->addFolder(QStringLiteral("Deep"))
            ->addFolder(QStringLiteral("Deeper"))
            ->addSite("plain", plain);
    root->addSite(QStringLiteral("c:odd"), full);
    root->addSite(QStringLiteral(".."), plain);
    TSiteObject plainOnly = plain; // plain FTP only, no pin
    plainOnly.Encryption = 3;
    root->addFolder(QStringLiteral("a.b"))->addSite(QStringLiteral("Site"), plainOnly);
    return root;
}

class SiteStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("registry.json"));
};

} // namespace

TEST_F(SiteStoreTest, SavedTreeReadsBackTheSame)
{
    const auto tree = sampleTree();
    {
        Registry reg(m_path);
        QString error;
        ASSERT_TRUE(SiteStore(reg).saveTree(*tree, &error)) << error.toStdString();
    }
    // The store holds the enciphered form only.
    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Work\\Full site"), false));
    const QString stored = reg.readString(QStringLiteral("Password")).value_or(QString());
    EXPECT_FALSE(readFile(m_path).contains("s3cr"));
    EXPECT_EQ(DecipherPassword(stored), QStringLiteral("s3cr\u00e9t pass"));
    // A site with the default encryption and no pin has neither value, as older stores had.
    ASSERT_TRUE(reg.openKey(
            SiteStore::rootKeyPath() + QStringLiteral("\\Work\\Deep\\Deeper\\plain"), false));
    EXPECT_FALSE(reg.valueNames().contains(QStringLiteral("Encryption")));
    EXPECT_FALSE(reg.valueNames().contains(QStringLiteral("CertificateFingerprint")));

    SiteStore store(reg);
    const SiteStore::LoadResult loaded = store.loadTree();
    EXPECT_TRUE(loaded.complete);
    EXPECT_EQ(dump(*loaded.root), dump(*tree));
    // Saving the reloaded tree again changes nothing, and a smaller tree replaces it whole.
    ASSERT_TRUE(store.saveTree(*loaded.root));
    EXPECT_EQ(dump(*SiteStore(reg).loadTree().root), dump(*tree));
    auto smaller = SiteNode::makeRoot(SiteStore::rootText());
    smaller->addFolder(QStringLiteral("Only"));
    ASSERT_TRUE(store.saveTree(*smaller));
    Registry again(m_path);
    EXPECT_EQ(dump(*SiteStore(again).loadTree().root), dump(*smaller));
}

TEST_F(SiteStoreTest, MissingAndMistypedValuesLeaveTheirFieldsBlank)
{
    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Port zero"), true));
    reg.writeInteger(QStringLiteral("Port"), 0);
    reg.writeInteger(QStringLiteral("Tasks"), 3);
    ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Mistyped"), true));
    reg.writeInteger(QStringLiteral("Host Address"), 5);               // not a string
    reg.writeString(QStringLiteral("Port"), QStringLiteral("2121"));   // not an integer
    reg.writeString(QStringLiteral("Anonymous"), QStringLiteral("1")); // not a boolean
    reg.writeInteger(QStringLiteral("Firewall"), 0x1ff);               // low byte used
    reg.writeInteger(QStringLiteral("Encryption"), 4);                 // no such choice
    reg.writeString(QStringLiteral("Password"), QStringLiteral("garbage"));
    reg.writeString(QStringLiteral("Username"), QString::fromUtf8("bob\0\0", 5));
    const auto root = SiteStore(reg).loadTree().root;
    EXPECT_EQ(dump(*root),
              (QStringList{"Site Manager|0",
                           "Site Manager/Mistyped|2||bob||" + MalformedPasswordMarker()
                                   + "|||0|21|255|0|0|0|",
                           "Site Manager/Port zero|2|||||||3|21|0|0|0|0|"}));
    // A key that is not there is a failed read, and adds nothing.
    EXPECT_FALSE(SiteStore(reg).readSubtree(SiteStore::rootKeyPath() + "\\Gone", root.get()));
    EXPECT_EQ(root->childCount(), 2);
}

TEST_F(SiteStoreTest, DefaultSitesOnTheFirstStartOnlyWhenWanted)
{
    for (const bool wanted : {true, false}) {
        SCOPED_TRACE(wanted);
        QFile::remove(m_path);
        int asked = 0;
        const auto answer = [&] {
            ++asked;
            return wanted;
        };
        const int sites = wanted ? 24 : 0;
        {
            Registry reg(m_path);
            EXPECT_EQ(SiteStore(reg).open(answer).root->childCount() > 0, wanted);
        }
        // Asked once only: the root is made either way.
        Registry reg(m_path);
        const auto loaded = SiteStore(reg).open(answer);
        EXPECT_EQ(asked, 1);
        // Anonymous sites with a host and maybe an initial folder, nothing else.
        const QRegularExpression plain(QStringLiteral(
                "^[^|]*\\|2\\|[^|]+\\|\\|[^|]*\\|\\|\\|\\|0\\|21\\|0\\|0\\|1\\|0\\|$"));
        const QStringList lines = dump(*loaded.root);
        EXPECT_EQ(lines.filter(plain).size(), sites) << lines.join('\n').toStdString();
        EXPECT_EQ(lines.size(), wanted ? 1 + sites + 7 : 1);
    }
}

TEST_F(SiteStoreTest, InterruptedSaveKeepsThePreviousSites)
{
    const auto before = sampleTree();
    {
        Registry reg(m_path);
        ASSERT_TRUE(SiteStore(reg).saveTree(*before));
    }
    const QByteArray fileBefore = readFile(m_path);
    auto after = SiteNode::makeRoot(SiteStore::rootText());
    for (int i = 0; i < 50; ++i)
        after->addSite(QStringLiteral("Site %1").arg(i));
    Registry reg(m_path);
    SiteStore store(reg);
    for (qint64 limit :
         {qint64(0), qint64(10), fileBefore.size() / 2, fileBefore.size(), fileBefore.size() * 2}) {
        SCOPED_TRACE(limit);
        QString error;
        bool saved = true;
        {
            ovtest::FileSizeLimit full(limit);
            ASSERT_TRUE(full.isActive());
            saved = store.saveTree(*after, &error);
        }
        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readFile(m_path), fileBefore);
        Registry reader(m_path);
        EXPECT_TRUE(reader.damageReport().isEmpty());
    }
    // With room again the new tree replaces the old one whole.
    ASSERT_TRUE(store.saveTree(*after));
    Registry reader(m_path);
    EXPECT_EQ(dump(*SiteStore(reader).loadTree().root), dump(*after));
}

TEST_F(SiteStoreTest, NamesThatWouldShareAKeyAreRefused)
{
    {
        Registry reg(m_path);
        ASSERT_TRUE(SiteStore(reg).saveTree(*sampleTree()));
    }
    const QByteArray fileBefore = readFile(m_path);
    Registry reg(m_path);
    SiteStore store(reg);
    auto clash = sampleTree();
    clash->child(0)->addSite(QStringLiteral("FULL SITE"));
    QString error;
    EXPECT_FALSE(store.saveTree(*clash, &error));
    EXPECT_TRUE(error.contains(QLatin1String("FULL SITE"))) << error.toStdString();
    EXPECT_FALSE(reg.hasPendingChanges());
    // Equal names in different folders are fine; an empty name or a backslash is not.
    auto spread = sampleTree();
    spread->addSite(QStringLiteral("Full site"));
    EXPECT_TRUE(SiteStore::checkTree(*spread).isNull());
    for (const QString &name : {QString(), QStringLiteral("a\\b")}) {
        auto bad = sampleTree();
        bad->addFolder(name);
        EXPECT_FALSE(store.saveTree(*bad));
    }
    EXPECT_EQ(readFile(m_path), fileBefore);
}
