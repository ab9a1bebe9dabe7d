// The Site manager's site list files: export of the whole tree, import below the root.
#include "sites/sitenode.h"
#include "sites/sitetreejson.h"
#include "sites/sitetreemodel.h"
#include "ui/tsitemgr.h"

#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>
#include <QTreeView>

std::optional<QString> TSiteMgr::askPassphrase(const QString &prompt)
{
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("PassphraseInput"));
    dialog.setWindowTitle(tr("Site list passphrase"));
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void TSiteMgr::ExportClick()
{
    FormCreate();
    if (!m_model->root())
        return;
    SiteListFile->setWindowTitle(tr("Export Sites"));
    SiteListFile->setFileMode(QFileDialog::AnyFile);
    SiteListFile->setAcceptMode(QFileDialog::AcceptSave);
    SiteListFile->selectFile(QStringLiteral("sites.json"));
    if (SiteListFile->exec() != QDialog::Accepted || SiteListFile->selectedFiles().isEmpty())
        return;
    const std::optional<QString> passphrase
            = askPassphrase(tr("A passphrase to encrypt the passwords with.\nLeave it empty to "
                               "export the sites without their passwords."));
    if (!passphrase)
        return;
    const QString path = SiteListFile->selectedFiles().constFirst();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(SiteTreeJson::write(*m_model->root(), *passphrase)) < 0 || !file.commit()) {
        log(QStringLiteral(" !: The sites could not be exported to %1: %2")
                    .arg(path, file.errorString()));
        QMessageBox::warning(this, tr("Export Sites"), file.errorString());
    }
}

void TSiteMgr::Import_SiteList()
{
    FormCreate();
    if (!m_model->root())
        return;
    SiteListFile->setWindowTitle(tr("Import Sites"));
    SiteListFile->setFileMode(QFileDialog::ExistingFile);
    SiteListFile->setAcceptMode(QFileDialog::AcceptOpen);
    if (SiteListFile->exec() != QDialog::Accepted || SiteListFile->selectedFiles().isEmpty())
        return;
    QFile file(SiteListFile->selectedFiles().constFirst());
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, tr("Import Sites"), file.errorString());
        return;
    }
    const QByteArray json = file.readAll();
    QString passphrase;
    if (json.contains("\"check\"")) {
        const std::optional<QString> given
                = askPassphrase(tr("The passphrase the passwords were exported with.\nLeave it "
                                   "empty to import the sites without their passwords."));
        if (!given)
            return;
        passphrase = *given;
    }
    // Built beside the tree and moved in through the model, so that the view follows.
    std::unique_ptr<SiteNode> scratch = SiteNode::makeRoot(QString());
    SiteTreeJson::Imported imported;
    QString error;
    if (!SiteTreeJson::read(json, passphrase, scratch.get(), &imported, &error)) {
        QMessageBox::warning(this, tr("Import Sites"), error);
        return;
    }
    std::function<void(const SiteNode &, SiteNode *, bool)> copy;
    copy = [&](const SiteNode &from, SiteNode *to, bool top) {
        for (int i = 0; i < from.childCount(); ++i) {
            const SiteNode *child = from.child(i);
            const QString name = top ? SiteTreeModel::uniqueName(to, child->text()) : child->text();
            if (const TSiteObject *site = child->site())
                m_model->addSite(to, name, *site);
            else if (SiteNode *folder = m_model->addFolder(to, name))
                copy(*child, folder, false);
        }
    };
    copy(*scratch, m_model->root(), true);
    TreeView->expand(m_model->indexOf(m_model->root()));
    log(QStringLiteral("!!: %1 sites imported%2.")
                .arg(imported.sites)
                .arg(imported.passwordsLeftOut ? QStringLiteral(", without their passwords")
                                               : QString()));
    Clicl();
}
