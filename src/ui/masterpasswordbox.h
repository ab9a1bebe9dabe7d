#pragma once

#include "sites/passwordvault.h"

#include <QGroupBox>

class QLabel;
class QPushButton;
class Registry;

// The Setup dialog's "Saved passwords" group: where site passwords are kept now (the desktop
// keyring, under the master password, or in the old enciphered form) and the buttons to set,
// change or remove the master password. A change saves every site again so that the passwords
// follow it.
class MasterPasswordBox : public QGroupBox
{
    Q_OBJECT

public:
    MasterPasswordBox(Registry &registry, PasswordVault &vault, QWidget *parent = nullptr);

    // The prompt the vault asks the master password with: a masked input dialog over parent,
    // saying why the last answer was refused.
    static PasswordVault::Prompt dialogPrompt(QWidget *parent);

    void refresh();
    void SetClick();
    void RemoveClick();

    QLabel *Where;
    QPushButton *Set;
    QPushButton *Remove;

Q_SIGNALS:
    void messageLogged(const QString &line);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Asks for the current master password until it is right or the user cancels.
    bool unlockCurrent();
    void change(const QString &newPassword);

    Registry &m_registry;
    PasswordVault &m_vault;
};
