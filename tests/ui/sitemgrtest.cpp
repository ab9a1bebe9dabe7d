#include "modalscript.h"

#include "settings/options.h"
#include "settings/registry.h"
#include "sites/sitestore.h"
#include "sites/sitetreemodel.h"
#include "ui/tdialog.h"
#include "ui/tsite.h"
#include "ui/tsitemgr.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Types into a field the way a user does: select what is there, then the keys.
void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    QTest::keyClicks(field, text);
}

// An input dialog step: types text and clicks OK (or Cancel when ok is false).
std::function<void(TDialog *)> answerInput(const QString &text,
                                           bool ok = true,
                                           QString *caption = nullptr,
                                           QString *shownText = nullptr)
{
    return [=](TDialog *dialog) {
        if (caption)
            *caption = dialog->windowTitle() + QLatin1Char('|') + dialog->Label1->text();
        if (shownText)
            *shownText = dialog->Edit1->text();
        if (!text.isNull())
            typeInto(dialog->Edit1, text);
        QTest::mouseClick(ok ? dialog->OkButton : dialog->CancelButton, Qt::LeftButton);
    };
}

std::function<void(QMessageBox *)> answerQuestion(QMessageBox::StandardButton button,
                                                  QString *text = nullptr)
{
    return [=](QMessageBox *box) {
        if (text)
            *text = box->text();
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    };
}

// Folders before sites, each group by case-insensitive name, at every level of what the view
// shows.
bool viewOrdered(const QAbstractItemModel *model, const QModelIndex &parent)
{
    for (int row = 1; row < model->rowCount(parent); ++row) {
        const QModelIndex a = model->index(row - 1, 0, parent);
        const QModelIndex b = model->index(row, 0, parent);
        const bool aSite = a.data(SiteTreeModel::KindRole).toInt() == int(SiteNode::Kind::Site);
        const bool bSite = b.data(SiteTreeModel::KindRole).toInt() == int(SiteNode::Kind::Site);
        if (aSite && !bSite)
            return false;
        if (aSite == bSite
            && a.data().toString().compare(b.data().toString(), Qt::CaseInsensitive) > 0)
            return false;
    }
    for (int row = 0; row < model->rowCount(parent); ++row) {
        if (!viewOrdered(model, model->index(row, 0, parent)))
            return false;
    }
    return true;
}

// The captions the view shows, depth-first, "f:" folders and "s:" sites, indented.
void captions(const QAbstractItemModel *model,
              const QModelIndex &parent,
              int depth,
              QStringList *out)
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const bool site = index.data(SiteTreeModel::KindRole).toInt() == int(SiteNode::Kind::Site);
        out->append(QString(depth * 2, QLatin1Char(' ')) + (site ? "s:" : "f:")
                    + index.data().toString());
        captions(model, index, depth + 1, out);
    }
}

QStringList captions(const TSiteMgr &mgr)
{
    QStringList out;
    const QModelIndex root = mgr.TreeView->model()->index(0, 0);
    captions(mgr.TreeView->model(), root, 0, &out);
    return out;
}

struct SiteManagerWindow : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        storeFile = dir.filePath(QStringLiteral("registry.json"));
        options = Options::defaults();
    }

    // A Site manager over the test's store, shown (not modal, so that the test can drive it).
    // The first-start question, when it comes, is answered by the script.
    std::unique_ptr<TSiteMgr> openManager(ModalScript *script = nullptr)
    {
        registry = std::make_unique<Registry>(storeFile);
        auto mgr = std::make_unique<TSiteMgr>(*registry, options);
        QObject::connect(mgr.get(), &TSiteMgr::messageLogged, [this](const QString &line) {
            logLines.append(line);
        });
        mgr->show();
        if (script) {
            EXPECT_TRUE(QTest::qWaitFor([script] { return script->finished(); }, 10000));
        }
        mgr->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(mgr.get()));
        EXPECT_TRUE(QTest::qWaitForWindowActive(mgr.get()));
        return mgr;
    }

    // A store that already holds an empty root key: no first-start question.
    void prepareEmptyStore()
    {
        Registry reg(storeFile);
        ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath(), true));
        ASSERT_TRUE(reg.save());
    }

    void click(TSiteMgr &mgr, const SiteNode *node)
    {
        const QModelIndex index = mgr.model()->indexOf(node);
        ASSERT_TRUE(index.isValid());
        mgr.TreeView->scrollTo(index);
        QTest::mouseClick(mgr.TreeView->viewport(),
                          Qt::LeftButton,
                          {},
                          mgr.TreeView->visualRect(index).center());
        ASSERT_EQ(mgr.selectedNode(), node);
    }

    SiteNode *childNamed(const SiteNode *node, const QString &text)
    {
        for (int i = 0; node && i < node->childCount(); ++i) {
            if (node->child(i)->text().compare(text, Qt::CaseInsensitive) == 0)
                return node->child(i);
        }
        return nullptr;
    }

    // Adds a folder by the button and the typed name.
    void addFolder(TSiteMgr &mgr, const SiteNode *parent, const QString &typed)
    {
        click(mgr, parent);
        ModalScript script;
        script.then<TDialog>(answerInput(typed));
        QTest::mouseClick(mgr.Add_Folder, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }

    // Adds a site by the button and the typed name, then fills the site dialog.
    void addSite(TSiteMgr &mgr,
                 const SiteNode *parent,
                 const QString &typed,
                 const std::function<void(TSite *)> &fill)
    {
        click(mgr, parent);
        ModalScript script;
        script.then<TDialog>(answerInput(typed)).then<TSite>([fill](TSite *site) {
            fill(site);
            QTest::mouseClick(site->OkButton, Qt::LeftButton);
        });
        QTest::mouseClick(mgr.Add_Site, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }

    // Sends the drag events of a drop of the selected node onto target; returns whether the
    // tree accepted the drag over target.
    bool dragOnto(TSiteMgr &mgr, const SiteNode *target)
    {
        const QPoint at = mgr.TreeView->visualRect(mgr.model()->indexOf(target)).center();
        std::unique_ptr<QMimeData> data(
                mgr.model()->mimeData({mgr.model()->indexOf(mgr.selectedNode())}));
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(mgr.TreeView->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(mgr.TreeView->viewport(), &move);
        const bool accepted = move.isAccepted();
        QDropEvent drop(QPointF(at), Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(mgr.TreeView->viewport(), &drop);
        return accepted;
    }

    QTemporaryDir dir;
    QString storeFile;
    Options options;
    std::unique_ptr<Registry> registry;
    QStringList logLines;
};

} // namespace

TEST_F(SiteManagerWindow, FirstStartQuestionAndButtonRules)
{
    QString question;
    auto script = std::make_unique<ModalScript>();
    script->then<QMessageBox>(answerQuestion(QMessageBox::No, &question));
    auto mgr = openManager(script.get());
    script.reset();
    EXPECT_EQ(question, SiteStore::firstStartQuestion());
    EXPECT_EQ(mgr->windowTitle(), QStringLiteral("Q.S Orvane FTP - Site Manager"));
    EXPECT_EQ(captions(*mgr), QStringList());
    EXPECT_TRUE(Registry(storeFile).keyExists(SiteStore::rootKeyPath()));

    // Nothing selected: all six off.
    for (QPushButton *b :
         {mgr->Add_Folder, mgr->Add_Site, mgr->Delete, mgr->Rename, mgr->Edit, mgr->Connect})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();

    click(*mgr, mgr->model()->root());
    EXPECT_TRUE(mgr->Add_Folder->isEnabled());
    EXPECT_TRUE(mgr->Add_Site->isEnabled());
    for (QPushButton *b : {mgr->Delete, mgr->Rename, mgr->Edit, mgr->Connect})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();

    addFolder(*mgr, mgr->model()->root(), QStringLiteral("Folder"));
    SiteNode *folder = childNamed(mgr->model()->root(), QStringLiteral("Folder"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(mgr->selectedNode(), folder);
    EXPECT_TRUE(mgr->Delete->isEnabled());
    EXPECT_TRUE(mgr->Rename->isEnabled());
    EXPECT_FALSE(mgr->Edit->isEnabled());
    EXPECT_FALSE(mgr->Connect->isEnabled());

    addSite(*mgr, folder, QStringLiteral("Site"), [](TSite *site) {
        site->Pages->setCurrentIndex(2);
        site->Description->setFocus();
        QTest::keyClicks(site->Description, QStringLiteral("first line"));
        QTest::keyClick(site->Description, Qt::Key_Return);
        QTest::keyClicks(site->Description, QStringLiteral("second line"));
    });
    EXPECT_FALSE(mgr->Add_Folder->isEnabled());
    EXPECT_FALSE(mgr->Add_Site->isEnabled());
    for (QPushButton *b : {mgr->Delete, mgr->Rename, mgr->Edit, mgr->Connect})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(mgr->selectedSite()->Description, QStringLiteral("first line\r\nsecond line"));
    EXPECT_EQ(mgr->description->toPlainText(), QStringLiteral("first line\nsecond line"));

    click(*mgr, folder);
    EXPECT_EQ(mgr->description->toPlainText(), QString());
    // Entering the description box hands the focus back to the tree.
    mgr->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(mgr.get()));
    mgr->Add_Folder->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return mgr->Add_Folder->hasFocus(); }, 2000));
    QTest::mouseClick(mgr->description->viewport(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mgr->TreeView->hasFocus(); }, 2000));
}

TEST_F(SiteManagerWindow, DefaultSitesOnYes)
{
    auto script = std::make_unique<ModalScript>();
    script->then<QMessageBox>(answerQuestion(QMessageBox::Yes));
    auto mgr = openManager(script.get());
    script.reset();
    const QStringList shown = captions(*mgr);
    EXPECT_TRUE(shown.contains(QStringLiteral("f:Software")));
    EXPECT_TRUE(shown.contains(QStringLiteral("  f:Archives")));
    EXPECT_TRUE(viewOrdered(mgr->TreeView->model(), {}));
    // Read once: a second window over the same store asks nothing.
    mgr.reset();
    ModalScript none;
    auto again = openManager();
    QTest::qWait(100);
    EXPECT_TRUE(none.finished()) << none.unexpected().join(',').toStdString();
    EXPECT_EQ(captions(*again), shown);
}

TEST_F(SiteManagerWindow, AddRenameDeleteKeepTheOrderAndTheNameRules)
{
    prepareEmptyStore();
    auto mgr = openManager();
    QAbstractItemModelTester tester(mgr->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    SiteNode *root = mgr->model()->root();
    auto noFill = [](TSite *) {
    };

    addSite(*mgr, root, QStringLiteral("zulu"), noFill);
    addSite(*mgr, root, QStringLiteral("Alpha"), noFill);
    addFolder(*mgr, root, QStringLiteral("a/b\\c"));
    EXPECT_TRUE(viewOrdered(mgr->TreeView->model(), {}));
    addFolder(*mgr, root, QStringLiteral("Beta"));
    SiteNode *abc = childNamed(root, QStringLiteral("abc"));
    ASSERT_NE(abc, nullptr);
    addSite(*mgr, abc, QStringLiteral("inner"), noFill);
    addFolder(*mgr, abc, QStringLiteral("Zed"));
    EXPECT_EQ(captions(*mgr),
              (QStringList{"f:abc", "  f:Zed", "  s:inner", "f:Beta", "s:Alpha", "s:zulu"}));

    // Only slashes: nothing is added, nothing asked.
    addFolder(*mgr, root, QStringLiteral("/\\/"));
    EXPECT_EQ(root->childCount(), 4);

    // A name the folder already holds (any case): said so, the dialog comes back with the
    // typed text; cancelling then adds nothing.
    click(*mgr, root);
    QString message;
    QString kept;
    {
        ModalScript script;
        script.then<TDialog>(answerInput(QStringLiteral("ALPHA")))
                .then<QMessageBox>(answerQuestion(QMessageBox::Ok, &message))
                .then<TDialog>(answerInput(QString(), false, nullptr, &kept));
        QTest::mouseClick(mgr->Add_Folder, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    EXPECT_TRUE(message.contains(QStringLiteral("ALPHA"))) << message.toStdString();
    EXPECT_EQ(kept, QStringLiteral("ALPHA"));
    EXPECT_EQ(root->childCount(), 4);

    // Rename: the captions, the starting text, the slash rule and the clash rule.
    SiteNode *zulu = childNamed(root, QStringLiteral("zulu"));
    click(*mgr, zulu);
    QString caption;
    QString startText;
    {
        ModalScript script;
        script.then<TDialog>(answerInput(QStringLiteral("\\//"), true, &caption, &startText));
        QTest::mouseClick(mgr->Rename, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(caption, QStringLiteral("Rename Site|New sitename:"));
    EXPECT_EQ(startText, QStringLiteral("zulu"));
    EXPECT_EQ(zulu->text(), QStringLiteral("zulu"));
    {
        ModalScript script;
        script.then<TDialog>(answerInput(QStringLiteral("beta")))
                .then<QMessageBox>(answerQuestion(QMessageBox::Ok))
                .then<TDialog>(answerInput(QStringLiteral("a/ardvark")));
        QTest::mouseClick(mgr->Rename, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    EXPECT_EQ(zulu->text(), QStringLiteral("aardvark"));
    EXPECT_EQ(captions(*mgr),
              (QStringList{"f:abc", "  f:Zed", "  s:inner", "f:Beta", "s:aardvark", "s:Alpha"}));

    SiteNode *beta = childNamed(root, QStringLiteral("Beta"));
    click(*mgr, beta);
    {
        ModalScript script;
        script.then<TDialog>(answerInput(QStringLiteral("Aaa"), true, &caption));
        QTest::mouseClick(mgr->Rename, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(caption, QStringLiteral("Rename Folder|New foldername:"));
    EXPECT_EQ(captions(*mgr),
              (QStringList{"f:Aaa", "f:abc", "  f:Zed", "  s:inner", "s:aardvark", "s:Alpha"}));

    // Delete asks when ConfirmDelete is on; No keeps the entry.
    SiteNode *alpha = childNamed(root, QStringLiteral("Alpha"));
    click(*mgr, alpha);
    QString question;
    {
        ModalScript script;
        script.then<QMessageBox>(answerQuestion(QMessageBox::No, &question));
        QTest::mouseClick(mgr->Delete, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(question, QStringLiteral("Are you sure you want to delete site entry?"));
    EXPECT_NE(childNamed(root, QStringLiteral("Alpha")), nullptr);
    SiteNode *abcFolder = childNamed(root, QStringLiteral("abc"));
    click(*mgr, abcFolder);
    {
        ModalScript script;
        script.then<QMessageBox>(answerQuestion(QMessageBox::Yes, &question));
        QTest::mouseClick(mgr->Delete, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(question, QStringLiteral("Are you sure you want to delete folder entry?"));
    EXPECT_EQ(childNamed(root, QStringLiteral("abc")), nullptr);
    EXPECT_EQ(mgr->selectedNode(), root);

    // With ConfirmDelete off nothing is asked.
    options.ConfirmDelete = false;
    click(*mgr, childNamed(root, QStringLiteral("Alpha")));
    {
        ModalScript script(500);
        QTest::mouseClick(mgr->Delete, Qt::LeftButton);
        QTest::qWait(100);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    EXPECT_EQ(captions(*mgr), (QStringList{"f:Aaa", "s:aardvark"}));
}

TEST_F(SiteManagerWindow, DraggingMovesIntoFoldersButNeverIntoItsOwnSubtree)
{
    prepareEmptyStore();
    auto mgr = openManager();
    SiteNode *root = mgr->model()->root();
    addFolder(*mgr, root, QStringLiteral("A"));
    SiteNode *a = childNamed(root, QStringLiteral("A"));
    addFolder(*mgr, a, QStringLiteral("B"));
    SiteNode *b = childNamed(a, QStringLiteral("B"));
    addFolder(*mgr, b, QStringLiteral("C"));
    SiteNode *c = childNamed(b, QStringLiteral("C"));
    addSite(*mgr, root, QStringLiteral("web"), [](TSite *) {});
    addSite(*mgr, c, QStringLiteral("WEB"), [](TSite *) {});
    SiteNode *web = childNamed(root, QStringLiteral("web"));
    mgr->TreeView->expandAll();
    const QStringList before = captions(*mgr);

    click(*mgr, a);
    EXPECT_FALSE(dragOnto(*mgr, c));
    EXPECT_FALSE(dragOnto(*mgr, b));
    EXPECT_FALSE(dragOnto(*mgr, a));
    EXPECT_FALSE(dragOnto(*mgr, web)); // a site holds nothing
    EXPECT_EQ(captions(*mgr), before);
    click(*mgr, root);
    EXPECT_FALSE(dragOnto(*mgr, a));
    click(*mgr, web);
    EXPECT_FALSE(dragOnto(*mgr, c)); // C holds "WEB" already
    EXPECT_EQ(captions(*mgr), before);

    click(*mgr, c);
    EXPECT_TRUE(dragOnto(*mgr, root));
    EXPECT_EQ(c->parent(), root);
    EXPECT_EQ(mgr->selectedNode(), c);
    EXPECT_EQ(captions(*mgr), (QStringList{"f:A", "  f:B", "f:C", "  s:WEB", "s:web"}));
    click(*mgr, web);
    EXPECT_TRUE(dragOnto(*mgr, b));
    EXPECT_EQ(captions(*mgr), (QStringList{"f:A", "  f:B", "    s:web", "f:C", "  s:WEB"}));
    EXPECT_TRUE(viewOrdered(mgr->TreeView->model(), {}));
}

TEST_F(SiteManagerWindow, EditCopiesBackAndTheSiteSurvivesARestart)
{
    prepareEmptyStore();
    options.FireType = Options::OpenHost;
    const QString password = QStringLiteral("Plain-Secret-77");
    {
        auto mgr = openManager();
        addSite(*mgr, mgr->model()->root(), QStringLiteral("Home"), [&](TSite *site) {
            EXPECT_EQ(site->windowTitle(), QStringLiteral("Orvane FTP - Site Options"));
            EXPECT_EQ(site->Pages->currentIndex(), 0);
            EXPECT_TRUE(site->anonymous->isChecked()); // a new site is anonymous
            EXPECT_EQ(site->port->text(), QStringLiteral("21"));
            EXPECT_EQ(site->tasks->text(), QStringLiteral("1"));
            typeInto(site->Host, QStringLiteral("127.0.0.1"));
            typeInto(site->Username, QStringLiteral("ann"));
            EXPECT_FALSE(site->anonymous->isChecked()); // typing a user name clears it
            EXPECT_EQ(site->Username->palette().color(QPalette::Text), QColor(Qt::black));
            typeInto(site->Password, password);
            typeInto(site->InitPath, QStringLiteral("pub/incoming"));
            QTest::keyClick(site->InitPath, Qt::Key_Tab);
            EXPECT_EQ(site->InitPath->text(), QStringLiteral("\\pub\\incoming\\"));
            site->Pages->setCurrentIndex(1);
            typeInto(site->port, QStringLiteral("2121"));
            typeInto(site->tasks, QStringLiteral("3"));
            QTest::mouseClick(site->passive, Qt::LeftButton);
            QTest::mouseClick(site->firewall, Qt::LeftButton);
        });
        const std::shared_ptr<TSiteObject> site = mgr->selectedSite();
        ASSERT_NE(site, nullptr);
        EXPECT_EQ(site->Host, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(site->Username, QStringLiteral("ann"));
        EXPECT_EQ(site->Password, password);
        EXPECT_EQ(site->InitialPath, QStringLiteral("\\pub\\incoming\\"));
        EXPECT_EQ(site->Port, 2121);
        EXPECT_EQ(site->Tasks, 3);
        EXPECT_TRUE(site->PassiveMode);
        EXPECT_EQ(site->Firewall, 2); // 1 + the firewall type of the options
        EXPECT_FALSE(site->Anonymous);

        // A port that is not a number stops the copy there: the fields before it are taken.
        ModalScript script;
        script.then<TSite>([](TSite *dialog) {
            EXPECT_EQ(dialog->Host->text(), QStringLiteral("127.0.0.1"));
            EXPECT_FALSE(dialog->anonymous->isChecked());
            typeInto(dialog->Host, QStringLiteral("localhost"));
            dialog->Pages->setCurrentIndex(1);
            typeInto(dialog->port, QStringLiteral("21x"));
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
        QTest::mouseClick(mgr->Edit, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(site->Host, QStringLiteral("localhost"));
        EXPECT_EQ(site->Port, 2121);
        EXPECT_TRUE(
                logLines.contains(QStringLiteral("!!: Error smgr-432 - Please Report to Author.")));

        QTest::mouseClick(mgr->Exit, Qt::LeftButton);
        EXPECT_FALSE(mgr->isVisible());
        EXPECT_EQ(mgr->result(), QDialog::Rejected);
    }

    // The store file holds the site with the password enciphered; the plain text nowhere.
    QFile file(storeFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    EXPECT_TRUE(stored.contains("localhost"));
    EXPECT_FALSE(stored.contains(password.toUtf8()));
    EXPECT_FALSE(stored.contains(password.toUtf8().toBase64()));

    // A new run reads it back.
    auto again = openManager();
    SiteNode *home = childNamed(again->model()->root(), QStringLiteral("Home"));
    ASSERT_NE(home, nullptr);
    ASSERT_NE(home->site(), nullptr);
    EXPECT_EQ(home->site()->Password, password);
    EXPECT_EQ(home->site()->Username, QStringLiteral("ann"));
    EXPECT_EQ(home->site()->Port, 2121);
    EXPECT_EQ(home->site()->InitialPath, QStringLiteral("\\pub\\incoming\\"));
    Registry reg(storeFile);
    ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Home"), false));
    const QString cipher = reg.readString(QStringLiteral("Password")).value_or(QString());
    EXPECT_EQ(cipher.size(), 3 + 16 * 3);
    EXPECT_TRUE(cipher.startsWith(QStringLiteral("001")));
}

TEST_F(SiteManagerWindow, ConnectAsksAboutARunningSession)
{
    prepareEmptyStore();
    auto mgr = openManager();
    addFolder(*mgr, mgr->model()->root(), QStringLiteral("F"));
    addSite(*mgr, mgr->model()->root(), QStringLiteral("S"), [](TSite *site) {
        typeInto(site->Host, QStringLiteral("127.0.0.1"));
    });
    SiteNode *site = childNamed(mgr->model()->root(), QStringLiteral("S"));
    bool loggedIn = false;
    bool quitsSession = true; // the session's own question answered Yes
    int disconnects = 0;
    mgr->sessionLoggedIn = [&loggedIn] {
        return loggedIn;
    };
    mgr->disconnectMain = [&disconnects, &quitsSession] {
        disconnects += quitsSession;
        return quitsSession;
    };

    // No session: Connect closes with OK.
    click(*mgr, site);
    QTest::mouseClick(mgr->Connect, Qt::LeftButton);
    EXPECT_EQ(mgr->result(), QDialog::Accepted);
    EXPECT_FALSE(mgr->isVisible());
    EXPECT_EQ(mgr->selectedSite()->Host, QStringLiteral("127.0.0.1"));

    // A logged-in session: No closes with Cancel and leaves the session alone.
    loggedIn = true;
    mgr->show();
    click(*mgr, site);
    QString question;
    {
        ModalScript script;
        script.then<QMessageBox>(answerQuestion(QMessageBox::No, &question));
        QTest::mouseClick(mgr->Connect, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(question,
              QStringLiteral("One session is allready in progress. Quit it and start a new?"));
    EXPECT_EQ(mgr->result(), QDialog::Rejected);
    EXPECT_EQ(disconnects, 0);

    // Yes ends the session, then OK. A double-click on the site goes the same way.
    mgr->show();
    click(*mgr, site);
    {
        ModalScript script;
        script.then<QMessageBox>(answerQuestion(QMessageBox::Yes));
        const QPoint at = mgr->TreeView->visualRect(mgr->model()->indexOf(site)).center();
        QTest::mouseDClick(mgr->TreeView->viewport(), Qt::LeftButton, {}, at);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(mgr->result(), QDialog::Accepted);
    EXPECT_EQ(disconnects, 1);

    // Yes, then No to the session's own question (tasks at work): the Site manager stays open
    // with the site selected, as if Connect had not been pressed.
    quitsSession = false;
    mgr->show();
    mgr->setResult(0);
    click(*mgr, site);
    {
        ModalScript script;
        script.then<QMessageBox>(answerQuestion(QMessageBox::Yes));
        QTest::mouseClick(mgr->Connect, Qt::LeftButton);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_TRUE(mgr->isVisible());
    EXPECT_EQ(mgr->result(), 0);
    EXPECT_EQ(mgr->selectedNode(), site);
    EXPECT_EQ(disconnects, 1);
    mgr->hide();

    // A double-click on a folder connects nothing.
    loggedIn = false;
    mgr->show();
    mgr->setResult(0);
    SiteNode *folder = childNamed(mgr->model()->root(), QStringLiteral("F"));
    click(*mgr, folder);
    const QPoint at = mgr->TreeView->visualRect(mgr->model()->indexOf(folder)).center();
    QTest::mouseDClick(mgr->TreeView->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(mgr->isVisible());
    EXPECT_EQ(mgr->result(), 0);

    // The site chosen for the session outlives its node.
    click(*mgr, site);
    const std::shared_ptr<TSiteObject> current = mgr->selectedSite();
    options.ConfirmDelete = false;
    QTest::mouseClick(mgr->Delete, Qt::LeftButton);
    EXPECT_EQ(childNamed(mgr->model()->root(), QStringLiteral("S")), nullptr);
    current->Bookmarks = QStringLiteral("pub\r\\pub\\");
    EXPECT_EQ(current->Host, QStringLiteral("127.0.0.1"));
}

TEST_F(SiteManagerWindow, ImportThroughTheFileDialog)
{
    prepareEmptyStore();
    const QString list = dir.filePath(QStringLiteral("ws_ftp.ini"));
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[_config_]\r\nHOST=x\r\n[Mirror]\r\nHOST=mirror.example\r\nUID=Anonymous\r\n"
                   "DIR=\"/pub\"\r\n[Bad]\r\nPORT=twenty\r\n[Never]\r\nHOST=never.example\r\n");
    }
    auto mgr = openManager();
    QString title;
    ModalScript script;
    script.then<QFileDialog>([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        typeInto(name, list);
        QTest::keyClick(name, Qt::Key_Return);
    });
    mgr->wsftp->trigger();
    EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    EXPECT_EQ(title, QStringLiteral("Import Sites"));
    EXPECT_EQ(captions(*mgr), (QStringList{"f:WS_FTP imported sites", "  s:Bad", "  s:Mirror"}));
    EXPECT_EQ(mgr->selectedNode()->text(), QStringLiteral("WS_FTP imported sites"));
    EXPECT_TRUE(logLines.contains(
            QStringLiteral("!!: Orvane FTP is unable to import sites from the specified list.")));
}
