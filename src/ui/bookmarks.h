#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QPushButton;
class HostPane;
class LocalPane;
class TaskEngine;
class TForm1;

// The bookmark buttons of both panes and their shared drop-down menu. A bookmark is one text,
// the name, a carriage return, then the folder (internal local form or host folder form). The
// local list is the window's LocalBookmarks, saved with the window layout; the host list is the
// engine's, from the site connected from and back into it when the session ends. Both are kept
// sorted, which is name order.
//
// Each button's "tag" property holds the index of its side's selected bookmark, -1 for none; its
// tool tip (the hint) describes the selected bookmark or reads "Bookmarks".
class Bookmarks : public QObject
{
    Q_OBJECT

public:
    enum Side { LocalSide = 0, HostSide = 1 };
    enum Group { GoTo, Edit, Remove };

    Bookmarks(TForm1 *form, TaskEngine *engine, QObject *parent = nullptr);

    // The menu both buttons open, rebuilt each time it opens for the side in its "tag".
    QMenu *pu_bookmark;
    QAction *pubi_add;
    QMenu *pubi_edit;
    QMenu *pubi_remove;
    QAction *GotoBookmark; // the separator before the go-to items

    int side() const;
    // The selected bookmark of a side, -1 for none.
    int selectedIndex(int side) const;
    // The button presses: set the side, then open the menu below the button.
    void lbookmarkMouseDown();
    void rbookmarkMouseDown();
    void pu_bookmarkPopup();
    // Shift+B: the menu of the focused pane's side, as a click on its button would open it.
    void Menu_ViewBookmarksClick();
    void pubi_addClick();
    void OnSelectBookmark(Group group, int index);
    // Rebuilds the menu's generated items and the side's hint.
    void BookmarkMenu(int side);

private:
    QStringList &list(int side) const;
    QPushButton *button(int side) const;
    void setSelected(int side, int index);
    void openMenu(int side);
    // The folder as a person reads and types it (local folders native).
    QString shownFolder(int side, const QString &folder) const;
    QString storedFolder(int side, const QString &typed) const;
    void sortList(int side);
    void goTo(int side, int index);
    void edit(int side, int index);
    void remove(int side, int index);

    TForm1 *m_form;
    LocalPane *m_local;
    HostPane *m_host;
    TaskEngine *m_engine;
};
