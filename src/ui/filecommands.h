#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class DesktopServices;
class Options;
class QWidget;
class HostPane;
class LocalPane;
class TaskEngine;
class TForm1;

// The main window's file commands: Open, View, Transfer, New Folder, Delete and Rename on either
// side. Local commands act on the disk at once; host commands only turn the selection into
// transfer-queue entries and main-session commands for the engine and run one scheduler pass.
//
// Created by the window once its engine exists; it connects the window's menu items and toolbar
// buttons itself. The window's live options are read at the moment of use (ConfirmTransfer,
// ConfirmDelete, DownLoadFolder). Questions are modal Yes/No boxes; a No drops the part of the
// selection it names and the rest goes on.
class FileCommands : public QObject
{
    Q_OBJECT

public:
    enum Action { Transfer = 0, Open = 1, View = 2, Delete = 3, Rename = 4 };

    // form must have its engine; services are not owned.
    FileCommands(TForm1 *form, DesktopServices *services, QObject *parent = nullptr);
    ~FileCommands() override;

    // Replaces the desktop services (not owned; the previous one stays with its owner).
    void setDesktopServices(DesktopServices *services) { m_services = services; }
    DesktopServices *desktopServices() const { return m_services; }

    // Menu and toolbar commands: each acts on the pane that has (or last had) the focus.
    void Menu_ViewClick();
    void Menu_TransferClick();
    void Menu_DeleteClick();
    void Menu_RenameClick();
    void Menu_NewFolderClick();

    // The two dispatchers. control is the list or the tree of their side; with the tree the
    // action applies to the current folder of that side. Both end with one scheduler pass.
    void LocalFileAction(QWidget *control, Action action, const QString &hostTarget = QString());
    void HostFileAction(QWidget *control, Action action, const QString &localTarget = QString());

    // A file received into the open or the view folder: hand it to the desktop.
    void openReceivedFile(const QString &folder, const QString &file);
    void viewReceivedFile(const QString &folder, const QString &file);

private:
    struct Selection
    {
        QStringList files;
        QStringList folders; // one empty name for a tree: its folder itself
        bool tree = false;
    };
    Selection selectionOf(QWidget *control) const;
    // Asks before + what the selection holds + after; false for No (or nothing selected).
    bool confirmSelection(const Selection &selection,
                          const QString &before,
                          const QString &after) const;
    bool askYesNo(const QString &text) const;
    void showMessage(const QString &text) const;
    void writeLog(const QString &line) const;
    const Options &options() const;
    bool localFocused() const;
    bool hostFocused() const;
    void reloadLocal();

    // filecommands_local.cpp
    void localTransfer(const QString &folder, const Selection &selection, const QString &target);
    void localOpen(const QString &folder, const Selection &selection);
    void localView(const QString &folder, const Selection &selection);
    void localDelete(const QString &folder, const Selection &selection);
    void localRename(const QString &folder, const Selection &selection);
    void localNewFolder();

    // filecommands_host.cpp
    void hostTransfer(const QString &folder, const Selection &selection, const QString &target);
    void hostFetch(const QString &folder, const Selection &selection, const QString &tempFolder);
    void hostDelete(const QString &folder, const Selection &selection);
    void hostRename(const QString &folder, const Selection &selection);
    void hostNewFolder();

    TForm1 *m_form;
    LocalPane *m_local;
    HostPane *m_host;
    TaskEngine *m_engine;
    DesktopServices *m_services;
};
