#include "ui/localpane.h"
#include "commanddriver.h"
#include "formdriver.h"

#include "platform/localpath.h"
#include "widgets/headerstatus.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

namespace {

void writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(QByteArray(size, 'x'));
}

// A folder the local pane lists in the tests below.
struct SampleFolder
{
    QTemporaryDir dir;

    SampleFolder()
    {
        EXPECT_TRUE(dir.isValid());
        writeFile(dir.filePath(QStringLiteral("small.bin")), 1023);
        writeFile(dir.filePath(QStringLiteral("big.bin")), 1048576);
        writeFile(dir.filePath(QStringLiteral("README")), 10);
        writeFile(dir.filePath(QStringLiteral("archive.xyz")), 5);
        writeFile(dir.filePath(QStringLiteral("notes.txt")), 2048);
        QDir(dir.path()).mkdir(QStringLiteral("Docs"));
        QDir(dir.path()).mkdir(QStringLiteral("docs"));
        QDir(dir.path()).mkdir(QStringLiteral("zeta"));
        writeFile(dir.filePath(QStringLiteral("Docs/upper-only.txt")), 1);
        writeFile(dir.filePath(QStringLiteral("docs/lower-only.txt")), 1);
        QDir(dir.path()).mkpath(QStringLiteral("zeta/inner/deepest"));
    }
    QString internal() const { return NativeToLocal(dir.path() + QLatin1Char('/')); }
};

bool inLocaleOrder(const QStringList &names)
{
    for (int i = 1; i < names.size(); ++i) {
        if (QString::localeAwareCompare(names.at(i - 1), names.at(i)) > 0)
            return false;
    }
    return true;
}

QStringList captions(FileListView *list)
{
    QStringList names;
    for (int row = 0; row < list->rowCount(); ++row)
        names << list->text(row, FileListView::NameColumn);
    return names;
}

TEST(LocalPane, StartsInTheHomeFolderWithTheTreeBuilt)
{
    auto form = showForm();
    EXPECT_EQ(form->currentLocalFolder(), NativeToLocal(QDir::homePath() + QLatin1Char('/')));
    ASSERT_EQ(form->localPane()->LPathTree()->topLevelItemCount(), 1);
    QTreeWidgetItem *root = form->localPane()->LPathTree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("(Local Computer)"));
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Desktop"));
    // The whole file system is one drive, shown as "/".
    EXPECT_EQ(root->child(1)->text(0), QStringLiteral("/"));
    EXPECT_EQ(form->localPane()->LStat()->panelText(2), QDir::homePath() + QLatin1Char('/'));
    // The selected node is the home folder's.
    ASSERT_NE(form->localPane()->LPathTree()->currentItem(), nullptr);
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem()->text(0),
              QDir(QDir::homePath()).dirName());
}

TEST(LocalPane, ListsAFolderWithSizesTypesAndTheParentEntry)
{
    SampleFolder sample;
    auto form = showForm();
    form->ChangeLocalFolder(sample.internal());
    FileListView *list = form->localPane()->lWin();

    EXPECT_EQ(form->currentLocalFolder(), sample.internal());
    // ".." first, then the folders, then the files, each group by name in the locale's order.
    const QStringList byName = captions(list);
    ASSERT_EQ(byName.size(), 9);
    EXPECT_EQ(byName.first(), "..");
    EXPECT_EQ(QSet<QString>(byName.begin() + 1, byName.begin() + 4),
              QSet<QString>({"Docs", "docs", "zeta"}));
    EXPECT_TRUE(inLocaleOrder(byName.mid(1, 3))) << byName.join('|').toStdString();
    EXPECT_TRUE(inLocaleOrder(byName.mid(4))) << byName.join('|').toStdString();
    EXPECT_EQ(list->text(rowOf(list, "small.bin"), FileListView::SizeColumn), "0KB");
    EXPECT_EQ(list->text(rowOf(list, "big.bin"), FileListView::SizeColumn), "1,024KB");
    EXPECT_EQ(list->text(rowOf(list, "notes.txt"), FileListView::SizeColumn), "2KB");
    EXPECT_EQ(list->text(rowOf(list, "README"), FileListView::TypeColumn), "README File");
    EXPECT_EQ(list->text(rowOf(list, "archive.xyz"), FileListView::TypeColumn), "XYZ File");
    EXPECT_NE(list->text(rowOf(list, "notes.txt"), FileListView::TypeColumn), "TXT File");
    // Folders and ".." have no size; ".." carries today's date.
    EXPECT_TRUE(list->text(rowOf(list, "Docs"), FileListView::SizeColumn).isEmpty());
    EXPECT_EQ(list->text(0, FileListView::ModifiedColumn),
              QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    // ".." is not counted; the first item is selected.
    EXPECT_EQ(form->localPane()->LStat()->panelText(1), QStringLiteral("8 object(s)"));
    EXPECT_EQ(form->localPane()->LStat()->panelText(2), sample.dir.path() + QLatin1Char('/'));
    EXPECT_EQ(list->selectedRows(), QList<int>({0}));
    EXPECT_FALSE(list->icon(rowOf(list, "README")).isNull());

    // Sorting by size keeps ".." first and folders before files; size texts are compared
    // padded to 8 characters ("000000KB" < "002KB..." < "01,024KB").
    QTest::mouseClick(list->detailsView()->header()->viewport(),
                      Qt::LeftButton,
                      {},
                      QPoint(list->detailsView()->header()->sectionViewportPosition(1) + 5, 5));
    EXPECT_EQ(list->tag(), 2);
    const QStringList bySize = captions(list);
    EXPECT_EQ(bySize.first(), "..");
    QStringList zeroSized;
    for (const QString &name : byName) {
        if (name == "archive.xyz" || name == "README" || name == "small.bin")
            zeroSized << name;
    }
    EXPECT_EQ(bySize.mid(1, 3), byName.mid(1, 3));
    EXPECT_EQ(bySize.mid(4), zeroSized + QStringList({"notes.txt", "big.bin"}));
}

TEST(LocalPane, SiblingsDifferingByCaseOpenTheRightFolder)
{
    SampleFolder sample;
    auto form = showForm();
    form->ChangeLocalFolder(sample.internal());
    FileListView *list = form->localPane()->lWin();

    doubleClickRow(list, rowOf(list, "Docs"));
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "Docs\\");
    EXPECT_EQ(captions(list), QStringList({"..", "upper-only.txt"}));
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem()->text(0), "Docs");

    doubleClickRow(list, rowOf(list, ".."));
    EXPECT_EQ(form->currentLocalFolder(), sample.internal());
    doubleClickRow(list, rowOf(list, "docs"));
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "docs\\");
    EXPECT_EQ(captions(list), QStringList({"..", "lower-only.txt"}));
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem()->text(0), "docs");

    // The tree holds both siblings, each once.
    QTreeWidgetItem *parent = form->localPane()->LPathTree()->currentItem()->parent();
    QStringList children;
    for (int i = 0; i < parent->childCount(); ++i)
        children << parent->child(i)->text(0);
    EXPECT_EQ(children.count("Docs"), 1);
    EXPECT_EQ(children.count("docs"), 1);

    // A click on the other sibling's node lists that one.
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == "Docs")
            clickNode(form->localPane()->LPathTree(), parent->child(i));
    }
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "Docs\\");
    EXPECT_EQ(captions(list), QStringList({"..", "upper-only.txt"}));
}

TEST(LocalPane, ParentEntryOfTheDriveLeadsToTheTopLevel)
{
    auto form = showForm();
    form->ChangeLocalFolder(NativeToLocal(QStringLiteral("/")));
    FileListView *list = form->localPane()->lWin();
    EXPECT_EQ(form->localPane()->LStat()->panelText(2), "/");
    doubleClickRow(list, rowOf(list, ".."));
    EXPECT_EQ(form->currentLocalFolder(), "\\");
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem(),
              form->localPane()->LPathTree()->topLevelItem(0));
    EXPECT_EQ(captions(list), QStringList({"Desktop", "/"}));
    EXPECT_EQ(form->localPane()->LStat()->panelText(2), "Select a drive or the Desktop");
    EXPECT_EQ(form->localPane()->LStat()->panelText(1), "2 object(s)");

    // Drives and Desktop keep their order whatever column is clicked.
    form->SortListView(list, 1);
    EXPECT_EQ(captions(list), QStringList({"Desktop", "/"}));

    // The drive item opens the root folder.
    doubleClickRow(list, rowOf(list, "/"));
    EXPECT_EQ(form->currentLocalFolder(), NativeToLocal(QStringLiteral("/")));
    EXPECT_EQ(list->text(0, 0), "..");
    EXPECT_GE(rowOf(list, "tmp"), 0);

    doubleClickRow(list, rowOf(list, ".."));
    doubleClickRow(list, rowOf(list, "Desktop"));
    EXPECT_EQ(form->localPane()->LStat()->panelText(2), DesktopFolder() + QLatin1Char('/'));
}

TEST(LocalPane, AddFileItemShowsOnlyItemsOfTheFolderShown)
{
    SampleFolder sample;
    auto form = showForm();
    form->ChangeLocalFolder(sample.internal());
    FileListView *list = form->localPane()->lWin();
    const int before = list->rowCount();

    // A late result for another folder, or for the same name in another letter case.
    EXPECT_EQ(form->AddFileItem(false, list, -1, 10, "late.txt", "Z:\\elsewhere\\"), -1);
    QString otherCase = sample.internal();
    otherCase = otherCase.left(3) + otherCase.mid(3).toUpper();
    if (otherCase != sample.internal())
        EXPECT_EQ(form->AddFileItem(false, list, -1, 10, "late.txt", otherCase), -1);
    EXPECT_EQ(list->rowCount(), before);

    // Without the duplicate check an item of the same caption is replaced, not doubled; a
    // caption in another case is another item.
    const int row = form->AddFileItem(false, list, -1, 4096, "README", sample.internal());
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->rowCount(), before);
    EXPECT_EQ(list->text(rowOf(list, "README"), FileListView::SizeColumn), "4KB");
    EXPECT_GE(form->AddFileItem(false, list, -1, 1, "readme", sample.internal()), 0);
    EXPECT_EQ(list->rowCount(), before + 1);

    // Arrivals and a folder made land at their sorted places, and the count follows them.
    for (const QString &name : {"0first.bin", "middle.dat", "zzz"})
        form->AddFileItem(false, list, -1, 1, name, sample.internal());
    form->AddFileItem(false, list, -1, -1, "Made", sample.internal());
    QStringList files;
    QStringList folders;
    for (int row = 1; row < list->rowCount(); ++row) {
        const bool folder = list->kind(row) == FileListView::FolderEntry;
        EXPECT_FALSE(folder && !files.isEmpty()) << "a folder after the files";
        (folder ? folders : files) << list->text(row, FileListView::NameColumn);
    }
    EXPECT_TRUE(inLocaleOrder(files)) << files.join(' ').toStdString();
    EXPECT_TRUE(inLocaleOrder(folders)) << folders.join(' ').toStdString();
    EXPECT_EQ(list->rowCount(), before + 5);
    EXPECT_EQ(form->localPane()->LStat()->panelText(1),
              QStringLiteral("%1 object(s)").arg(before + 4));
}

TEST(LocalPane, ReloadShowsNewFilesAndFolders)
{
    SampleFolder sample;
    auto form = showForm();
    form->ChangeLocalFolder(sample.internal());
    writeFile(sample.dir.filePath("fresh.dat"), 3000);
    QDir(sample.dir.path()).mkdir("newdir");
    EXPECT_EQ(rowOf(form->localPane()->lWin(), "fresh.dat"), -1);

    clickRow(form->localPane()->lWin(), 0);
    QTest::keyClick(form->localPane()->lWin()->currentView(), Qt::Key_F5);
    EXPECT_GE(rowOf(form->localPane()->lWin(), "fresh.dat"), 0);
    EXPECT_EQ(form->localPane()->lWin()->text(rowOf(form->localPane()->lWin(), "fresh.dat"),
                                              FileListView::SizeColumn),
              "2KB");
    QTreeWidgetItem *node = form->localPane()->LPathTree()->currentItem();
    ASSERT_NE(node, nullptr);
    QStringList children;
    for (int i = 0; i < node->childCount(); ++i)
        children << node->child(i)->text(0);
    EXPECT_TRUE(children.contains("newdir")) << children.join('|').toStdString();
}

TEST(LocalPane, DoubleClickOnAFileAsksToOpenIt)
{
    SampleFolder sample;
    auto form = showForm();
    RecordingServices services;
    form->setDesktopServices(&services);
    form->ChangeLocalFolder(sample.internal());
    QSignalSpy open(form.get(), &TForm1::localFileOpenRequested);
    doubleClickRow(form->localPane()->lWin(), rowOf(form->localPane()->lWin(), "notes.txt"));
    ASSERT_EQ(open.count(), 1);
    EXPECT_EQ(open.at(0).at(0).toString(), sample.internal() + "notes.txt");
    EXPECT_EQ(form->currentLocalFolder(), sample.internal());
    // The desktop is asked to open it.
    const QString folder = sample.dir.path() + "/";
    EXPECT_EQ(services.calls, QStringList{"open " + folder + "notes.txt in " + folder});
}

TEST(LocalPane, TreeNodesAreReadWhenExpanded)
{
    SampleFolder sample;
    auto form = showForm();
    form->ChangeLocalFolder(sample.internal());
    QTreeWidgetItem *folder = form->localPane()->LPathTree()->currentItem();
    ASSERT_NE(folder, nullptr);
    QTreeWidgetItem *zeta = nullptr;
    for (int i = 0; i < folder->childCount(); ++i) {
        if (folder->child(i)->text(0) == "zeta")
            zeta = folder->child(i);
    }
    ASSERT_NE(zeta, nullptr);
    // Not read yet: one placeholder stands for the children.
    ASSERT_EQ(zeta->childCount(), 1);
    EXPECT_EQ(zeta->child(0)->text(0), "*");

    form->localPane()->LPathTree()->setFocus();
    form->localPane()->LPathTree()->setCurrentItem(zeta);
    QTest::keyClick(form->localPane()->LPathTree(), Qt::Key_Right);
    EXPECT_TRUE(zeta->isExpanded());
    ASSERT_EQ(zeta->childCount(), 1);
    QTreeWidgetItem *inner = zeta->child(0);
    EXPECT_EQ(inner->text(0), "inner");
    // "inner" holds a folder, so it gets its own placeholder; the list has not changed.
    ASSERT_EQ(inner->childCount(), 1);
    EXPECT_EQ(inner->child(0)->text(0), "*");
    EXPECT_EQ(form->currentLocalFolder(), sample.internal());

    // Return on the tree opens the selected node's folder.
    form->localPane()->LPathTree()->setCurrentItem(inner);
    QTest::keyClick(form->localPane()->LPathTree(), Qt::Key_Return);
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "zeta\\inner\\");
    EXPECT_EQ(captions(form->localPane()->lWin()), QStringList({"..", "deepest"}));

    // Return in the list opens the selected folder.
    clickRow(form->localPane()->lWin(), rowOf(form->localPane()->lWin(), "deepest"));
    QTest::keyClick(form->localPane()->lWin()->currentView(), Qt::Key_Return);
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "zeta\\inner\\deepest\\");
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem()->text(0), "deepest");
}

TEST(LocalPane, ChangeFolderAsksForAFolderOrResynchronisesTheTree)
{
    SampleFolder sample;
    auto form = showForm();
    form->ChangeLocalFolder(sample.internal());

    // A click on the header status asks for the folder; Cancel changes nothing.
    auto answer = [](const QString &folder) {
        QTimer::singleShot(0, [folder] {
            QFileDialog *dialog = nullptr;
            QTest::qWaitFor(
                    [&dialog] {
                        dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                        return dialog != nullptr;
                    },
                    5000);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Change Local Folder");
            if (folder.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(folder);
                dialog->selectFile(folder);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
    };
    answer({});
    QTest::mouseClick(form->localPane()->LStat(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form->currentLocalFolder(), sample.internal());

    answer(sample.dir.filePath("docs"));
    QTest::mouseClick(form->localPane()->LStat(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "docs\\");
    EXPECT_EQ(captions(form->localPane()->lWin()), QStringList({"..", "lower-only.txt"}));
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem()->text(0), "docs");

    // The menu form brings the tree back to the folder shown.
    form->activateWindow(); // the desktop gives the window back its activation after a dialog
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->localPane()->LPathTree()->setCurrentItem(form->localPane()->LPathTree()->topLevelItem(0));
    clickRow(form->localPane()->lWin(), 0);
    QTest::keyClick(form->localPane()->lWin()->currentView(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(form->localPane()->LPathTree()->currentItem()->text(0), "docs");
    EXPECT_EQ(form->currentLocalFolder(), sample.internal() + "docs\\");
}

} // namespace
