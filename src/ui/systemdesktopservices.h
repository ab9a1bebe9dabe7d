#pragma once

#include "ui/desktopservices.h"

#include <QStringList>

// The desktop services of this system: QDesktopServices for opening, the user's trash of
// platform/trash.h for deleting. The text editor is $VISUAL, else the desktop's default application
// for text/plain (asked of xdg-mime once and read from its .desktop file).
class SystemDesktopServices : public DesktopServices
{
public:
    bool openFile(const QString &file, const QString &workingFolder) override;
    bool openFolder(const QString &folder) override;
    bool startTextEditor(const QString &file, const QString &workingFolder) override;
    bool moveToTrash(const QString &path, QString *reason) override;

    // The editor's command line with the file put in: the program first, then its arguments.
    // Empty when no editor is known. visual is the $VISUAL value, desktopExec the Exec line of
    // the default text application (used when visual is empty).
    static QStringList editorCommand(const QString &visual,
                                     const QString &desktopExec,
                                     const QString &file);

private:
    // The Exec line of the default text/plain application; looked up once.
    QString defaultTextExec();

    bool m_execLooked = false;
    QString m_exec;
};
