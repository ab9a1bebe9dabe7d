#include "sites/passwordvault.h"

#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "sites/keyringstore.h"
#include "sites/mastercipher.h"
#include "sites/passwordcipher.h"

namespace {

const QString MasterCheckValue = QStringLiteral("MasterCheck");
const QLatin1String KeyringPrefix("keyring:");
const QLatin1String SealedPrefix("sealed:");

} // namespace

PasswordVault::PasswordVault(Registry &registry, KeyringStore *keyring)
    : m_registry(registry)
    , m_keyring(keyring)
{}

QString PasswordVault::passwordsKeyPath()
{
    return RegistryKeys::program() + QStringLiteral("\\Passwords");
}

bool PasswordVault::isKeyringForm(const QString &kept)
{
    return kept.startsWith(KeyringPrefix);
}

bool PasswordVault::isSealedForm(const QString &kept)
{
    return kept.startsWith(SealedPrefix);
}

QString PasswordVault::formValue(const QString &kept)
{
    return kept.mid(kept.indexOf(QLatin1Char(':')) + 1);
}

bool PasswordVault::keyringAnswers()
{
    if (!m_keyring)
        return false;
    if (!m_probed) {
        m_probed = true;
        m_keyring->read(QStringLiteral("probe"));
    }
    return m_keyring->answers();
}

bool PasswordVault::masterPasswordSet() const
{
    if (!m_registry.openKey(passwordsKeyPath(), false))
        return false;
    return !m_registry.readString(MasterCheckValue).value_or(QString()).isEmpty();
}

PasswordVault::Unlock PasswordVault::unlockWith(const QString &candidate)
{
    if (!m_registry.openKey(passwordsKeyPath(), false))
        return Unlock::NotSet;
    const QString check = m_registry.readString(MasterCheckValue).value_or(QString());
    if (check.isEmpty())
        return Unlock::NotSet;
    switch (MasterCipher::check(check, candidate)) {
    case MasterCipher::Opened::Ok:
        m_master = candidate;
        return Unlock::Unlocked;
    case MasterCipher::Opened::WrongPassphrase:
        return Unlock::Wrong;
    case MasterCipher::Opened::Damaged:
        break;
    }
    return Unlock::Damaged;
}

PasswordVault::Unlock PasswordVault::unlock()
{
    if (m_master)
        return Unlock::Unlocked;
    if (!masterPasswordSet())
        return Unlock::NotSet;
    if (m_gaveUp)
        return *m_gaveUp;
    Unlock last = Unlock::NotGiven;
    QString problem;
    while (m_prompt) {
        const std::optional<QString> candidate = m_prompt(problem);
        if (!candidate)
            break;
        last = unlockWith(*candidate);
        if (last == Unlock::Unlocked || last == Unlock::Damaged)
            return last;
        problem = unlockProblem(last);
    }
    m_gaveUp = last;
    return last;
}

bool PasswordVault::setMasterPassword(const QString &password)
{
    if (!m_registry.openKey(passwordsKeyPath(), true))
        return false;
    if (password.isEmpty()) {
        m_registry.deleteValue(MasterCheckValue);
        m_master.reset();
        return true;
    }
    const QString check = MasterCipher::makeVerifier(password);
    if (check.isEmpty() || !m_registry.writeString(MasterCheckValue, check))
        return false;
    m_master = password;
    m_gaveUp.reset();
    return true;
}

QString PasswordVault::unlockProblem(Unlock unlock)
{
    switch (unlock) {
    case Unlock::Unlocked:
        return QString();
    case Unlock::NotSet:
        return QStringLiteral("it is kept under a master password, but no master password is "
                              "set any more");
    case Unlock::NotGiven:
        return QStringLiteral("it is kept under the master password, which was not given");
    case Unlock::Wrong:
        return QStringLiteral("the master password given is wrong");
    case Unlock::Damaged:
        return QStringLiteral("the stored check of the master password is damaged");
    }
    return QString();
}

PasswordVault::Resolved PasswordVault::resolve(const QString &kept)
{
    Resolved result;
    const QString value = formValue(kept);
    if (isKeyringForm(kept)) {
        if (!m_keyring) {
            result.problem = QStringLiteral("it is kept in the desktop keyring, which this "
                                            "program does not use here");
            return result;
        }
        const KeyringStore::Reply reply = m_keyring->read(value);
        if (reply.status != KeyringStore::Status::Ok) {
            result.problem = QStringLiteral("it is kept in the desktop keyring, but %1")
                                     .arg(reply.problem);
            return result;
        }
        result.ok = true;
        result.password = reply.text;
        return result;
    }
    if (isSealedForm(kept)) {
        const Unlock state = unlock();
        if (state != Unlock::Unlocked) {
            result.problem = unlockProblem(state);
            return result;
        }
        switch (MasterCipher::open(value, *m_master, &result.password)) {
        case MasterCipher::Opened::Ok:
            result.ok = true;
            return result;
        case MasterCipher::Opened::WrongPassphrase:
        case MasterCipher::Opened::Damaged:
            // The master password is right (its check opened), so the stored text is damaged.
            result.problem = QStringLiteral("the stored password is damaged");
            return result;
        }
    }
    result.problem = QStringLiteral("the stored password has a form this program does not know");
    return result;
}

PasswordVault::Stored PasswordVault::keep(const QString &entry, const QString &plain)
{
    Stored stored;
    if (keyringAnswers()) {
        if (m_keyring->write(entry, plain).status == KeyringStore::Status::Ok) {
            stored.where = Stored::Where::Keyring;
            stored.value = entry;
            return stored;
        }
    }
    if (masterPasswordSet() && unlock() == Unlock::Unlocked) {
        const QString sealed = MasterCipher::seal(plain, *m_master);
        if (!sealed.isEmpty()) {
            stored.where = Stored::Where::Sealed;
            stored.value = sealed;
            return stored;
        }
    }
    m_usedObfuscation = true;
    stored.where = Stored::Where::Enciphered;
    stored.value = EncipherPassword(plain);
    return stored;
}

void PasswordVault::forget(const QString &entry)
{
    if (keyringAnswers())
        m_keyring->remove(entry);
}

QString PasswordVault::obfuscationNotice()
{
    return QStringLiteral(
            "No desktop keyring answers and no master password is set, so site passwords are "
            "saved in the old enciphered form. Its key is part of the program: anyone who gets "
            "a copy of the settings file can read them. Set a master password in Setup to keep "
            "them encrypted.");
}
