#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class DragDropTracker;
class QDrag;
class QDropEvent;
class QMimeData;
class QTreeWidget;
class QTreeWidgetItem;
class HostPane;
class LocalPane;
class TaskEngine;
class Tdragdropdialog;
class TForm1;

// Drag and drop of the main window: drags start from lWin, LPathTree, rWin and RPathTree; lWin,
// rWin, both bookmark buttons, both trees and QueueView take drops. A drop never copies
// anything itself: it appends transfer-queue entries and runs one scheduler pass, as the menu
// commands do.
//
// Drops between the panes use the internal drag list (host paths cannot travel as file URLs);
// files dropped from another application onto the host side arrive as local file URLs
// ("text/uri-list"). Host items dragged out to another application are received into the
// drag-and-drop folder only when that application asks for the data, behind the please-wait
// dialog; the URLs of the local copies are handed out once every item has arrived.
//
// Created by the window once its engine exists; it watches the views itself.
class DragDrop : public QObject
{
    Q_OBJECT

public:
    enum DragState { NoDrag = 0, FromLWin = 1, FromLPathTree = 2, FromRWin = 3, FromRPathTree = 4 };

    DragDrop(TForm1 *form, TaskEngine *engine, QObject *parent = nullptr);
    ~DragDrop() override;

    // What runs the drag once it is set up; the default is QDrag::exec with copying as the only
    // action. Tests put in their own loop that sends the drag events.
    void setDragLoop(std::function<void(QDrag *)> loop) { m_dragLoop = std::move(loop); }

    int dragState() const { return m_dragState; }
    const QStringList &internalDragList() const { return m_internalDragList; }
    bool dropOnSelf() const { return m_dropOnSelf; }
    // The node of a tree that shows the drop highlight, or nullptr.
    QTreeWidgetItem *dropHighlight(const QTreeWidget *tree) const;
    // The please-wait dialog (created when first needed).
    Tdragdropdialog *dragdropdialog();

    // Starts a drag from the control (lWin, LPathTree, rWin or RPathTree) when its rules allow.
    void startDrag(QWidget *control);
    // Whether a drag over the control at pos (its viewport's or its own coordinates) may drop;
    // sets or removes the trees' drop highlight.
    bool OnOLEDragOver(QWidget *control, const QPoint &pos);
    // Host items released over another application (the data was asked for): receives them
    // into the drag-and-drop folder behind the please-wait dialog. True when all arrived.
    bool OnOLEDropping(int state, const QStringList &hostItems, const QStringList &localItems);
    void OnOLEDragDrop(QWidget *control, const QStringList &names, const QPoint &pos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QWidget *control, QWidget *eventSource);
    QWidget *controlOf(QObject *watched) const;
    bool handleDragEvent(QWidget *control, QEvent *event);
    void downloadDrop(QWidget *control, const QPoint &pos);
    void uploadDrop(QWidget *control, const QStringList &names, const QPoint &pos);
    QString localDropTarget(QWidget *control, const QPoint &pos) const;
    QString hostDropTarget(QWidget *control, const QPoint &pos) const;
    QTreeWidgetItem *nodeAt(QWidget *control, const QPoint &pos) const;
    bool startListDrag(bool host, QStringList &sources);
    bool startTreeDrag(bool host, QStringList &sources);
    void setHighlight(QTreeWidget *tree, QTreeWidgetItem *node);
    void clearHighlight();
    bool askYesNo(const QString &text) const;
    void writeLog(const QString &line) const;
    void dragDropCancelled();

    // dragdrop.cpp: a path without its trailing "\"; the last part of a path ("\pub\a\" gives
    // "a"); whether a drag state is a host one.
    static QString withoutSeparator(const QString &path);
    static QString lastPart(const QString &path);
    static bool dragFromHost(int state);

    TForm1 *m_form;
    LocalPane *m_local;
    HostPane *m_host;
    TaskEngine *m_engine;
    int m_dragState = NoDrag;
    QStringList m_internalDragList;
    bool m_dropOnSelf = false;
    // The control a mouse button went down on: its first move with the button down may drag.
    QPointer<QWidget> m_pressedOn;
    bool m_dragTried = false;
    QHash<QObject *, QWidget *> m_controls;
    QTreeWidget *m_highlightTree = nullptr;
    QTreeWidgetItem *m_highlightNode = nullptr;
    QPointer<Tdragdropdialog> m_dialog;
    std::function<void(QDrag *)> m_dragLoop;
};
