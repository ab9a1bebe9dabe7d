#pragma once

#include "settings/layoutfont.h"
#include "tasks/extensioncache.h"
#include "ui/fileicons.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>

class Bookmarks;
struct CertificateInfo;
class DesktopServices;
class DragDrop;
class FileCommands;
class FileListView;
class HostPane;
class LayoutRecord;
class LocalPane;
class LogPanel;
class Options;
class Registry;
class TDialog;
class TLogIn;
class TQuick;
class TZetup;
class TaskEngine;
class TaskPanel;
class WavPlayer;
class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QueueTotals;
class QMenu;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// The main window: the local pane (folder tree over file list) on the left, the host pane on
// the right, the task panel, the log panel along the bottom and the status bar. The panes own
// their controls (LocalPane, HostPane, TaskPanel, LogPanel); the window composes them, owns
// the menus, toolbars and status bar, decides which side the user's commands act on and
// which commands are enabled (UpdateInterface), and keeps the window's layout.
//
// The window observes the engine and keeps no copy of its state: connection state, the host
// folders and the listing buffer are read from the engine when needed. It listens to the
// signals below (Quick connect accepted, a local file to open, the task maximum changed).
//
// The menu items and toolbar buttons are public members named as the rest of the program
// refers to them.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    enum InterfaceMode { SingleView = 0, DoubleView = 1, TaskViewMode = 2 };

    // A window with a task engine of its own (its options the defaults until readOptions).
    explicit TForm1(QWidget *parent = nullptr);
    // A window that shows and drives the given engine, which must outlive it. The Setup dialog
    // edits the engine's options object: hand the engine the program's one object (useOptions)
    // before the window is made.
    explicit TForm1(TaskEngine &engine, QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- The panes ----
    LocalPane *localPane() const { return m_localPane; }
    HostPane *hostPane() const { return m_hostPane; }
    TaskPanel *taskPanel() const { return m_taskPanel; }
    LogPanel *logPanel() const { return m_logPanel; }
    // The control that has (or last had) the keyboard focus inside the window is widget or
    // lies inside it, and is shown.
    bool focusIn(const QWidget *widget) const;
    // The local side (lWin or LPathTree) or the host side (rWin or RPathTree) is active.
    bool localSideActive() const;
    bool hostSideActive() const;

    // ---- Engine state, read from the engine ----
    // The main session is in a state other than not connected.
    bool isConnected() const;
    // Connected, and the main session has become idle since connecting (its login finished).
    bool isReady() const;

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
    void Menu_SetupClick();
    void Menu_ShowLoginInfoClick();
    // The question asked before disconnecting while tasks are active.
    bool ConfirmDisconnect();
    // The sound service the engine plays its WAV files through.
    WavPlayer *wavPlayer() const { return m_wavPlayer; }

    // ---- File commands and bookmarks (tform1_commands.cpp) ----
    FileCommands *fileCommands() const { return m_fileCommands; }
    Bookmarks *bookmarks() const { return m_bookmarks; }
    // Drag and drop of the panes (dragdrop.cpp).
    DragDrop *dragDrop() const { return m_dragDrop; }
    // The desktop services the file commands use: the system's own unless replaced (tests put
    // in theirs; not owned then).
    void setDesktopServices(DesktopServices *services);

    // ---- Both panes (tform1_panes.cpp) ----
    // The current local folder in the internal form ("\" top level, "Z:\home\ann\",
    // "Desktop\").
    QString currentLocalFolder() const;
    // The host folder rWin shows, internal backslash form ("\pub\").
    QString currentHostFolder() const;
    // Selects the local folder (internal form) in the tree and shows it in lWin.
    void ChangeLocalFolder(const QString &folder);
    // Refills lWin from the disk (false) or rWin from the listing buffer (true).
    void FillFileList(bool host);
    // Adds one item to a list when folder is the folder it shows; returns its row or -1. date
    // is an MS-DOS date-time, -1 for today; size -1 marks a folder. Without noDupCheck an item
    // with the same caption is replaced.
    int AddFileItem(bool noDupCheck,
                    FileListView *list,
                    qint64 date,
                    qint64 size,
                    const QString &name,
                    const QString &folder);
    // The tree node for a "\"-separated path below the tree's root, created where missing.
    // Names compare with regard to case, local and host ones alike.
    QTreeWidgetItem *FindFolderNode(QTreeWidget *tree, const QString &path);
    // The Reload and Change Folder commands of the active side. fromStatus: a click on the
    // header status (the local side asks for a folder); else the menu item.
    void Menu_ReloadClick();
    void Menu_ChangeFolderClick(bool fromStatus);
    void Menu_BufferClick();

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
    // Makes the window no larger than the available part of the screen it stands on (the
    // primary one when centre is set or it stands on none) and moves it inside, centred there
    // when centre is set. Run again once the window is shown, when the frame around it is known.
    void fitOnScreen(bool centre);

    // The window's sizes per mode (see SetGUI).
    std::array<int, 17> ViewLayout;
    // The local bookmarks, sorted: entries "name\rfolder" (folder in the internal form).
    QStringList LocalBookmarks;

    // ---- Menus and toolbars ----
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

    // The pop-up menus of the panes' lists and trees.
    QMenu *LPopUp = nullptr;
    QMenu *RPopUp = nullptr;
    QMenu *LFolderPopUp = nullptr;
    QMenu *RFolderPopUp = nullptr;

    QSplitter *topwinspanel = nullptr; // TaskPanel | LPanel | RPanel; its handles are vSplit
    QSplitter *winSplit = nullptr;     // topwinspanel over logwin (handle: Splitter1)

    // ---- Status bar and dialogs ----
    QLabel *statPanels[3] = {nullptr, nullptr, nullptr};
    // Shown while the main session's control connection is protected by TLS.
    QLabel *statLock = nullptr;
    // The queue's totals: files and bytes left, time left (hidden while nothing is left).
    QLabel *statTotals = nullptr;
    QueueTotals *queueTotals = nullptr;
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
    // The log-in information window is to be shown.
    void loginInfoRequested();
    // A host file is to be opened (internal host path).
    void hostFileOpenRequested(const QString &file);
    // The user trusts the host certificate with this SHA-256 fingerprint always: the site
    // connected from keeps it.
    void certificatePinned(const QString &fingerprint);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createWindow();
    void createActions();
    void createMenus();
    void createToolbars();
    void createPanes();
    void createStatusBar();
    void createPopups();
    void applyDefaultLayout();
    // One part of a two-part splitter (the first or the second) kept at size until the user
    // drags the handle, whenever the splitter is shown or resized; and the part's size to save.
    void keepSplitterPart(QSplitter *splitter, bool first, int size);
    int keptSplitterPart(QSplitter *splitter, bool first) const;
    void onFocusChanged(QWidget *old, QWidget *now);

    // tform1_modes.cpp
    void applyInterfaceMode(QAction *sender);
    void saveModeSizes();
    int hostTreeSizeIndex() const;
    void applyHostTreeSize();
    void setViewStyleOfActive(int style);
    void setListTabStop(FileListView *list, bool on);
    void markSplitter(QSplitter *splitter, bool grey);
    FileListView *activeList() const;
    int countSelected(FileListView *list) const;
    bool folderSelected() const;

    // tform1_engine.cpp
    void attachEngine();
    // Writes a line to the log, tied to no session.
    std::function<void(const QString &)> logLine();
    void mainConnecting();
    void mainLoggingIn(const QString &host);
    void mainOffline();
    void setCaptionTexts(const QString &occ, const QString &applicationTitle);
    void showMessage(const QString &text);
    void askAboutCertificate(const CertificateInfo &certificate,
                             const QString &problem,
                             const QString &pinnedFingerprint);
    void showLock();

    // tform1_commands.cpp
    void attachFileCommands();

    TaskEngine *m_engine = nullptr;
    WavPlayer *m_wavPlayer = nullptr;
    std::unique_ptr<DesktopServices> m_systemServices;
    FileCommands *m_fileCommands = nullptr;
    Bookmarks *m_bookmarks = nullptr;
    DragDrop *m_dragDrop = nullptr;
    ExtensionCache m_extensionCache;
    FileIcons m_icons;
    bool m_interfaceUpdatePending = false; // UpdateInterface is queued for the end of this turn
    LocalPane *m_localPane = nullptr;
    HostPane *m_hostPane = nullptr;
    TaskPanel *m_taskPanel = nullptr;
    LogPanel *m_logPanel = nullptr;
    bool m_modeApplied = false;
    QPointer<QWidget> m_focus;
    QActionGroup *m_interfaceGroup = nullptr;
    QActionGroup *m_styleGroup = nullptr;
    LayoutFont m_viewFont;
    // What loadLayout() applied and what the widgets showed for it (as record fields).
    QStringList m_loadedFields;
    QStringList m_shownFields;
};
