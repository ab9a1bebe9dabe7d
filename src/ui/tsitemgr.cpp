#include "ui/tsitemgr.h"

#include "settings/options.h"
#include "sites/passwordvault.h"
#include "sites/siteconnection.h"
#include "sites/sitestore.h"
#include "sites/sitetreemodel.h"
#include "sites/wsftpimport.h"
#include "ui/reportedfailure.h"
#include "ui/tdialog.h"
#include "ui/tsite.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The three node images: the root, a folder (open while selected) and a site.
class SiteNodeDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QStyle *style = QApplication::style();
        option->features |= QStyleOptionViewItem::HasDecoration;
        switch (SiteNode::Kind(index.data(SiteTreeModel::KindRole).toInt())) {
        case SiteNode::Kind::Root:
            option->icon = style->standardIcon(QStyle::SP_DriveNetIcon);
            break;
        case SiteNode::Kind::Folder:
            option->icon = style->standardIcon((option->state & QStyle::State_Selected)
                                                       ? QStyle::SP_DirOpenIcon
                                                       : QStyle::SP_DirClosedIcon);
            break;
        case SiteNode::Kind::Site:
            option->icon = style->standardIcon(QStyle::SP_ComputerIcon);
            break;
        }
    }
};

QPushButton *namedButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

TSiteMgr::TSiteMgr(Registry &registry, const Options &options, QWidget *parent)
    : QDialog(parent)
    , m_registry(registry)
    , m_options(options)
    , m_model(new SiteTreeModel(this))
{
    setObjectName(QStringLiteral("SiteMgr"));
    setWindowTitle(tr("Q.S Orvane FTP - Site Manager"));

    TreeView = new QTreeView(this);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setModel(m_model);
    TreeView->setItemDelegate(new SiteNodeDelegate(TreeView));
    TreeView->header()->hide();
    TreeView->setRootIsDecorated(false);
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView->setDragEnabled(true);
    TreeView->setAcceptDrops(true);
    TreeView->setDragDropMode(QAbstractItemView::DragDrop);
    TreeView->setDefaultDropAction(Qt::MoveAction);
    TreeView->setMinimumSize(260, 300);
    TreeView->viewport()->installEventFilter(this);

    Add_Folder = namedButton("Add_Folder", tr("Add &Folder"), this);
    Add_Site = namedButton("Add_Site", tr("&Add Site"), this);
    Edit = namedButton("Edit", tr("&Edit"), this);
    Rename = namedButton("Rename", tr("&Rename"), this);
    Delete = namedButton("Delete", tr("&Delete"), this);
    Import = namedButton("Import", tr("&Import sites from..."), this);
    PU_Import = new QMenu(Import);
    wsftp = PU_Import->addAction(tr("WS FTP"));
    wsftp->setObjectName(QStringLiteral("wsftp"));
    siteList = PU_Import->addAction(tr("Orvane FTP site list..."));
    siteList->setObjectName(QStringLiteral("siteList"));
    Import->setMenu(PU_Import);
    Export = namedButton("Export", tr("E&xport sites..."), this);
    Connect = namedButton("Connect", tr("C&onnect"), this);
    Connect->setDefault(true);
    Exit = namedButton("Exit", tr("&Close"), this);

    description = new QPlainTextEdit(this);
    description->setObjectName(QStringLiteral("description"));
    description->setReadOnly(true);
    description->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    description->setMaximumHeight(90);
    description->installEventFilter(this);

    OpenFile = new QFileDialog(this, tr("Import Sites"));
    OpenFile->setObjectName(QStringLiteral("OpenFile"));
    OpenFile->setOption(QFileDialog::DontUseNativeDialog);
    OpenFile->setFileMode(QFileDialog::ExistingFile);
    OpenFile->setAcceptMode(QFileDialog::AcceptOpen);
    OpenFile->setNameFilter(tr("WS FTP sites (*.ini)"));
    OpenFile->setDefaultSuffix(QStringLiteral("ini"));
    OpenFile->selectFile(QStringLiteral("ws_ftp.ini"));

    SiteListFile = new QFileDialog(this);
    SiteListFile->setObjectName(QStringLiteral("SiteListFile"));
    SiteListFile->setOption(QFileDialog::DontUseNativeDialog);
    SiteListFile->setNameFilter(tr("Orvane FTP site lists (*.json)"));
    SiteListFile->setDefaultSuffix(QStringLiteral("json"));

    Dialog = new TDialog(this);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : {Add_Folder, Add_Site, Edit, Rename, Delete, Import, Export})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(Connect);
    buttons->addWidget(Exit);
    auto *top = new QHBoxLayout;
    top->addWidget(TreeView, 1);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(description);

    connect(Add_Folder, &QPushButton::clicked, this, &TSiteMgr::Add_FolderClick);
    connect(Add_Site, &QPushButton::clicked, this, &TSiteMgr::Add_SiteClick);
    connect(Edit, &QPushButton::clicked, this, &TSiteMgr::EditClick);
    connect(Rename, &QPushButton::clicked, this, &TSiteMgr::RenameClick);
    connect(Delete, &QPushButton::clicked, this, &TSiteMgr::DeleteClick);
    connect(Connect, &QPushButton::clicked, this, &TSiteMgr::ConnectClick);
    connect(Exit, &QPushButton::clicked, this, &TSiteMgr::ExitClick);
    connect(wsftp, &QAction::triggered, this, &TSiteMgr::Import_Sites);
    connect(siteList, &QAction::triggered, this, &TSiteMgr::Import_SiteList);
    connect(Export, &QPushButton::clicked, this, &TSiteMgr::ExportClick);
    connect(TreeView, &QTreeView::doubleClicked, this, &TSiteMgr::TreeViewDblClick);
    connect(TreeView->selectionModel(),
            &QItemSelectionModel::selectionChanged,
            this,
            &TSiteMgr::Clicl);
    Clicl();
}

TSiteMgr::~TSiteMgr()
{
    if (m_created) {
        m_toldObfuscation = true; // no box, and no question, while the windows go away
        if (m_vault)
            m_vault->setPrompt({});
        saveSites();
    }
}

void TSiteMgr::FormCreate()
{
    if (m_created)
        return;
    m_created = true;
    SiteStore store(m_registry, m_vault);
    std::function<bool()> question = askAddDefaults;
    if (!question)
        question = [this] {
            return ask(SiteStore::firstStartQuestion());
        };
    SiteStore::LoadResult loaded = store.open(question);
    if (!loaded.complete)
        log(QStringLiteral("!!: Error smu-512. Please Report to Author."));
    m_model->setRoot(std::move(loaded.root));
    TreeView->expand(m_model->indexOf(m_model->root()));
    Clicl();
}

bool TSiteMgr::saveSites()
{
    if (!m_model->root())
        return true;
    QString error;
    if (SiteStore(m_registry, m_vault).saveTree(*m_model->root(), &error)) {
        if (m_vault && m_vault->usedObfuscation() && !m_toldObfuscation) {
            m_toldObfuscation = true;
            log(QStringLiteral(" !: ") + PasswordVault::obfuscationNotice());
            auto *box = new QMessageBox(QMessageBox::Information,
                                        tr("Saved passwords"),
                                        PasswordVault::obfuscationNotice(),
                                        QMessageBox::Ok,
                                        parentWidget() ? parentWidget() : this);
            box->setObjectName(QStringLiteral("ObfuscationNotice"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        return true;
    }
    log(QStringLiteral(" !: The sites could not be saved: %1").arg(error));
    return false;
}

void TSiteMgr::showEvent(QShowEvent *event)
{
    FormCreate();
    if (!Site)
        Site = new TSite(this);
    QDialog::showEvent(event);
    Clicl();
    TreeView->setFocus(Qt::OtherFocusReason);
}

void TSiteMgr::done(int result)
{
    QDialog::done(result);
    saveSites();
}

bool TSiteMgr::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == description && event->type() == QEvent::FocusIn) {
        // Queued: a focus change from inside the focus-in notification would be undone.
        QMetaObject::invokeMethod(
                this, [this] { TreeView->setFocus(Qt::OtherFocusReason); }, Qt::QueuedConnection);
        return false;
    }
    if (watched != TreeView->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        const bool ours = drag->mimeData()->hasFormat(SiteTreeModel::mimeType());
        if (ours && TreeViewDragOver(drag->position().toPoint())) {
            drag->setDropAction(Qt::MoveAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const bool ours = drop->mimeData()->hasFormat(SiteTreeModel::mimeType());
        if (ours && TreeViewDragDrop(drop->position().toPoint())) {
            // Done here: the view must not remove the dragged rows itself.
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
        } else {
            drop->ignore();
        }
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

SiteNode *TSiteMgr::selectedNode() const
{
    const QModelIndexList selected = TreeView->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : m_model->nodeAt(selected.first());
}

std::shared_ptr<TSiteObject> TSiteMgr::selectedSite() const
{
    const SiteNode *node = selectedNode();
    return node ? node->sharedSite() : nullptr;
}

void TSiteMgr::select(const SiteNode *node)
{
    const QModelIndex index = m_model->indexOf(node);
    if (!index.isValid())
        return;
    TreeView->setCurrentIndex(index);
    TreeView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    TreeView->scrollTo(index);
}

SiteNode *TSiteMgr::nodeAtPos(const QPoint &pos) const
{
    return m_model->nodeAt(TreeView->indexAt(pos));
}

void TSiteMgr::log(const QString &line)
{
    Q_EMIT messageLogged(line);
}

bool TSiteMgr::ask(const QString &question)
{
    return QMessageBox::question(this,
                                 windowTitle(),
                                 question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}

void TSiteMgr::Clicl()
{
    RunReportingFailure([this](const QString &line) { log(line); },
                        "!!: Error smgr-1411 - Please Report to Author.",
                        [this] { refresh(); });
}

void TSiteMgr::refresh()
{
    const SiteNode *node = selectedNode();
    if (node && node->isSite() && !node->site()) {
        log(QStringLiteral("!!: Error smgr-33111 - Please Report to Author."));
        return;
    }
    const bool site = node && node->isSite();
    const bool container = node && !site;
    const bool folder = node && node->kind() == SiteNode::Kind::Folder;
    Add_Folder->setEnabled(container);
    Add_Site->setEnabled(container);
    Delete->setEnabled(folder || site);
    Rename->setEnabled(folder || site);
    Edit->setEnabled(site);
    Connect->setEnabled(site);
    if (site)
        description->setPlainText(node->site()->Description);
    else
        description->clear();
}

QString TSiteMgr::askName(const QString &caption,
                          const QString &prompt,
                          const QString &text,
                          const SiteNode *parent,
                          const SiteNode *self)
{
    Dialog->setCaption(caption);
    Dialog->setPrompt(prompt);
    Dialog->setText(text);
    while (Dialog->exec() == QDialog::Accepted) {
        const QString name = SiteTreeModel::stripSeparators(Dialog->text());
        switch (SiteTreeModel::checkName(parent, name, self)) {
        case SiteTreeModel::NameCheck::Ok:
            return name;
        case SiteTreeModel::NameCheck::Empty:
            return QString();
        case SiteTreeModel::NameCheck::Taken:
            QMessageBox::information(this,
                                     caption,
                                     tr("\"%1\" already holds a folder or site named \"%2\" "
                                        "(names are compared without regard to case). "
                                        "Please choose another name.")
                                             .arg(parent->text(), name));
            break;
        }
    }
    return QString();
}

void TSiteMgr::Add_FolderClick()
{
    SiteNode *parent = selectedNode();
    if (!parent || parent->isSite())
        return;
    const QString name = askName(tr("Add Folder"), tr("Foldername:"), QString(), parent, nullptr);
    if (!name.isEmpty()) {
        if (SiteNode *node = m_model->addFolder(parent, name))
            select(node);
    }
    Clicl();
}

void TSiteMgr::Add_SiteClick()
{
    SiteNode *parent = selectedNode();
    if (!parent || parent->isSite())
        return;
    const QString name = askName(tr("Add Site"), tr("Sitename:"), QString(), parent, nullptr);
    if (!name.isEmpty()) {
        if (SiteNode *node = m_model->addSite(parent, name, TSiteObject())) {
            select(node);
            EditClick();
        }
    }
    Clicl();
}

void TSiteMgr::EditClick()
{
    SiteNode *node = selectedNode();
    if (!node || !node->isSite())
        return;
    if (!Site)
        Site = new TSite(this);
    TSiteObject *site = node->site();
    Site->FormActivate(*site);
    if (Site->exec() != QDialog::Accepted)
        return;
    // Copied field by field in this order: a task count or port that is not a number stops
    // the copy there, and the fields before it keep their new values.
    site->Host = Site->Host->text();
    site->Username = Site->Username->text();
    site->Password = Site->Password->text();
    site->PassiveMode = Site->passive->isChecked();
    site->Encryption = Site->encryption->currentIndex();
    site->Firewall = Site->firewall->isChecked() ? quint8(1 + m_options.FireType) : 0;
    site->InitialPath = Site->InitPath->text();
    bool ok = false;
    const int tasks = Site->tasks->text().trimmed().toInt(&ok);
    if (ok) {
        site->Tasks = tasks;
        const int port = Site->port->text().trimmed().toInt(&ok);
        if (ok) {
            site->Port = port;
            site->Anonymous = Site->anonymous->isChecked();
            site->Description = Site->descriptionText();
        }
    }
    if (!ok)
        log(QStringLiteral("!!: Error smgr-432 - Please Report to Author."));
    m_model->siteChanged(node);
    description->setPlainText(site->Description);
    Clicl();
}

void TSiteMgr::RenameClick()
{
    SiteNode *node = selectedNode();
    if (!node || !node->parent())
        return;
    const bool site = node->isSite();
    const QString name = askName(site ? tr("Rename Site") : tr("Rename Folder"),
                                 site ? tr("New sitename:") : tr("New foldername:"),
                                 node->text(),
                                 node->parent(),
                                 node);
    if (!name.isEmpty())
        m_model->rename(node, name);
    Clicl();
}

void TSiteMgr::DeleteClick()
{
    SiteNode *node = selectedNode();
    if (!node || !node->parent())
        return;
    if (m_options.ConfirmDelete
        && !ask(node->isSite() ? tr("Are you sure you want to delete site entry?")
                               : tr("Are you sure you want to delete folder entry?")))
        return;
    SiteNode *parent = node->parent();
    m_model->remove(node);
    select(parent);
    Clicl();
}

void TSiteMgr::ConnectClick()
{
    const SiteNode *node = selectedNode();
    if (!node || !node->isSite())
        return;
    if (sessionLoggedIn && sessionLoggedIn()) {
        if (!ask(tr("One session is allready in progress. Quit it and start a new?"))) {
            reject();
            return;
        }
        // No to the session's own question keeps it, and the Site manager stays open as it was.
        if (disconnectMain && !disconnectMain())
            return;
    }
    accept();
}

void TSiteMgr::ExitClick()
{
    reject();
}

void TSiteMgr::TreeViewDblClick()
{
    // The same path as the button, so that a running session is not replaced unasked.
    if (Connect->isEnabled())
        ConnectClick();
}

bool TSiteMgr::TreeViewDragOver(const QPoint &pos) const
{
    bool allowed = false;
    RunReportingFailure(
            [this](const QString &line) {
                Q_EMIT const_cast<TSiteMgr *>(this)->messageLogged(line);
            },
            "!!: Error 8551 - Please Report to Author.",
            [&] { allowed = SiteTreeModel::canMove(selectedNode(), nodeAtPos(pos)); });
    return allowed;
}

bool TSiteMgr::TreeViewDragDrop(const QPoint &pos)
{
    bool moved = false;
    RunReportingFailure([this](const QString &line) { log(line); },
                        "!!: Error 8553 - Please Report to Author.",
                        [&] { moved = dropSelected(pos); });
    return moved;
}

bool TSiteMgr::dropSelected(const QPoint &pos)
{
    SiteNode *dragged = selectedNode();
    SiteNode *target = nodeAtPos(pos);
    if (!m_model->move(dragged, target))
        return false;
    TreeView->expand(m_model->indexOf(target));
    select(dragged);
    Clicl();
    return true;
}

void TSiteMgr::Import_Sites()
{
    if (OpenFile->exec() != QDialog::Accepted || OpenFile->selectedFiles().isEmpty())
        return;
    WsFtpImport import(*m_model);
    const bool ok = import.run(OpenFile->selectedFiles().constFirst());
    if (import.folder()) {
        TreeView->expand(m_model->indexOf(import.folder()));
        select(import.folder());
    }
    if (!ok)
        log(QStringLiteral("!!: Orvane FTP is unable to import sites from the specified list."));
    Clicl();
}

void TSiteMgr::completeLogin(SiteConnection &connection)
{
    if (connection.needsUsername) {
        Dialog->setCaption(tr("Needs username for session"));
        Dialog->setPrompt(tr("Session Username:"));
        Dialog->setText(QString());
        if (Dialog->exec() == QDialog::Accepted)
            connection.Username = Dialog->text();
    }
    if (connection.needsPassword) {
        Dialog->setCaption(tr("Needs password for session"));
        Dialog->setPrompt(tr("Session Password:"));
        Dialog->setText(QString());
        Dialog->Edit1->setEchoMode(QLineEdit::Password);
        if (Dialog->exec() == QDialog::Accepted)
            connection.Password = Dialog->text();
        Dialog->Edit1->setEchoMode(QLineEdit::Normal);
        Dialog->setText(QString());
    }
}
