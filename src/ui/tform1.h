#pragma once

#include "settings/layoutfont.h"
#include "tasks/extensioncache.h"
#include "ui/fileicons.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>

class Bookmarks;
class DragDrop;
class DesktopServices;
class FileCommands;
class FileListView;
class LayoutRecord;
class QAbstractItemModel;
class HeaderStatus;
class LogView;
class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QSpinBox;
class QSplitter;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class Options;
class QMenu;
class Registry;
class TaskEngine;
class TASCext;
class TDialog;
class TLogIn;
class TQuick;
class TZetup;
class WavPlayer;

// The main window: the local pane (folder tree over file list) on the left, the host pane on
// the right, the task panel, the log window along the bottom and the status bar.
//
// The window observes the engine and keeps no copy of its state beyond what it shows. The
// engine glue feeds it:
//   - the main session's state through setMainSessionState (on every state change and after
//     each idle), the reconnect countdown, the log-in information line count, the host pane's
//     shown state, the root and current host folders;
//   - TaskView and QueueView through setTaskModels with the engine's caption models; statPanels
//   with
//     the scheduler's status texts; logwin through appendLogLine for every line written;
// and listens to the signals below (Quick connect accepted, a local file to open, the task
// maximum changed, host entries to record). Every setter that changes what commands may do
// runs UpdateInterface, so the glue never has to.
//
// The controls are public members named as the rest of the program refers to them.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    enum InterfaceMode { SingleView = 0, DoubleView = 1, TaskViewMode = 2 };
    // Data of a host tree node or host list row: true when its folder has been listed (it
    // shows the listed-folder overlay).
    static constexpr int ListedRole = Qt::UserRole + 10;

    // A window with a task engine of its own (its options the defaults until readOptions).
    explicit TForm1(QWidget *parent = nullptr);
    // A window that shows and drives the given engine, which must outlive it. The Setup dialog
    // edits the engine's options object: hand the engine the program's one object (useOptions)
    // before the window is made.
    explicit TForm1(TaskEngine &engine, QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- Engine state (set by the engine glue) ----
    // The main session: connected is "state other than not connected"; idles is the number of
    // times it became idle since connecting (above 0 once its login finished).
    void setMainSessionState(bool connected, int idles);
    bool isConnected() const { return m_connected; }
    bool isReady() const { return m_connected && m_idles > 0; }
    // Seconds left before the next reconnect attempt, 0 when none is pending.
    void setReconnectCountdown(int seconds);
    // Lines held by the log-in information window.
    void setLoginInfoLineCount(int lines);
    // The host pane shows its tree and list (true) or the "Not connected" caption.
    void setRemotePaneShown(bool shown);
    // The row models of the task panel (the engine's task and queue captions).
    void setTaskModels(QAbstractItemModel *tasks, QAbstractItemModel *queue);
    // The host folder rWin shows, internal backslash form ("\pub\").
    void setCurrentHostFolder(const QString &folder) { m_currentHostFolder = folder; }
    QString currentHostFolder() const { return m_currentHostFolder; }
    // The top of what the host pane shows (set at login), internal backslash form.
    void setRootFolder(const QString &folder) { m_rootFolder = folder; }

    // ---- The engine (tform1_engine.cpp) ----
    // The task engine the window shows and drives. The window forwards the user's commands to
    // it and renders its models and signals; it keeps no copy of the engine's state.
    TaskEngine *engine() const { return m_engine; }
    // The live options (the engine's): the Setup dialog edits them in place.
    Options &options();
    // Reads the options record (the Setup dialog's start) and writes it (its end).
    void readOptions(Registry &registry);
    bool writeOptions(Registry &registry);
    // Quick connect while offline, Log Off while connected.
    void tbBtn_QuickClick();
    // Connects with the values of the Quick connect dialog.
    void QuickConnect();
    void tbBtn_StopClick();
    void Btn_QueueStopClick();
    void Btn_TaskKillClick();
    void Menu_SetupClick();
    void Menu_ShowLoginInfoClick();
    // The question asked before disconnecting while tasks are active.
    bool ConfirmDisconnect();
    // The sound service the engine plays its WAV files through.
    WavPlayer *wavPlayer() const { return m_wavPlayer; }

    // ---- Remote pane (tform1_remote.cpp) ----
    // The folder of a host tree node: the root folder followed by the node texts below the root.
    QString hostNodePath(const QTreeWidgetItem *node) const;
    // True when the node's folder has been listed (it carries the listed-folder overlay).
    bool isListedNode(const QTreeWidgetItem *node) const;
    void RPathTree_ChangeFolder();
    // An expansion by the user: an unlisted node stays closed and its listing is requested.
    void RPathTree_Expanding(QTreeWidgetItem *node);
    void RWin_DblClick();
    void Menu_BufferClick();

    // ---- File commands and bookmarks (tform1_commands.cpp) ----
    FileCommands *fileCommands() const { return m_fileCommands; }
    Bookmarks *bookmarks() const { return m_bookmarks; }
    // Drag and drop of the panes (dragdrop.cpp).
    DragDrop *dragDrop() const { return m_dragDrop; }
    // The desktop services the file commands use: the system's own unless replaced (tests put
    // in theirs; not owned then).
    void setDesktopServices(DesktopServices *services);

    // ---- Local pane ----
    // The current local folder in the internal form ("\" top level, "Z:\home\ann\", "Desktop\").
    QString currentLocalFolder() const { return m_localFolder; }
    // Reads the children of a local tree node (the root: Desktop and the drives).
    void FillLocalFolderNode(QTreeWidgetItem *node);
    // Refills lWin from the disk (false) or rWin from the listing buffer (true; the host pane
    // does that).
    void FillFileList(bool host);
    // Adds one item to a list when folder is the folder the list shows; returns its row or -1.
    // date is an MS-DOS date-time, -1 for today; size -1 marks a folder. Without noDupCheck an
    // item with the same caption is replaced. With recordInBuffer (host list only) the entry is
    // also reported through hostEntryRecorded for the listing buffer.
    int AddFileItem(bool noDupCheck,
                    bool recordInBuffer,
                    FileListView *list,
                    qint64 date,
                    qint64 size,
                    const QString &name,
                    const QString &folder);
    // The tree node for a "\"-separated path below the tree's root, created where missing.
    // Local names compare with regard to case, host names without.
    QTreeWidgetItem *FindFolderNode(QTreeWidget *tree, const QString &path);
    // Selects the local tree's node of the folder (internal form), creating the nodes on the
    // way, and shows the folder in lWin.
    void ChangeLocalFolder(const QString &folder);
    void LPathTree_Expanding(QTreeWidgetItem *node);
    void LPathTree_ChangeFolder();
    void LWin_DblClick();
    void Menu_ReloadClick();
    // fromStatus: a click on the header status (asks for a folder); else the menu item.
    void Menu_ChangeFolderClick(bool fromStatus);

    // ---- Modes and views ----
    void SetGUI(QAction *sender);
    InterfaceMode interfaceMode() const;
    void UpdateInterface();
    // column: 1 Name, 2 Size, 3 Type, 4 Modified.
    void SortListView(FileListView *list, int column);
    void Menu_ViewLargeClick();
    void Menu_ViewSmallClick();
    void Menu_ViewListClick();
    void Menu_ViewDetailsClick();
    void Menu_ViewInterfaceCtrlClick();
    void Menu_ViewGeneralCtrlClick();
    void Menu_ViewLabelsClick();
    // Shows or hides the toolbar captions on every "tbBtn" button.
    void ApplyTextLabels(bool on);
    void DockTopInsertRemoveBar();
    // A press on the status bar's first panel: left button one more task, right one fewer.
    void statMouseDown(Qt::MouseButton button, int x);
    // Keeps the track bar, the up-down and the label of the task maximum equal.
    void Change_MaxTasks(QObject *sender);
    // Opens the Quick connect dialog; on Connect emits quickConnectAccepted.
    void Menu_QuickConnectClick();

    // ---- Layout (tform1_layout.cpp) ----
    // Applies a layout record to the widgets field by field: geometry, columns, pane sizes,
    // ViewLayout, button style, view styles, bookmarks, labels and font, then the interface mode
    // through SetGUI. The window state (field 5) is left to the caller, which applies it after
    // everything else. Remembers what it applied so that saveLayout() can keep stored values
    // the widgets could not show exactly.
    void loadLayout(const LayoutRecord &layout);
    // The layout the widgets show now, the current mode's sizes saved into ViewLayout first.
    // A field whose widget still shows what loadLayout() applied keeps the loaded value (an
    // unmoved centred window stays centred). Works while the window is shown or after it closed.
    LayoutRecord saveLayout();
    // Called once the window is shown with a loaded layout: notes what the widgets show for it.
    void rememberShownLayout();
    // Gives the font to lWin, rWin, LPathTree, RPathTree, QueueView and TaskView.
    void ApplyFont(const LayoutFont &font);
    LayoutFont viewFont() const { return m_viewFont; }

    // The window's sizes per mode (see SetGUI).
    std::array<int, 17> ViewLayout;
    // The local bookmarks, sorted: entries "name\rfolder" (folder in the internal form).
    QStringList LocalBookmarks;

    // ---- Controls ----
    QToolBar *TB_Online = nullptr;
    QToolBar *TB_Main = nullptr;
    QFrame *topbevel = nullptr;
    QAction *tbBtn_SiteManager = nullptr;
    QAction *tbBtn_Quick = nullptr;
    QAction *tbBtn_Reload = nullptr;
    QAction *tbBtn_Open = nullptr;
    QAction *tbBtn_Stop = nullptr;
    QAction *tbBtn_Upload = nullptr;
    QAction *tbBtn_Download = nullptr;
    QAction *tbBtn_Delete = nullptr;
    QAction *tbBtn_MkFolder = nullptr;
    QAction *tbBtn_iSingle = nullptr;
    QAction *tbBtn_iDouble = nullptr;
    QAction *tbBtn_iTask = nullptr;

    QAction *Menu_Setup = nullptr;
    QAction *Menu_SiteManager = nullptr;
    QAction *Menu_QuickConnect = nullptr;
    QAction *Menu_Exit = nullptr;
    QAction *Menu_Open = nullptr;
    QAction *Menu_View = nullptr;
    QAction *Menu_Transfer = nullptr;
    QAction *Menu_NewFolder = nullptr;
    QAction *Menu_Delete = nullptr;
    QAction *Menu_Rename = nullptr;
    QAction *Menu_Reload = nullptr;
    QAction *Menu_ChangeFolder = nullptr;
    QAction *Menu_Buffer = nullptr;
    QAction *Menu_Disconnect = nullptr;
    QAction *Menu_ViewInterfaceCtrl = nullptr;
    QAction *Menu_ViewGeneralCtrl = nullptr;
    QAction *Menu_ViewLabels = nullptr;
    QAction *Menu_ViewSingle = nullptr;
    QAction *Menu_ViewDouble = nullptr;
    QAction *Menu_ViewTask = nullptr;
    QAction *Menu_ViewLarge = nullptr;
    QAction *Menu_ViewSmall = nullptr;
    QAction *Menu_ViewList = nullptr;
    QAction *Menu_ViewDetails = nullptr;
    QAction *Menu_ViewBookmarks = nullptr;
    QAction *Menu_ShowLoginInfo = nullptr;
    QAction *Menu_ViewSetup = nullptr;
    QAction *Menu_About = nullptr;

    QMenu *LPopUp = nullptr;
    QMenu *RPopUp = nullptr;
    QMenu *LFolderPopUp = nullptr;
    QMenu *RFolderPopUp = nullptr;

    QSplitter *topwinspanel = nullptr; // TaskPanel | LPanel | RPanel; its handles are vSplit
    QSplitter *winSplit = nullptr;     // topwinspanel over logwin (handle: Splitter1)
    QWidget *TaskPanel = nullptr;
    QSplitter *tasksplitter = nullptr;
    QTreeView *TaskView = nullptr;
    QTreeView *QueueView = nullptr;
    QLabel *TasksLabel = nullptr;
    QSlider *Tasks = nullptr;
    QSpinBox *TaskUpDown = nullptr;
    QPushButton *Btn_TaskKill = nullptr;
    QPushButton *Btn_QueueStop = nullptr;

    QWidget *LPanel = nullptr;
    QPushButton *lbookmark = nullptr;
    HeaderStatus *LStat = nullptr;
    QSplitter *lPanelSplit = nullptr; // LPathTree over lWin
    QTreeWidget *LPathTree = nullptr;
    FileListView *lWin = nullptr;

    QWidget *RPanel = nullptr;
    QLabel *RPanelCaption = nullptr; // "Not connected"
    QWidget *rpanel2 = nullptr;
    QPushButton *rbookmark = nullptr;
    HeaderStatus *RStat = nullptr;
    QSplitter *rPanelSplit = nullptr; // RPathTree beside (single) or over (double, task) rWin
    QTreeWidget *RPathTree = nullptr;
    FileListView *rWin = nullptr;

    LogView *logwin = nullptr;
    QLabel *statPanels[3] = {nullptr, nullptr, nullptr};

    QMenu *TaskPopUp = nullptr;
    QMenu *QueuePopUp = nullptr;

    TQuick *Quick = nullptr;
    TDialog *Dialog = nullptr;
    TLogIn *LogIn = nullptr;
    TZetup *Zetup = nullptr;

Q_SIGNALS:
    // Connect was pressed in the Quick connect dialog; its values are in Quick.
    void quickConnectAccepted();
    // A local file is to be opened (internal path form).
    void localFileOpenRequested(const QString &file);
    // The maximum number of tasks changed through the status bar or the task panel.
    void maxTasksChanged(int maxTasks);
    // An entry added to the host list with record-in-buffer: "d"/"f" + name and "size*date".
    void hostEntryRecorded(const QString &folder, const QString &entry, const QString &line);
    // The log-in information window is to be shown.
    void loginInfoRequested();
    // A host file is to be opened (internal host path).
    void hostFileOpenRequested(const QString &file);

protected:
    friend class FileCommands;
    friend class Bookmarks;
    friend class DragDrop;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolbars();
    void createPanes();
    void createTaskPanel();
    void createStatusBar();
    void createPopups();
    void applyDefaultLayout();
    void onFocusChanged(QWidget *old, QWidget *now);

    void saveModeSizes();
    int hostTreeSizeIndex() const;
    void applyHostTreeSize();
    void setViewStyleOfActive(int style);
    void setListTabStop(FileListView *list, bool on);
    void markSplitter(QSplitter *splitter, bool grey);
    bool focusIn(const QWidget *widget) const;
    FileListView *activeList() const;
    int countSelected(FileListView *list) const;
    // The status panel's "n object(s)" of a list, ".." not counted.
    void showObjectCount(FileListView *list);
    bool folderSelected() const;

    QTreeWidgetItem *addFolderNode(QTreeWidgetItem *parent,
                                   const QString &text,
                                   const QString &label,
                                   const QIcon &icon,
                                   bool ordinary);
    void ensureChildrenRead(QTreeWidgetItem *node);
    QString localNodePath(const QTreeWidgetItem *node) const;
    void buildLocalTree();
    QString driveLetter() const;
    QString localNodeText(const QString &folder) const;

    // tform1_engine.cpp
    void attachEngine();
    void showMainState();
    void mainLoggingIn(const QString &host);
    void mainLoggedIn(int hostType);
    void mainOffline();
    void setCaptionTexts(const QString &occ, const QString &applicationTitle);
    void createTaskPopups();
    void renderLog();
    void showMessage(const QString &text);
    void localEntryChanged(const QString &folder, const QString &name, qint64 size);

    // tform1_remote.cpp
    void hostFolderListed(const QString &folder, bool buffering);
    void showHostFolder(const QString &folder);
    void hostEntriesChanged(const QString &folder);
    void hostFolderRemoved(const QString &folder);
    void requestHostListing(const QString &folder, QTreeWidgetItem *node);
    void hostReload();
    void hostChangeFolder();
    void fillHostList();
    QIcon listedIcon(const QIcon &icon) const;
    void markListed(QTreeWidgetItem *node);

    void createWindow();
    void attachFileCommands();

    TaskEngine *m_engine = nullptr;
    WavPlayer *m_wavPlayer = nullptr;
    bool m_inExpandHandler = false;
    std::unique_ptr<DesktopServices> m_systemServices;
    FileCommands *m_fileCommands = nullptr;
    Bookmarks *m_bookmarks = nullptr;
    DragDrop *m_dragDrop = nullptr;
    ExtensionCache m_extensionCache;
    FileIcons m_icons;
    bool m_mainStatePending = false; // showMainState is queued for the end of this turn
    QString m_folderTypeName;
    QString m_localFolder;
    QString m_currentHostFolder;
    QString m_rootFolder;
    bool m_connected = false;
    int m_idles = 0;
    int m_reconnectCountdown = 0;
    int m_loginInfoLines = 0;
    bool m_modeApplied = false;
    QPointer<QWidget> m_focus;
    QActionGroup *m_interfaceGroup = nullptr;
    QActionGroup *m_styleGroup = nullptr;
    LayoutFont m_viewFont;
    // What loadLayout() applied and what the widgets showed for it (as record fields).
    QStringList m_loadedFields;
    QStringList m_shownFields;
};
