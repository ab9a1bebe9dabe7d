#include "ui/bookmarks.h"

#include "platform/localpath.h"
#include "tasks/taskengine.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"
#include "ui/tdialog.h"
#include "ui/tform1.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace {
const QChar CR = QLatin1Char('\r');
const char *TagProperty = "tag";

QString nameOf(const QString &entry)
{
    return Field(entry, 1, CR);
}

QString folderOf(const QString &entry)
{
    return Field(entry, 2, CR);
}

// A name cannot hold the characters that separate names from folders and entries.
QString cleanName(QString name)
{
    name.remove(CR);
    name.remove(QLatin1Char('\n'));
    return name;
}
} // namespace

Bookmarks::Bookmarks(TForm1 *form, TaskEngine *engine, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_local(form->localPane())
    , m_host(form->hostPane())
    , m_engine(engine)
{
    pu_bookmark = new QMenu(form);
    pu_bookmark->setObjectName(QStringLiteral("pu_bookmark"));
    pu_bookmark->setProperty(TagProperty, int(LocalSide));
    pubi_add = pu_bookmark->addAction(tr("&Add Bookmark"));
    pubi_add->setObjectName(QStringLiteral("pubi_add"));
    pubi_edit = pu_bookmark->addMenu(tr("&Edit Bookmark"));
    pubi_edit->setObjectName(QStringLiteral("pubi_edit"));
    pubi_remove = pu_bookmark->addMenu(tr("&Remove Bookmark"));
    pubi_remove->setObjectName(QStringLiteral("pubi_remove"));
    GotoBookmark = pu_bookmark->addSeparator();
    GotoBookmark->setObjectName(QStringLiteral("GotoBookmark"));

    connect(pubi_add, &QAction::triggered, this, &Bookmarks::pubi_addClick);
    connect(pu_bookmark, &QMenu::aboutToShow, this, &Bookmarks::pu_bookmarkPopup);
    connect(form->localPane()->lbookmark(),
            &QPushButton::pressed,
            this,
            &Bookmarks::lbookmarkMouseDown);
    connect(form->hostPane()->rbookmark(),
            &QPushButton::pressed,
            this,
            &Bookmarks::rbookmarkMouseDown);
    connect(form->Menu_ViewBookmarks,
            &QAction::triggered,
            this,
            &Bookmarks::Menu_ViewBookmarksClick);
    // The session's end takes the host list away (back into its site).
    connect(engine, qOverload<>(&TaskEngine::mainOffline), this, [this] {
        setSelected(HostSide, -1);
        BookmarkMenu(LocalSide);
        BookmarkMenu(HostSide);
    });
    for (const int s : {LocalSide, HostSide}) {
        if (button(s)->property(TagProperty).isNull())
            button(s)->setProperty(TagProperty, -1);
        BookmarkMenu(s);
    }
}

int Bookmarks::side() const
{
    return pu_bookmark->property(TagProperty).toInt();
}

int Bookmarks::selectedIndex(int side) const
{
    bool ok = false;
    const int index = button(side)->property(TagProperty).toInt(&ok);
    return ok ? index : -1;
}

QStringList &Bookmarks::list(int side) const
{
    return side == HostSide ? m_engine->hostBookmarks() : m_form->LocalBookmarks;
}

QPushButton *Bookmarks::button(int side) const
{
    return side == HostSide ? m_host->rbookmark() : m_local->lbookmark();
}

void Bookmarks::setSelected(int side, int index)
{
    button(side)->setProperty(TagProperty, index);
}

void Bookmarks::lbookmarkMouseDown()
{
    openMenu(LocalSide);
}

void Bookmarks::rbookmarkMouseDown()
{
    openMenu(HostSide);
}

void Bookmarks::openMenu(int side)
{
    pu_bookmark->setProperty(TagProperty, side);
    QPushButton *at = button(side);
    pu_bookmark->exec(at->mapToGlobal(QPoint(0, at->height())));
    at->setDown(false);
}

void Bookmarks::pu_bookmarkPopup()
{
    BookmarkMenu(side());
}

void Bookmarks::Menu_ViewBookmarksClick()
{
    if (m_form->localSideActive())
        openMenu(LocalSide);
    else if (m_form->hostSideActive())
        openMenu(HostSide);
}

void Bookmarks::BookmarkMenu(int side)
{
    // Lists loaded from the layout or a site may come in another order.
    sortList(side);
    QStringList &entries = list(side);
    QPushButton *at = button(side);
    pubi_edit->setEnabled(!entries.isEmpty());
    pubi_remove->setEnabled(!entries.isEmpty());

    // The generated items go later: one of them may be the item being handled right now.
    const auto dropItems = [](QMenu *menu, int from) {
        const QList<QAction *> items = menu->actions();
        for (int i = from; i < items.size(); ++i) {
            menu->removeAction(items.at(i));
            items.at(i)->deleteLater();
        }
    };
    dropItems(pu_bookmark, int(pu_bookmark->actions().indexOf(GotoBookmark)) + 1);
    dropItems(pubi_edit, 0);
    dropItems(pubi_remove, 0);

    if (entries.isEmpty())
        setSelected(side, -1);
    const int selected = selectedIndex(side);
    if (selected >= 0 && selected < entries.size()) {
        const QString &entry = entries.at(selected);
        at->setToolTip(QStringLiteral("Selected Bookmark:\n\n  -  Name : ") + nameOf(entry)
                       + QStringLiteral("\n  -  Folder : ") + shownFolder(side, folderOf(entry)));
    } else {
        at->setToolTip(QStringLiteral("Bookmarks"));
    }

    for (int i = 0; i < entries.size(); ++i) {
        const QString name = nameOf(entries.at(i));
        const auto add = [this, &name, i](QMenu *menu, Group group) {
            QAction *item = menu->addAction(name);
            item->setProperty(TagProperty, i);
            connect(item, &QAction::triggered, this, [this, group, i] {
                OnSelectBookmark(group, i);
            });
        };
        add(pu_bookmark, GoTo);
        add(pubi_edit, Edit);
        add(pubi_remove, Remove);
    }
}

QString Bookmarks::shownFolder(int side, const QString &folder) const
{
    if (side == HostSide)
        return folder;
    const QString native = LocalToNative(folder);
    return native.isEmpty() ? folder : native;
}

QString Bookmarks::storedFolder(int side, const QString &typed) const
{
    if (side == LocalSide && typed.startsWith(QLatin1Char('/')))
        return NativeToLocal(typed.endsWith(QLatin1Char('/')) ? typed : typed + QLatin1Char('/'));
    return typed;
}

// Name order without regard to case; the selected bookmark stays the same bookmark.
void Bookmarks::sortList(int side)
{
    QStringList &entries = list(side);
    const int selected = selectedIndex(side);
    const QString selectedEntry
            = selected >= 0 && selected < entries.size() ? entries.at(selected) : QString();
    std::stable_sort(entries.begin(), entries.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    if (!selectedEntry.isEmpty())
        setSelected(side, int(entries.indexOf(selectedEntry)));
}

void Bookmarks::pubi_addClick()
{
    const int s = side();
    const QString folder = s == HostSide ? m_host->currentFolder() : m_local->currentFolder();
    if (folder.isEmpty())
        return;
    TDialog *dialog = m_form->Dialog;
    dialog->setCaption(s == HostSide ? tr("Adding Host Bookmark") : tr("Adding Local Bookmark"));
    dialog->setPrompt(tr("Bookmark Name:"));
    dialog->setText(shownFolder(s, folder));
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString name = cleanName(dialog->text());
    if (name.isEmpty())
        return;
    list(s).append(name + CR + folder);
    sortList(s);
    BookmarkMenu(s);
}

void Bookmarks::OnSelectBookmark(Group group, int index)
{
    const int s = side();
    if (index < 0 || index >= list(s).size())
        return;
    switch (group) {
    case Remove:
        remove(s, index);
        break;
    case Edit:
        edit(s, index);
        break;
    case GoTo:
        goTo(s, index);
        break;
    }
    BookmarkMenu(s);
}

void Bookmarks::remove(int side, int index)
{
    list(side).removeAt(index);
    const int selected = selectedIndex(side);
    if (selected == index)
        setSelected(side, -1);
    else if (selected > index)
        setSelected(side, selected - 1);
}

void Bookmarks::edit(int side, int index)
{
    QStringList &entries = list(side);
    const QString entry = entries.at(index);
    TDialog *dialog = m_form->Dialog;
    dialog->setCaption(side == HostSide ? tr("Editing Host Bookmark")
                                        : tr("Editing Local Bookmark"));
    dialog->setPrompt(tr("Bookmark Name:"));
    dialog->setText(nameOf(entry));
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString name = cleanName(dialog->text());
    if (name.isEmpty())
        return;
    dialog->setPrompt(tr("Bookmark Folder:"));
    dialog->setText(shownFolder(side, folderOf(entry)));
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString folder = storedFolder(side, cleanName(dialog->text()));
    if (folder.isEmpty())
        return;
    entries[index] = name + CR + folder;
    sortList(side);
}

void Bookmarks::goTo(int side, int index)
{
    const QString folder = folderOf(list(side).at(index));
    if (side == HostSide) {
        // Listed afresh even when the buffer holds it: the bookmark is followed as it is now.
        m_engine->setExpandOnChange(true);
        m_engine->setRequestedFolder(folder);
        m_engine->mainCmdList().append(QStringLiteral("*list ") + folder);
        m_engine->Pass();
    } else {
        const QString local = ConvertPath(folder, BackslashForm);
        if (FolderExists(local)) {
            m_local->lWin()->setFocus(Qt::OtherFocusReason);
            m_local->ChangeLocalFolder(local);
        } else {
            QMessageBox box(QMessageBox::Information,
                            QStringLiteral("Orvane FTP"),
                            tr("Invalid Bookmark - Folder does not exist."),
                            QMessageBox::Ok,
                            m_form);
            box.setObjectName(QStringLiteral("BookmarkMessage"));
            box.exec();
        }
    }
    setSelected(side, index);
}
