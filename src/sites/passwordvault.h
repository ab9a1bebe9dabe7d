#pragma once

#include <QString>

#include <functional>
#include <optional>

class KeyringStore;
class Registry;

// Decides where site passwords are kept and gets them back.
//
// Saving a password, in this order: the desktop keyring when one answers (the store keeps only
// the entry's name); else, when the user set a master password, a text sealed under it
// (MasterCipher); else the old enciphered form, which anyone with the program can read back,
// and usedObfuscation() turns true so that the front end can say so once.
//
// Reading: the site store hands over what it found ("kept" forms, see keyringForm() and
// sealedForm()); resolve() answers the plain password or says exactly why it cannot.
//
// The master password is asked for through the prompt the front end installs (a dialog, an
// environment variable), at most until the prompt gives up once; the right one is then kept
// for the life of this object. Its check (a verifier, never the password) lives in the value
// "MasterCheck" of the key passwordsKeyPath().
class PasswordVault
{
public:
    enum class Unlock { Unlocked, NotSet, NotGiven, Wrong, Damaged };

    // problem: empty on the first question, else why the last answer was refused. Answers the
    // candidate, or nullopt when the user gives up (or there is nobody to ask).
    using Prompt = std::function<std::optional<QString>(const QString &problem)>;

    struct Resolved
    {
        bool ok = false;
        QString password;
        QString problem; // why not, as a sentence part: "the master password given is wrong"
    };

    // keyring may be null: no keyring is used.
    PasswordVault(Registry &registry, KeyringStore *keyring);

    static QString passwordsKeyPath();

    // Kept forms, as the site store hands them over.
    static QString keyringForm(const QString &entry) { return QStringLiteral("keyring:") + entry; }
    static QString sealedForm(const QString &sealed) { return QStringLiteral("sealed:") + sealed; }
    static bool isKeyringForm(const QString &kept);
    static bool isSealedForm(const QString &kept);
    static QString formValue(const QString &kept); // the part after the prefix

    KeyringStore *keyring() const { return m_keyring; }
    // Asks the keyring once (a read of an entry that need not exist) and then remembers.
    bool keyringAnswers();

    // --- Master password --------------------------------------------------------------------
    bool masterPasswordSet() const;
    void setPrompt(Prompt prompt) { m_prompt = std::move(prompt); }
    // Asks through the prompt when not yet unlocked and not yet given up on.
    Unlock unlock();
    // Checks candidate against the stored check; unlocks on success.
    Unlock unlockWith(const QString &candidate);
    bool unlocked() const { return m_master.has_value(); }
    // Stores the check of a new master password (empty: removes it) and unlocks with it; not
    // saved until the registry is. Passwords sealed under the old one must be read first and
    // saved again after (SiteStore::saveTree does that for the whole tree).
    bool setMasterPassword(const QString &password);
    static QString unlockProblem(Unlock unlock);

    // --- Passwords ---------------------------------------------------------------------------
    Resolved resolve(const QString &kept);

    struct Stored
    {
        enum class Where { Keyring, Sealed, Enciphered } where = Where::Enciphered;
        QString value; // the keyring entry's name, the sealed text or the enciphered text
    };
    // Keeps plain for the site whose keyring entry would be named entry.
    Stored keep(const QString &entry, const QString &plain);
    // Removes a keyring entry no site uses any more.
    void forget(const QString &entry);

    bool usedObfuscation() const { return m_usedObfuscation; }
    // The sentence the front end shows once when usedObfuscation() is true.
    static QString obfuscationNotice();

private:
    Registry &m_registry;
    KeyringStore *m_keyring;
    Prompt m_prompt;
    std::optional<QString> m_master;
    std::optional<Unlock> m_gaveUp; // the outcome once the prompt gave up
    bool m_usedObfuscation = false;
    bool m_probed = false;
};
