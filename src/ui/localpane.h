#pragma once

#include <QString>
#include <QWidget>

class FileIcons;
class FileListView;
class HeaderStatus;
class PacedCall;
class QMenu;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

// The local pane (LPanel): a header row with the bookmark button and LStat over the folder
// tree LPathTree and the file list lWin of this computer. It owns these controls and the
// current local folder, in the internal form ("\" top level, "Z:\home\ann\", "Desktop\").
//
// The window decides which side is active and calls the commands below; the pane reports a
// file to open, a press on its status row and changes of its selection.
class LocalPane : public QWidget
{
    Q_OBJECT

public:
    explicit LocalPane(FileIcons &icons, QWidget *parent = nullptr);

    // The controls, for the window's layout, focus rules and drag and drop.
    FileListView *lWin() const { return m_list; }
    QTreeWidget *LPathTree() const { return m_tree; }
    HeaderStatus *LStat() const { return m_status; }
    QPushButton *lbookmark() const { return m_bookmark; }
    QSplitter *lPanelSplit() const { return m_split; }
    // The pop-up menus of the list and the tree (owned by the window).
    void setPopups(QMenu *listMenu, QMenu *treeMenu);

    QString currentFolder() const { return m_folder; }
    // The top level shows the Desktop and the drives, which no command acts on.
    bool atTopLevel() const;
    // The folder of a tree node (internal form).
    QString nodePath(const QTreeWidgetItem *node) const;

    // Reads the children of a tree node (the root: Desktop and the drives).
    void FillLocalFolderNode(QTreeWidgetItem *node);
    // Refills lWin from the disk.
    void FillFileList();
    // Adds one item to lWin when folder is the folder it shows; returns its row or -1.
    int AddFileItem(
            bool noDupCheck, qint64 date, qint64 size, const QString &name, const QString &folder);
    // The tree node of a "\"-separated path below the root, created where missing. Names
    // compare with regard to case.
    QTreeWidgetItem *FindFolderNode(const QString &path);
    // Selects the folder's node (creating the nodes on the way) and shows it in lWin.
    void ChangeLocalFolder(const QString &folder);
    // Builds the tree on first use and shows the current folder.
    void buildTree();
    void LPathTree_Expanding(QTreeWidgetItem *node);
    void LPathTree_ChangeFolder();
    void LWin_DblClick();
    // Reads the current folder again: its tree node and its list.
    void reload();
    // fromStatus: asks for a folder; else re-synchronises the tree with the current folder.
    void changeFolder(bool fromStatus);
    // An entry the engine made on the disk: a file (name, size) or a folder (name empty). It
    // shows at the end of the turn, or with those arriving within the next fraction of a second.
    void showEntry(const QString &folder, const QString &name, qint64 size);
    // Sorts lWin by a column (1 Name .. 4 Modified) and remembers it in its tag.
    void sortList(int column);
    // The status panel's "n object(s)", ".." not counted.
    void showObjectCount();

Q_SIGNALS:
    // A file of the list is to be opened (internal path form).
    void fileOpenRequested(const QString &file);
    // LStat was pressed.
    void statusClicked();
    // The selection of the list or the tree's current node changed.
    void selectionChanged();

private:
    static constexpr int ArrivalIntervalMs = 100;
    struct Arrival
    {
        QString folder;
        QString name;
        qint64 size;
    };
    void showArrivals();
    void showArrival(const QString &folder, const QString &name, qint64 size);
    void ensureChildrenRead(QTreeWidgetItem *node);
    QString driveLetter() const;
    QString nodeTextOf(const QString &folder) const;

    FileIcons &m_icons;
    QPushButton *m_bookmark = nullptr;
    HeaderStatus *m_status = nullptr;
    QSplitter *m_split = nullptr;
    QTreeWidget *m_tree = nullptr;
    FileListView *m_list = nullptr;
    QMenu *m_listMenu = nullptr;
    QMenu *m_treeMenu = nullptr;
    QString m_folder;
    QList<Arrival> m_arrivals;
    PacedCall *m_showArrivals = nullptr;
};
