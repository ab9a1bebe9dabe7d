#pragma once

#include <QString>

#include <optional>

class Registry;
class TSiteObject;

// Finds the saved site at path in the site store of registry: the texts of its folders and its
// own text below the Site manager's root, joined by "\" ("Software\Archives\GNU Software
// Archive"), compared without regard to case. False with the reason in error when no site is
// there (a folder is not a site) or the store cannot be read.
bool FindSavedSite(Registry &registry, const QString &path, TSiteObject *site, QString *error);

// Gets the password of a site found by FindSavedSite whose password is kept in the desktop
// keyring or under the master password (masterPassword: the value of the variable named
// envName by --master-password-env, nullopt when it is not set). Never asks anyone. False with
// the exact reason in error when the password cannot be had.
bool ResolveSavedPassword(Registry &registry,
                          TSiteObject *site,
                          const QString &envName,
                          const std::optional<QString> &masterPassword,
                          QString *error);
