#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class Options;
class PasswordVault;
class QFileDialog;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeView;
class Registry;
class SiteNode;
struct SiteConnection;
class SiteTreeModel;
class TDialog;
class TSite;
class TSiteObject;

// The Site manager: the saved sites as a tree (the root "Site Manager", folders, sites) with
// buttons to add, edit, rename, delete, import and connect. Modal; exec() gives Accepted when
// the user chose Connect (button or double-click on a site), Rejected otherwise. After
// Accepted, selectedSite() is the site to connect with.
//
// The window creates it on first use and keeps it until shut-down. The store is read once,
// when it is first shown or when FormCreate() is called (asking askAddDefaults when there is
// no store yet), and written each time it closes and when it is destroyed.
//
// Host sessions are not its business: before it is shown, the owner sets sessionLoggedIn (is
// the main session logged in?) and disconnectMain (end it with its tasks); Connect asks
// whether to quit a running session and calls disconnectMain on Yes. Log lines (failures) are
// reported through messageLogged, in the log window's form ("!!: ...").
class TSiteMgr : public QDialog
{
    Q_OBJECT

public:
    TSiteMgr(Registry &registry, const Options &options, QWidget *parent = nullptr);
    ~TSiteMgr() override;

    // Hooks the owner sets; all may stay empty (no session; no defaults are offered).
    std::function<bool()> sessionLoggedIn;
    // Returns false when the session stays (the user answered No to its own question).
    std::function<bool()> disconnectMain;
    // The first-start question; empty means a Yes/No message box.
    std::function<bool()> askAddDefaults;

    // The site of the selected node, shared with the tree: it stays valid for the holder even
    // when the node is deleted later (the session connected from it keeps its bookmarks in it
    // until it ends). nullptr when no site is selected.
    std::shared_ptr<TSiteObject> selectedSite() const;
    SiteNode *selectedNode() const;
    SiteTreeModel *model() const { return m_model; }

    // Asks with the input dialog for the user name and the password a connection still needs
    // (the password masked). Cancel leaves the field empty: the connect goes ahead and the
    // host refuses the login.
    void completeLogin(SiteConnection &connection);

    // Where site passwords are kept (the keyring, under the master password); without one the
    // store keeps them in the old form. Set before the store is first read.
    void setPasswordVault(PasswordVault *vault) { m_vault = vault; }

    // Reads the store (once). Safe to call again.
    void FormCreate();
    // Writes the tree to the store; false (with a log line) when that failed.
    bool saveSites();

    // The handlers of the buttons and the tree.
    void Clicl();
    void Add_FolderClick();
    void Add_SiteClick();
    void EditClick();
    void RenameClick();
    void DeleteClick();
    void ConnectClick();
    void ExitClick();
    void TreeViewDblClick();
    // Whether a drag at pos (viewport coordinates) may be dropped there; the dragged node is
    // the selected one.
    bool TreeViewDragOver(const QPoint &pos) const;
    // Moves the selected node into the folder at pos when TreeViewDragOver allows it.
    bool TreeViewDragDrop(const QPoint &pos);
    void Import_Sites();
    // A site list file (JSON): the whole tree out, with passwords only under a passphrase;
    // a list in, below the root.
    void ExportClick();
    void Import_SiteList();

    QTreeView *TreeView;
    QPushButton *Add_Folder;
    QPushButton *Add_Site;
    QPushButton *Edit;
    QPushButton *Rename;
    QPushButton *Delete;
    QPushButton *Import;
    QMenu *PU_Import;
    QAction *wsftp;
    QAction *siteList;
    QPushButton *Export;
    QFileDialog *SiteListFile;
    QPushButton *Connect;
    QPushButton *Exit;
    QPlainTextEdit *description;
    QFileDialog *OpenFile;
    TDialog *Dialog;
    TSite *Site = nullptr; // created on first Edit

Q_SIGNALS:
    void messageLogged(const QString &line);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;

private:
    // Runs the input dialog until it gives a usable name (OK) or is cancelled. A name that
    // another entry of the folder already holds is refused with a message and the dialog comes
    // back with the text as typed. Returns the stripped name, or a null string.
    QString askName(const QString &caption,
                    const QString &prompt,
                    const QString &text,
                    const SiteNode *parent,
                    const SiteNode *self);
    bool ask(const QString &question);
    // What Clicl and TreeViewDragDrop do; an unexpected failure stops them with their line.
    void refresh();
    bool dropSelected(const QPoint &pos);
    void select(const SiteNode *node);
    SiteNode *nodeAtPos(const QPoint &pos) const;
    void log(const QString &line);
    // Masked text from the input dialog; nullopt on Cancel.
    std::optional<QString> askPassphrase(const QString &prompt);

    Registry &m_registry;
    const Options &m_options;
    SiteTreeModel *m_model;
    bool m_created = false;
    PasswordVault *m_vault = nullptr;
    bool m_toldObfuscation = false;
};
