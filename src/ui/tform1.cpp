// TForm1: the actions, menus and toolbars, the first layout and the engine state it shows.
#include "ui/tform1.h"

#include "ftp/tcftp.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/aboutbox.h"
#include "ui/bookmarks.h"
#include "ui/desktopservices.h"
#include "ui/filecommands.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/logpanel.h"
#include "ui/reportedfailure.h"
#include "ui/taskpanel.h"
#include "ui/tdialog.h"
#include "ui/tquick.h"
#include "widgets/filelistview.h"
#include "widgets/paintpacer.h"

#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

QAction *newAction(QObject *parent,
                   const char *name,
                   const QString &caption,
                   const QKeySequence &key = {})
{
    auto *action = new QAction(caption, parent);
    action->setObjectName(QLatin1String(name));
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent)
    , m_engine(new TaskEngine(this))
    , m_icons(m_extensionCache)
{
    createWindow();
}

TForm1::TForm1(TaskEngine &engine, QWidget *parent)
    : QMainWindow(parent)
    , m_engine(&engine)
    , m_icons(m_extensionCache)
{
    createWindow();
}

void TForm1::createWindow()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvane FTP"));

    createActions();
    createMenus();
    createToolbars();
    Quick = new TQuick(this);
    Dialog = new TDialog(this);
    createPanes();
    createStatusBar();
    createPopups();

    attachEngine();
    attachFileCommands();

    connect(qApp, &QApplication::focusChanged, this, &TForm1::onFocusChanged);
    // Busy queues change the window on every turn of the event loop; 30 pictures a second
    // show it all.
    new PaintPacer(this, 33);
    applyDefaultLayout();
}

TForm1::~TForm1()
{
    // The engine may outlive the window, and its sessions report while they are torn down:
    // nothing of that may reach the half-destroyed window.
    m_engine->disconnect(this);
    m_engine->disconnect(m_fileCommands);
    m_engine->disconnect(m_bookmarks);
    m_engine->disconnect(m_localPane);
    m_engine->disconnect(m_hostPane);
    m_engine->disconnect(m_taskPanel);
    m_engine->log()->disconnect(this);
    m_logPanel->detach();
    m_engine->statusTexts()->disconnect(this);
    m_engine->setSoundPlayer(nullptr);
    m_engine->setConfirmDisconnect({});
}

void TForm1::createActions()
{
    Menu_Setup = newAction(this, "Menu_Setup", tr("&Setup"), QKeySequence(Qt::ALT | Qt::Key_1));
    Menu_SiteManager = newAction(
            this, "Menu_SiteManager", tr("&Site Manager"), QKeySequence(Qt::ALT | Qt::Key_2));
    Menu_QuickConnect = newAction(
            this, "Menu_QuickConnect", tr("&Quick Connect"), QKeySequence(Qt::ALT | Qt::Key_3));
    Menu_Exit = newAction(this, "Menu_Exit", tr("&Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    Menu_Open = newAction(this, "Menu_Open", tr("&Open"), QKeySequence(Qt::Key_Return));
    Menu_View = newAction(this, "Menu_View", tr("&View"), QKeySequence(Qt::CTRL | Qt::Key_V));
    Menu_Transfer
            = newAction(this, "Menu_Transfer", tr("&Transfer"), QKeySequence(Qt::CTRL | Qt::Key_T));
    Menu_NewFolder
            = newAction(this, "Menu_NewFolder", tr("&New Folder"), QKeySequence(Qt::Key_Insert));
    Menu_Delete = newAction(this, "Menu_Delete", tr("D&elete"), QKeySequence(Qt::Key_Delete));
    Menu_Rename = newAction(this, "Menu_Rename", tr("&Rename"), QKeySequence(Qt::Key_F2));
    Menu_Reload = newAction(this, "Menu_Reload", tr("Re&load"), QKeySequence(Qt::Key_F5));
    Menu_ChangeFolder = newAction(
            this, "Menu_ChangeFolder", tr("&Change Folder"), QKeySequence(Qt::CTRL | Qt::Key_D));
    Menu_Buffer = newAction(this, "Menu_Buffer", tr("&Buffer"), QKeySequence(Qt::CTRL | Qt::Key_B));
    Menu_Disconnect = newAction(
            this, "Menu_Disconnect", tr("&Disconnect"), QKeySequence(Qt::CTRL | Qt::Key_L));

    Menu_ViewInterfaceCtrl = newAction(this, "Menu_ViewInterfaceCtrl", tr("&Interface Controls"));
    Menu_ViewGeneralCtrl = newAction(this, "Menu_ViewGeneralCtrl", tr("&General Controls"));
    Menu_ViewLabels = newAction(this, "Menu_ViewLabels", tr("&Text Labels"));
    for (QAction *toggle : {Menu_ViewInterfaceCtrl, Menu_ViewGeneralCtrl, Menu_ViewLabels}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }

    Menu_ViewSingle
            = newAction(this, "Menu_ViewSingle", tr("&Single View"), QKeySequence(Qt::Key_F6));
    Menu_ViewDouble
            = newAction(this, "Menu_ViewDouble", tr("Do&uble View"), QKeySequence(Qt::Key_F7));
    Menu_ViewTask = newAction(this, "Menu_ViewTask", tr("&Task View"), QKeySequence(Qt::Key_F8));
    m_interfaceGroup = new QActionGroup(this);
    for (QAction *mode : {Menu_ViewSingle, Menu_ViewDouble, Menu_ViewTask}) {
        mode->setCheckable(true);
        m_interfaceGroup->addAction(mode);
        connect(mode, &QAction::triggered, this, [this, mode] { SetGUI(mode); });
    }
    Menu_ViewDouble->setChecked(true);

    Menu_ViewLarge = newAction(
            this, "Menu_ViewLarge", tr("Lar&ge Icons"), QKeySequence(Qt::SHIFT | Qt::Key_G));
    Menu_ViewSmall = newAction(
            this, "Menu_ViewSmall", tr("S&mall Icons"), QKeySequence(Qt::SHIFT | Qt::Key_S));
    Menu_ViewList
            = newAction(this, "Menu_ViewList", tr("&List"), QKeySequence(Qt::SHIFT | Qt::Key_L));
    Menu_ViewDetails = newAction(
            this, "Menu_ViewDetails", tr("&Details"), QKeySequence(Qt::SHIFT | Qt::Key_D));
    // Checked states are set item by item by UpdateInterface (none when no pane is active),
    // so the group does not make them exclusive.
    m_styleGroup = new QActionGroup(this);
    m_styleGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (QAction *style : {Menu_ViewLarge, Menu_ViewSmall, Menu_ViewList, Menu_ViewDetails}) {
        style->setCheckable(true);
        m_styleGroup->addAction(style);
    }
    connect(Menu_ViewLarge, &QAction::triggered, this, &TForm1::Menu_ViewLargeClick);
    connect(Menu_ViewSmall, &QAction::triggered, this, &TForm1::Menu_ViewSmallClick);
    connect(Menu_ViewList, &QAction::triggered, this, &TForm1::Menu_ViewListClick);
    connect(Menu_ViewDetails, &QAction::triggered, this, &TForm1::Menu_ViewDetailsClick);

    Menu_ViewBookmarks = newAction(
            this, "Menu_ViewBookmarks", tr("&Bookmarks"), QKeySequence(Qt::SHIFT | Qt::Key_B));
    Menu_ShowLoginInfo = newAction(
            this, "Menu_ShowLoginInfo", tr("&LogIn Info"), QKeySequence(Qt::SHIFT | Qt::Key_I));
    Menu_ViewSetup = newAction(this, "Menu_ViewSetup", tr("&Setup"));
    Menu_About = newAction(this, "Menu_About", tr("&About..."));

    connect(Menu_Exit, &QAction::triggered, this, &QWidget::close);
    connect(Menu_QuickConnect, &QAction::triggered, this, &TForm1::tbBtn_QuickClick);
    connect(Menu_Reload, &QAction::triggered, this, &TForm1::Menu_ReloadClick);
    connect(Menu_ChangeFolder, &QAction::triggered, this, [this] {
        Menu_ChangeFolderClick(false);
    });
    connect(Menu_Open, &QAction::triggered, this, [this] {
        if (focusIn(m_localPane->lWin())) {
            RunReportingFailure(logLine(), "!!: Error u1-75444 - Please Report to Author.", [this] {
                m_localPane->LWin_DblClick();
            });
        } else if (focusIn(m_localPane->LPathTree())) {
            RunReportingFailure(logLine(), "!!: Error u1-6144 - Please Report to Author.", [this] {
                m_localPane->LPathTree_ChangeFolder();
            });
        } else if (focusIn(m_hostPane->rWin())) {
            RunReportingFailure(logLine(), "!!: Error u1-762 - Please Report to Author.", [this] {
                m_hostPane->RWin_DblClick();
            });
        } else if (focusIn(m_hostPane->RPathTree())) {
            m_engine->setExpandOnChange(true);
            RunReportingFailure(logLine(), "!!: Error u1-5111 - Please Report to Author.", [this] {
                m_hostPane->RPathTree_ChangeFolder();
            });
        }
    });
    connect(Menu_ViewSetup, &QAction::triggered, Menu_Setup, &QAction::trigger);
    connect(Menu_ViewInterfaceCtrl,
            &QAction::triggered,
            this,
            &TForm1::Menu_ViewInterfaceCtrlClick);
    connect(Menu_ViewGeneralCtrl, &QAction::triggered, this, &TForm1::Menu_ViewGeneralCtrlClick);
    connect(Menu_ViewLabels, &QAction::triggered, this, &TForm1::Menu_ViewLabelsClick);
    connect(Menu_ShowLoginInfo, &QAction::triggered, this, &TForm1::loginInfoRequested);
    connect(Menu_About, &QAction::triggered, this, [this] {
        AboutBox about(this);
        about.exec();
    });
}

void TForm1::createMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addActions({Menu_Setup, Menu_SiteManager, Menu_QuickConnect});
    file->addSeparator();
    file->addAction(Menu_Exit);

    QMenu *session = menuBar()->addMenu(tr("&Session"));
    session->addActions({Menu_Open, Menu_View, Menu_Transfer});
    session->addSeparator();
    session->addActions({Menu_NewFolder, Menu_Delete, Menu_Rename});
    session->addSeparator();
    session->addActions({Menu_Reload, Menu_ChangeFolder, Menu_Buffer});
    session->addSeparator();
    session->addAction(Menu_Disconnect);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QMenu *toolbars = view->addMenu(tr("&Toolbars"));
    toolbars->addActions({Menu_ViewInterfaceCtrl, Menu_ViewGeneralCtrl});
    toolbars->addSeparator();
    toolbars->addAction(Menu_ViewLabels);
    QMenu *mode = view->addMenu(tr("&Interface"));
    mode->addActions({Menu_ViewSingle, Menu_ViewDouble, Menu_ViewTask});
    QMenu *style = view->addMenu(tr("&Viewstyle"));
    style->addActions({Menu_ViewLarge, Menu_ViewSmall, Menu_ViewList, Menu_ViewDetails});
    view->addSeparator();
    view->addActions({Menu_ViewBookmarks, Menu_ShowLoginInfo});
    view->addSeparator();
    view->addAction(Menu_ViewSetup);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(Menu_About);
}

void TForm1::createToolbars()
{
    QStyle *st = style();
    auto button = [this](QToolBar *bar,
                         const char *name,
                         const QString &caption,
                         const QString &hint,
                         const QIcon &icon) {
        QAction *action = newAction(this, name, caption);
        action->setToolTip(hint);
        action->setStatusTip(hint);
        action->setIcon(icon);
        bar->addAction(action);
        bar->widgetForAction(action)->setObjectName(QLatin1String(name));
        return action;
    };

    TB_Online = new QToolBar(tr("General Controls"), this);
    TB_Online->setObjectName(QStringLiteral("TB_Online"));
    tbBtn_SiteManager = button(TB_Online,
                               "tbBtn_SiteManager",
                               tr("Site Mgr."),
                               tr("Open the site-manager"),
                               st->standardIcon(QStyle::SP_DirHomeIcon));
    tbBtn_Quick = button(TB_Online,
                         "tbBtn_Quick",
                         tr("Connect"),
                         tr("Quick Connect"),
                         st->standardIcon(QStyle::SP_DriveNetIcon));
    tbBtn_Reload = button(TB_Online,
                          "tbBtn_Reload",
                          tr("Reload"),
                          tr("Reload active folder"),
                          st->standardIcon(QStyle::SP_BrowserReload));
    tbBtn_Open = button(TB_Online,
                        "tbBtn_Open",
                        tr("Open"),
                        tr("Open selected file(s)/folder(s)"),
                        st->standardIcon(QStyle::SP_DialogOpenButton));
    TB_Online->addSeparator();
    tbBtn_Stop = button(TB_Online,
                        "tbBtn_Stop",
                        tr("Stop"),
                        tr("Stop current action"),
                        st->standardIcon(QStyle::SP_BrowserStop));
    tbBtn_Upload = button(TB_Online,
                          "tbBtn_Upload",
                          tr("Send"),
                          tr("Send file(s)/folder(s)"),
                          st->standardIcon(QStyle::SP_ArrowUp));
    tbBtn_Download = button(TB_Online,
                            "tbBtn_Download",
                            tr("Receive"),
                            tr("Receive file(s)/folder(s)"),
                            st->standardIcon(QStyle::SP_ArrowDown));
    TB_Online->addSeparator();
    tbBtn_Delete = button(TB_Online,
                          "tbBtn_Delete",
                          tr("Delete"),
                          tr("Delete selected file(s)/folder(s)"),
                          st->standardIcon(QStyle::SP_TrashIcon));
    tbBtn_MkFolder = button(TB_Online,
                            "tbBtn_MkFolder",
                            tr("New Dir."),
                            tr("Create a new folder"),
                            st->standardIcon(QStyle::SP_FileDialogNewFolder));
    for (QAction *action : {tbBtn_Reload,
                            tbBtn_Open,
                            tbBtn_Stop,
                            tbBtn_Upload,
                            tbBtn_Download,
                            tbBtn_Delete,
                            tbBtn_MkFolder})
        action->setEnabled(false);

    TB_Main = new QToolBar(tr("Interface Controls"), this);
    TB_Main->setObjectName(QStringLiteral("TB_Main"));
    tbBtn_iSingle = button(TB_Main,
                           "tbBtn_iSingle",
                           tr("Normal"),
                           tr("Switch to normal explorer interface"),
                           st->standardIcon(QStyle::SP_FileDialogListView));
    tbBtn_iDouble = button(TB_Main,
                           "tbBtn_iDouble",
                           tr("Double"),
                           tr("Switch to double explorer interface"),
                           st->standardIcon(QStyle::SP_FileDialogDetailedView));
    tbBtn_iTask = button(TB_Main,
                         "tbBtn_iTask",
                         tr("Tasks"),
                         tr("Switch to taskview interface"),
                         st->standardIcon(QStyle::SP_FileDialogContentsView));
    auto *modeButtons = new QActionGroup(this);
    for (QAction *mode : {tbBtn_iSingle, tbBtn_iDouble, tbBtn_iTask}) {
        mode->setCheckable(true);
        modeButtons->addAction(mode);
    }
    tbBtn_iDouble->setChecked(true);
    connect(tbBtn_iSingle, &QAction::triggered, this, [this] { SetGUI(Menu_ViewSingle); });
    connect(tbBtn_iDouble, &QAction::triggered, this, [this] { SetGUI(Menu_ViewDouble); });
    connect(tbBtn_iTask, &QAction::triggered, this, [this] { SetGUI(Menu_ViewTask); });

    connect(tbBtn_SiteManager, &QAction::triggered, Menu_SiteManager, &QAction::trigger);
    connect(tbBtn_Quick, &QAction::triggered, this, &TForm1::tbBtn_QuickClick);
    connect(tbBtn_Reload, &QAction::triggered, Menu_Reload, &QAction::trigger);
    connect(tbBtn_Open, &QAction::triggered, Menu_Open, &QAction::trigger);
    connect(tbBtn_Delete, &QAction::triggered, Menu_Delete, &QAction::trigger);
    connect(tbBtn_MkFolder, &QAction::triggered, Menu_NewFolder, &QAction::trigger);

    for (QToolBar *bar : {TB_Online, TB_Main}) {
        bar->setAllowedAreas(Qt::TopToolBarArea | Qt::LeftToolBarArea);
        bar->setIconSize(QSize(16, 16));
        // Captions in the small face of the classic toolbars, so that the buttons keep close to
        // their 48 pixels and both bars fit a 640 pixel window.
        QFont small = bar->font();
        small.setPointSizeF(qMax(6.0, small.pointSizeF() - 2));
        bar->setFont(small);
        bar->setContentsMargins(0, 0, 0, 0);
        bar->layout()->setSpacing(0);
        addToolBar(Qt::TopToolBarArea, bar);
        connect(bar, &QToolBar::visibilityChanged, this, [this] {
            DockTopInsertRemoveBar();
            UpdateInterface();
        });
        connect(bar, &QToolBar::topLevelChanged, this, &TForm1::DockTopInsertRemoveBar);
    }
}

void TForm1::applyDefaultLayout()
{
    // The layout a first start gets: 640 x 452 centred, every list in details style, the
    // views in the classic dialog font, and the sizes of each interface mode.
    ViewLayout = {208, 161, 65, 121, 54, 314, 20, 120, 59, 62, 54, 253, 80, 155, 59, 88, 59};
    resize(640, 452);
    fitOnScreen(true);
    FileListView *lWin = m_localPane->lWin();
    FileListView *rWin = m_hostPane->rWin();
    const int lColumns[4] = {120, 59, 61, 54};
    for (int i = 0; i < 4; ++i)
        lWin->setColumnWidth(i, lColumns[i]);
    keepSplitterPart(m_localPane->lPanelSplit(), true, 20);
    keepSplitterPart(m_taskPanel->tasksplitter(), true, 63);
    m_taskPanel->TaskView()->setColumnWidth(0, 249);
    m_taskPanel->QueueView()->setColumnWidth(0, 233);
    keepSplitterPart(winSplit, false, 36);
    lWin->setViewStyle(FileListView::Details);
    rWin->setViewStyle(FileListView::Details);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    for (QWidget *view : std::initializer_list<QWidget *>{lWin->detailsView(),
                                                          lWin->iconView(),
                                                          rWin->detailsView(),
                                                          rWin->iconView(),
                                                          m_localPane->LPathTree(),
                                                          m_hostPane->RPathTree(),
                                                          m_taskPanel->QueueView(),
                                                          m_taskPanel->TaskView()})
        view->setFont(font);
    ApplyTextLabels(true);
    SetGUI(Menu_ViewDouble);
    DockTopInsertRemoveBar();
    UpdateInterface();
}

void TForm1::Menu_QuickConnectClick()
{
    if (Quick->exec() == QDialog::Accepted)
        Q_EMIT quickConnectAccepted();
}

bool TForm1::isConnected() const
{
    return m_engine->MainFTP()->State() != csNotConnected;
}

bool TForm1::isReady() const
{
    return isConnected() && m_engine->MainFTP()->Idles() > 0;
}
