#pragma once

#include <QString>

class Registry;
class TSiteObject;

// Finds the saved site at path in the site store of registry: the texts of its folders and its
// own text below the Site manager's root, joined by "\" ("Software\Archives\GNU Software
// Archive"), compared without regard to case. False with the reason in error when no site is
// there (a folder is not a site) or the store cannot be read.
bool FindSavedSite(Registry &registry, const QString &path, TSiteObject *site, QString *error);
