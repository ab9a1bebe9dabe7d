// The Site manager window over a store file: its buttons, the name and order rules of adding,
// renaming, deleting and dragging, and the site dialog.
#include "windowdriver.h"

#include "settings/registry.h"
#include "sites/sitestore.h"
#include "ui/tsite.h"

#include <QMimeData>
#include <QPlainTextEdit>

namespace {

// The captions the view shows, depth-first, "f:" folders and "s:" sites, indented.
void captions(const QAbstractItemModel *model,
              const QModelIndex &parent,
              int depth,
              QStringList *out)
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const bool site = index.data(SiteTreeModel::KindRole).toInt() == int(SiteNode::Kind::Site);
        out->append(QString(depth * 2, ' ') + (site ? "s:" : "f:") + index.data().toString());
        captions(model, index, depth + 1, out);
    }
}

struct SiteManager : ::testing::Test
{
    QTemporaryDir dir;
    QString storeFile = dir.filePath("registry.json");
    Options options = Options::defaults();
    std::unique_ptr<Registry> registry;
    std::unique_ptr<TSiteMgr> mgr;
    QStringList logged;

    // Over a store that already holds an empty root key: no first-start question.
    void openEmpty()
    {
        Registry reg(storeFile);
        ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath(), true) && reg.save());
        open();
    }
    // A Site manager over the test's store, shown (not modal, so that the test can drive it).
    void open()
    {
        mgr.reset();
        registry = std::make_unique<Registry>(storeFile);
        mgr = std::make_unique<TSiteMgr>(*registry, options);
        QObject::connect(mgr.get(), &TSiteMgr::messageLogged, [this](const QString &line) {
            logged << line;
        });
        mgr->show();
        focusOn(mgr->TreeView);
    }
    QStringList shown() const
    {
        QStringList out;
        captions(mgr->TreeView->model(), mgr->TreeView->model()->index(0, 0), 0, &out);
        return out;
    }
    void click(const QString &path)
    {
        ASSERT_TRUE(clickSite(mgr.get(), path)) << path.toStdString();
    }
    // Clicks the node, then the button; the answers: text for the input dialog, "!cancel",
    // "!ok", "!yes", "!no" for the question, "!site" for the site dialog's OK.
    QStringList press(const QString &path, QPushButton *button, const QStringList &answers)
    {
        click(path);
        UserScript script;
        for (const QString &answer : answers) {
            if (answer == "!cancel")
                script.on<TDialog>(
                        [](TDialog *d) { QTest::mouseClick(d->CancelButton, Qt::LeftButton); });
            else if (answer == "!site")
                script.on<TSite>(
                        [](TSite *site) { QTest::mouseClick(site->OkButton, Qt::LeftButton); });
            else if (answer.startsWith('!'))
                script.press(answer == "!ok"    ? QMessageBox::Ok
                             : answer == "!yes" ? QMessageBox::Yes
                                                : QMessageBox::No);
            else
                script.type(answer);
        }
        return script.click(button);
    }
    // The drag events of a drop of the selected node onto target; whether the tree took it.
    bool dragOnto(const QString &target)
    {
        const QPoint at
                = mgr->TreeView->visualRect(mgr->model()->indexOf(siteNode(mgr.get(), target)))
                          .center();
        std::unique_ptr<QMimeData> data(
                mgr->model()->mimeData({mgr->model()->indexOf(mgr->selectedNode())}));
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(mgr->TreeView->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(mgr->TreeView->viewport(), &move);
        QDropEvent drop(QPointF(at), Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(mgr->TreeView->viewport(), &drop);
        return move.isAccepted();
    }
    QString buttons() const
    {
        QString on;
        for (QPushButton *b :
             {mgr->Add_Folder, mgr->Add_Site, mgr->Delete, mgr->Rename, mgr->Edit, mgr->Connect})
            on += b->isEnabled() ? '1' : '0';
        return on;
    }
};

} // namespace

TEST_F(SiteManager, FirstStartAsksForTheDefaultSitesOnce)
{
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        mgr.reset();
        QFile::remove(storeFile);
        EXPECT_EQ(UserScript().press(answer).after([&] { open(); }),
                  QStringList{SiteStore::firstStartQuestion()});
        EXPECT_EQ(shown().contains("f:Software"), answer == QMessageBox::Yes);
    }
}

TEST_F(SiteManager, AddRenameDeleteKeepTheOrderAndTheNameRules)
{
    openEmpty();
    EXPECT_EQ(buttons(), "000000"); // nothing selected
    // clang-format off
    struct Row { const char *at; QPushButton *TSiteMgr::*button; QStringList answers; const char *buttons; QStringList tree; };
    const QStringList abc{"f:abc", "  s:inner"};
    const Row rows[] = {
        {"", &TSiteMgr::Add_Site, {"zulu", "!site"}, "001111", {"s:zulu"}},
        {"", &TSiteMgr::Add_Folder, {"abc"}, "111100", {"f:abc", "s:zulu"}},
        {"abc", &TSiteMgr::Add_Site, {"inner", "!site"}, "001111", abc + QStringList{"s:zulu"}},
        // A name the folder holds in any case: said so, the dialog comes back, and Cancel adds
        // nothing.
        {"", &TSiteMgr::Add_Folder, {"ZULU", "!ok", "!cancel"}, "110000", abc + QStringList{"s:zulu"}},
        {"zulu", &TSiteMgr::Rename, {"ABC", "!ok", "a/ardvark"}, "001111", abc + QStringList{"s:aardvark"}},
        {"aardvark", &TSiteMgr::Delete, {"!no"}, "001111", abc + QStringList{"s:aardvark"}},
        {"abc", &TSiteMgr::Delete, {"!yes"}, "110000", {"s:aardvark"}},
    };
    // clang-format on
    for (const Row &row : rows) {
        const QStringList seen = press(row.at, mgr.get()->*row.button, row.answers);
        EXPECT_EQ(shown(), row.tree) << row.answers.join(' ').toStdString();
        EXPECT_EQ(buttons(), row.buttons) << row.answers.join(' ').toStdString();
        if (row.answers.contains("!cancel")) {
            EXPECT_TRUE(seen.value(2).endsWith("| ZULU"));
        }
    }
    // With ConfirmDelete off nothing is asked.
    options.ConfirmDelete = false;
    press("aardvark", mgr->Delete, {});
    EXPECT_EQ(shown(), QStringList());
}

TEST_F(SiteManager, DraggingMovesIntoFoldersButNeverIntoItsOwnSubtree)
{
    openEmpty();
    press("", mgr->Add_Folder, {"A"});
    press("A", mgr->Add_Folder, {"B"});
    press("", mgr->Add_Site, {"web", "!site"});
    mgr->TreeView->expandAll();
    // clang-format off
    struct Row { const char *drag, *onto; bool taken; };
    for (const Row &row : {Row{"A", "A/B", false}, Row{"A/B", "", true}, Row{"web", "B", true}}) {
        // clang-format on
        click(row.drag);
        EXPECT_EQ(dragOnto(row.onto), row.taken) << row.drag << " onto " << row.onto;
    }
    EXPECT_EQ(shown(), QStringList({"f:A", "f:B", "  s:web"}));
}

// What a connection takes from the dialog (host, port, tasks, passive) is proven by the site
// connector's test; here the rest.
TEST_F(SiteManager, TheSiteDialogCopiesBack)
{
    options.FireType = Options::OpenHost;
    const QString password = "Plain-Secret-77";
    openEmpty();
    click("");
    UserScript script;
    script.type("Home").on<TSite>([&](TSite *site) {
        EXPECT_TRUE(site->anonymous->isChecked());
        typeText(site->Username, "ann");
        EXPECT_FALSE(site->anonymous->isChecked()); // typing a user name clears it
        typeText(site->Password, password);
        typeText(site->InitPath, "pub/a//b/../incoming");
        EXPECT_EQ(site->InitPath->text(), "\\pub\\a\\incoming\\");
        site->Pages->setCurrentIndex(1);
        QTest::mouseClick(site->firewall, Qt::LeftButton);
        site->Pages->setCurrentIndex(2);
        site->Description->setFocus();
        QTest::keyClicks(site->Description, "first line");
        QTest::keyClick(site->Description, Qt::Key_Return);
        QTest::keyClicks(site->Description, "second line");
        QTest::mouseClick(site->OkButton, Qt::LeftButton);
    });
    script.click(mgr->Add_Site);
    const std::shared_ptr<TSiteObject> site = mgr->selectedSite();
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(QStringList({site->Username, site->Password, site->InitialPath, site->Description}),
              QStringList({"ann", password, "\\pub\\a\\incoming\\", "first line\r\nsecond line"}));
    EXPECT_EQ(site->Firewall, 2); // 1 + the options' type
    EXPECT_FALSE(site->Anonymous);
    EXPECT_EQ(mgr->description->toPlainText(), "first line\nsecond line");
}

TEST_F(SiteManager, NoToTheSessionsOwnQuestionKeepsTheSiteManagerAsItWas)
{
    openEmpty();
    press("", mgr->Add_Site, {"S", "!site"});
    mgr->sessionLoggedIn = [] {
        return true;
    };
    // Yes to "a session is in progress", then No to the session's own question (tasks at work).
    int asked = 0;
    mgr->disconnectMain = [&asked] {
        return ++asked, false;
    };
    mgr->setResult(0);
    press("S", mgr->Connect, {"!yes"});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(mgr->isVisible());
    EXPECT_EQ(mgr->result(), 0);
    EXPECT_EQ(mgr->selectedNode(), siteNode(mgr.get(), "S"));
}
