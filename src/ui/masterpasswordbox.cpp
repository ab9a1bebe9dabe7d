#include "ui/masterpasswordbox.h"

#include "sites/keyringstore.h"
#include "sites/sitestore.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

std::optional<QString> askMasked(QWidget *parent, const QString &title, const QString &label)
{
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("MasterPasswordInput"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

} // namespace

MasterPasswordBox::MasterPasswordBox(Registry &registry, PasswordVault &vault, QWidget *parent)
    : QGroupBox(tr(" Saved passwords "), parent)
    , m_registry(registry)
    , m_vault(vault)
{
    setObjectName(QStringLiteral("MasterPasswordBox"));
    Where = new QLabel(this);
    Where->setObjectName(QStringLiteral("PasswordsWhere"));
    Where->setWordWrap(true);
    Set = new QPushButton(this);
    Set->setObjectName(QStringLiteral("SetMasterPassword"));
    Remove = new QPushButton(tr("&Remove master password..."), this);
    Remove->setObjectName(QStringLiteral("RemoveMasterPassword"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Where);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Set);
    buttons->addWidget(Remove);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(Set, &QPushButton::clicked, this, &MasterPasswordBox::SetClick);
    connect(Remove, &QPushButton::clicked, this, &MasterPasswordBox::RemoveClick);
}

void MasterPasswordBox::showEvent(QShowEvent *event)
{
    refresh(); // asks the keyring only when the page is first seen
    QGroupBox::showEvent(event);
}

PasswordVault::Prompt MasterPasswordBox::dialogPrompt(QWidget *parent)
{
    return [parent](const QString &problem) {
        QString label = tr("Master password of the saved sites:");
        if (!problem.isEmpty())
            label = problem + QStringLiteral(".\n") + label;
        return askMasked(parent, tr("Master password"), label);
    };
}

void MasterPasswordBox::refresh()
{
    const bool set = m_vault.masterPasswordSet();
    QString where;
    if (m_vault.keyringAnswers())
        where = tr("Site passwords are kept in the desktop keyring.");
    else if (set)
        where = tr("No desktop keyring answers: site passwords are kept encrypted under the "
                   "master password.");
    else
        where = tr("No desktop keyring answers and no master password is set: site passwords "
                   "are kept in the old enciphered form, which anyone with a copy of the "
                   "settings file can read.");
    Where->setText(where);
    Set->setText(set ? tr("&Change master password...") : tr("&Set master password..."));
    Remove->setEnabled(set);
}

bool MasterPasswordBox::unlockCurrent()
{
    if (!m_vault.masterPasswordSet() || m_vault.unlocked())
        return true;
    QString problem;
    for (;;) {
        QString label = tr("Current master password:");
        if (!problem.isEmpty())
            label = problem + QStringLiteral(".\n") + label;
        const std::optional<QString> given = askMasked(this, tr("Master password"), label);
        if (!given)
            return false;
        const PasswordVault::Unlock result = m_vault.unlockWith(*given);
        if (result == PasswordVault::Unlock::Unlocked)
            return true;
        problem = PasswordVault::unlockProblem(result);
        problem[0] = problem[0].toUpper();
    }
}

void MasterPasswordBox::SetClick()
{
    if (!unlockCurrent())
        return;
    const std::optional<QString> first
            = askMasked(this, tr("Master password"), tr("New master password:"));
    if (!first || first->isEmpty())
        return;
    const std::optional<QString> second
            = askMasked(this, tr("Master password"), tr("The new master password once more:"));
    if (!second)
        return;
    if (*second != *first) {
        QMessageBox::warning(this,
                             tr("Master password"),
                             tr("The two entries differ; the master password is unchanged."));
        return;
    }
    change(*first);
}

void MasterPasswordBox::RemoveClick()
{
    if (unlockCurrent())
        change(QString());
}

void MasterPasswordBox::change(const QString &newPassword)
{
    QString error;
    if (!SiteStore(m_registry, &m_vault).changeMasterPassword(newPassword, &error)) {
        QMessageBox::warning(this, tr("Master password"), error);
        Q_EMIT messageLogged(
                QStringLiteral(" !: The master password was not changed: %1").arg(error));
    }
    refresh();
}
