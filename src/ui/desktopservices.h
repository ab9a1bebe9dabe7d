#pragma once

#include <QString>

// What the file commands ask of the desktop: open a file or folder with the program the desktop
// associates with it, start the text editor, move an item to the trash. Paths are native. The
// program uses SystemDesktopServices; tests put in their own to see what was asked.
//
// Programs are always started with an argument list, never through a shell: a host file name can
// hold any character.
class DesktopServices
{
public:
    virtual ~DesktopServices() = default;
    // Opens a file with its associated program; false when no program could be started.
    virtual bool openFile(const QString &file, const QString &workingFolder) = 0;
    // Shows a folder in the desktop's file manager; false on failure.
    virtual bool openFolder(const QString &folder) = 0;
    // Starts the default text editor with the file as its argument; false when it cannot start.
    virtual bool startTextEditor(const QString &file, const QString &workingFolder) = 0;
    // Moves a file or folder to the trash; false (and nothing deleted) when that cannot be done,
    // with the reason in reason.
    virtual bool moveToTrash(const QString &path, QString *reason) = 0;
};
