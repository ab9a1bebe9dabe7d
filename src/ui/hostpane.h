#pragma once

#include <QString>
#include <QWidget>

#include "widgets/filelistmodel.h"

#include <memory>

class FileIcons;
class FileListFill;
class FileListView;
class HeaderStatus;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TaskEngine;
class TDialog;

// The host pane (RPanel): the "Not connected" caption, or while connected the inner panel
// rpanel2 with the bookmark button and RStat over the folder tree RPathTree and the file list
// rWin. It owns these controls and is the window's one link to the engine's host side: the
// tree and the list are drawn only from the engine's listing buffer, the current, requested and
// root folders are the engine's, and a folder not yet listed is asked of the main session and
// shown when its listing arrives.
class HostPane : public QWidget
{
    Q_OBJECT

public:
    // Data of a host tree node or list row: true when its folder has been listed (it shows the
    // listed-folder overlay).
    static constexpr int ListedRole = FileListModel::MarkRole;

    // The engine must outlive the pane; the dialog asks for a folder (Change Folder).
    HostPane(TaskEngine &engine, FileIcons &icons, TDialog *dialog, QWidget *parent = nullptr);
    ~HostPane() override;

    // The controls, for the window's layout, focus rules and drag and drop.
    FileListView *rWin() const { return m_list; }
    QTreeWidget *RPathTree() const { return m_tree; }
    HeaderStatus *RStat() const { return m_status; }
    QPushButton *rbookmark() const { return m_bookmark; }
    QSplitter *rPanelSplit() const { return m_split; }
    QWidget *rpanel2() const { return m_inner; }
    QLabel *RPanelCaption() const { return m_caption; }
    // The pop-up menus of the list and the tree (owned by the window).
    void setPopups(QMenu *listMenu, QMenu *treeMenu);

    // The folder rWin shows (the engine's current host folder), internal form ("\pub\").
    QString currentFolder() const;
    // The folder of a tree node: the root folder followed by the node texts below the root.
    QString nodePath(const QTreeWidgetItem *node) const;
    // True when the node's folder has been listed.
    bool isListedNode(const QTreeWidgetItem *node) const;
    // Shows the tree and the list (true) or the "Not connected" caption.
    void setShown(bool shown);

    // Refills rWin from the listing buffer. A folder of many entries is made ready a slice per
    // turn of the event loop and shown whole when it is (fillPending() until then); a small one
    // before this returns.
    void FillFileList();
    bool fillPending() const { return m_fill != nullptr; }
    // Adds one item to rWin when folder is the folder it shows; returns its row or -1.
    int AddFileItem(
            bool noDupCheck, qint64 date, qint64 size, const QString &name, const QString &folder);
    // The tree node of a host folder, created where missing; names compare with regard to
    // case.
    QTreeWidgetItem *FindFolderNode(const QString &path);
    void RPathTree_ChangeFolder();
    // An expansion by the user: an unlisted node stays closed and its listing is requested.
    void RPathTree_Expanding(QTreeWidgetItem *node);
    void RWin_DblClick();
    void Menu_BufferClick();
    // Lists the current folder again.
    void reload();
    // Asks for a host folder and shows it.
    void changeFolder();
    // Sorts rWin by a column (1 Name .. 4 Modified) and remembers it in its tag.
    void sortList(int column);

Q_SIGNALS:
    // A host file is to be opened (internal host path).
    void fileOpenRequested(const QString &file);
    // RStat was pressed.
    void statusClicked();
    // The selection of the list or the tree's current node changed, or the list was refilled.
    void selectionChanged();
    // The pane was shown or hidden (setShown).
    void shownChanged(bool shown);
    // The list was refilled while the engine reported on it; hadFocus tells whether the list
    // had the focus before (the window gives it back where it was).
    void listRefilled(bool hadFocus);

private:
    void attachEngine();
    void loggingIn();
    void loggedIn(int hostType);
    void offline();
    void folderListed(const QString &folder, bool buffering);
    void showFolder(const QString &folder);
    void entriesChanged(const QString &folder);
    void folderRemoved(const QString &folder);
    void continueFill();
    void finishFill();
    void cancelFill();
    void requestListing(const QString &folder, QTreeWidgetItem *node);
    void setCurrentFolder(const QString &folder);
    QString rootFolder() const;
    QIcon listedIcon(const QIcon &icon) const;
    void markListed(QTreeWidgetItem *node);
    void expandQuietly(QTreeWidgetItem *node, bool expanded);

    TaskEngine &m_engine;
    FileIcons &m_icons;
    TDialog *m_dialog;
    QLabel *m_caption = nullptr;
    QWidget *m_inner = nullptr;
    QPushButton *m_bookmark = nullptr;
    HeaderStatus *m_status = nullptr;
    QSplitter *m_split = nullptr;
    QTreeWidget *m_tree = nullptr;
    FileListView *m_list = nullptr;
    QMenu *m_listMenu = nullptr;
    QMenu *m_treeMenu = nullptr;
    bool m_inExpandHandler = false;
    // The fill under way: what it shows, and the row to select again and whether to report the
    // refill (with the list's focus before it) when it is done.
    std::unique_ptr<FileListFill> m_fill;
    int m_fillRun = 0;
    QString m_fillSelect;
    bool m_fillReport = false;
    bool m_fillHadFocus = false;
};
