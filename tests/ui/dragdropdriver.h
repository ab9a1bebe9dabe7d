#pragma once

// Drag and drop in the main window the way a desktop carries it: drags start from the panes with
// real mouse events; the drag itself is carried by the drag events a desktop would send (enter,
// move, drop) with the drag's own data, and another application is played by asking that data
// for its file URLs. Every wait is bounded.

#include "formdriver.h"
#include "quickconnectdriver.h"
#include "ui/hostpane.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"
#include "ui/dragdrop.h"
#include "ui/tdragdropdialog.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

inline void PrintTo(const QUrl &url, std::ostream *os)
{
    *os << url.toString().toStdString();
}

struct DragDropResult
{
    bool moveAccepted = false;
    bool dropAccepted = false;
};

// What the desktop sends while a drag crosses a view and is released over it.
inline DragDropResult dragOver(QWidget *target,
                               const QPoint &pos,
                               const QMimeData *data,
                               bool release)
{
    DragDropResult result;
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    result.moveAccepted = move.isAccepted();
    if (!release) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(target, &leave);
        return result;
    }
    QDropEvent drop(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    result.dropAccepted = drop.isAccepted();
    return result;
}

inline QWidget *listViewport(FileListView *list)
{
    return list->currentView()->viewport();
}

inline QPoint inside(QWidget *widget)
{
    return QPoint(widget->width() / 2, widget->height() - 5);
}

// Presses on a selected row of the focused list and moves: the drag starts (or not).
inline void pressAndMove(FileListView *list, int row)
{
    QWidget *viewport = listViewport(list);
    const QPoint at = rowCentre(list, row);
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseMove(viewport, at + QPoint(4, 2));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at + QPoint(4, 2));
}

// The list takes the focus; after a dialog the window is made active again first.
inline void focusList(FileListView *list)
{
    QWidget *window = list->window();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    focusOn(list);
}

inline void selectOnly(FileListView *list, const QStringList &names)
{
    list->clearSelection();
    for (const QString &name : names) {
        const int row = rowOf(list, name);
        ASSERT_GE(row, 0) << name.toStdString();
        list->selectRow(row);
    }
}

inline QStringList localFiles(const QString &folder)
{
    QStringList names;
    QDir dir(folder);
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name))
        names << info.fileName() + (info.isDir() ? "/" : "");
    return names;
}

inline bool logHas(TaskEngine *engine, const QString &text)
{
    for (const QString &line : engine->log()->lines()) {
        if (line.contains(text))
            return true;
    }
    return false;
}

// A window connected to vsftpd showing the host's "/" and the local folder, in double view.
struct DragDropWindow
{
    std::unique_ptr<TForm1> form;
    TaskEngine *engine = nullptr;
    QTemporaryDir temp;
    QTemporaryDir local;

    bool connect(ovtest::VsftpdServer &server, const QStringList &hostNames, int tasks = 1)
    {
        form = showForm();
        engine = form->engine();
        if (!temp.isValid() || !local.isValid() || !engine->tempFolders().create(temp.path()))
            return false;
        form->options().ConfirmTransfer = false;
        engine->startTimers();
        form->SetGUI(form->Menu_ViewDouble);
        form->ChangeLocalFolder(NativeToLocal(local.path() + "/"));
        quickConnect(*form,
                     {server.port(),
                      ovtest::VsftpdServer::userName(),
                      ovtest::VsftpdServer::password(),
                      {},
                      tasks});
        return waitForHostList(*form, "\\", hostNames);
    }
    QString dragDropFolder() const { return LocalToNative(engine->tempFolders().dragDrop()); }
};

// Plays the other application: the drag has left our window and was released elsewhere; that
// application now asks for the file URLs. While the please-wait dialog is up, watch() runs
// every 20 ms with it.
inline QList<QUrl> askAsAnotherApplication(const QMimeData *data,
                                           const std::function<void(Tdragdropdialog *)> &watch)
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<Tdragdropdialog *>(QApplication::activeModalWidget()))
            watch(dialog);
    });
    poll.start(20);
    // A bound of its own: a dialog that never closes is cancelled.
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<Tdragdropdialog *>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the please-wait dialog stayed up";
            dialog->reject();
        }
    });
    bound.start(60000);
    return data->urls();
}

// Starts a drag of the selected host items and ends it outside the window; returns its data.
inline const QMimeData *dragOut(TForm1 &form, const QStringList &names)
{
    const QMimeData *data = nullptr;
    form.dragDrop()->setDragLoop([&](QDrag *drag) {
        data = drag->mimeData();
        // Across our own list on the way out, then away.
        dragOver(listViewport(form.hostPane()->rWin()),
                 inside(listViewport(form.hostPane()->rWin())),
                 data,
                 false);
    });
    focusList(form.hostPane()->rWin());
    selectOnly(form.hostPane()->rWin(), names);
    pressAndMove(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), names.first()));
    return data;
}

inline void pressAndMoveNode(QTreeWidget *tree, QTreeWidgetItem *node)
{
    tree->scrollToItem(node);
    const QPoint at = tree->visualItemRect(node).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseMove(tree->viewport(), at + QPoint(3, 1));
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at + QPoint(3, 1));
}

// Answers the program's Yes/No questions in order with the given buttons, the way a user clicks
// them, and records their texts. A question beyond the answers is answered No and counted as
// unexpected.
class DragDropQuestions : public QObject
{
public:
    explicit DragDropQuestions(QList<QMessageBox::StandardButton> answers)
        : m_answers(std::move(answers))
    {
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(20);
    }
    QStringList asked;
    int unexpected = 0;
    bool allAnswered() const { return m_next == m_answers.size() && unexpected == 0; }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        asked << box->text();
        QMessageBox::StandardButton button = QMessageBox::No;
        if (m_next < m_answers.size())
            button = m_answers.at(m_next++);
        else
            ++unexpected;
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    }

    QList<QMessageBox::StandardButton> m_answers;
    int m_next = 0;
    QTimer m_timer;
};
