#pragma once

// Drives the window and its dialogs the way a user does. A UserScript, armed before the command
// that opens them, answers the modal dialogs, questions, input dialogs and pop-up menus in order;
// a modal widget it has no step for is closed and recorded, so a test never hangs. The window
// helpers click rows and nodes; ConnectedWindow is a window logged in to the vsftpd that the test
// program starts once. Every wait is bounded.

#include "platform/localpath.h"
#include "settings/options.h"
#include "sites/sitetreemodel.h"
#include "support/files.h"
#include "support/sharedftpserver.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/logpanel.h"
#include "ui/tdialog.h"
#include "ui/tform1.h"
#include "ui/tquick.h"
#include "ui/tsitemgr.h"
#include "widgets/filelistview.h"
#include "widgets/logview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

// Replaces a field's text the way a user does: focus, clear, type, leave with Tab.
inline void typeText(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
}

class UserScript : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;

    UserScript()
    {
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(20);
        current() = this;
        qApp->installEventFilter(this);
    }
    ~UserScript() override
    {
        qApp->removeEventFilter(this);
        if (current() == this)
            current() = nullptr;
    }
    // A dialog shown again (the input dialog is reused) counts as a new one.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            ++m_shows[watched];
        return false;
    }

    // The next modal widget must be a T; action acts on it (and should close it).
    template<typename T>
    UserScript &on(std::function<void(T *)> action)
    {
        m_steps.push_back([action](QWidget *w) {
            if (auto *t = qobject_cast<T *>(w))
                return action(t);
            ADD_FAILURE() << "expected a " << T::staticMetaObject.className() << ", got "
                          << describe(w).toStdString();
            closeModal(w);
        });
        return *this;
    }
    // A message box: press the button.
    UserScript &press(QMessageBox::StandardButton button)
    {
        return on<QMessageBox>([button](QMessageBox *box) {
            QTest::mouseClick(box->button(button), Qt::LeftButton);
        });
    }
    // The input dialog: type the text (a null text keeps what it offers) and press OK.
    UserScript &type(const QString &text)
    {
        return on<TDialog>([text](TDialog *dialog) {
            if (!text.isNull()) {
                dialog->Edit1->selectAll();
                QTest::keyClick(dialog->Edit1, Qt::Key_Delete);
                QTest::keyClicks(dialog->Edit1, text);
            }
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
    }
    // A pop-up menu: the item with this caption (without "&"); one with a submenu opens it.
    UserScript &choose(const QString &caption)
    {
        return on<QMenu>([caption](QMenu *menu) {
            for (QAction *action : menu->actions()) {
                if (action->text().remove(QLatin1Char('&')) != caption)
                    continue;
                EXPECT_TRUE(action->isEnabled()) << caption.toStdString();
                menu->setActiveAction(action);
                QTest::keyClick(menu, action->menu() ? Qt::Key_Right : Qt::Key_Return);
                return;
            }
            ADD_FAILURE() << "no menu item " << caption.toStdString();
            menu->close();
        });
    }
    // What each handled widget showed, in order (see describe()).
    const QStringList &seen() const { return m_seen; }
    // Waits until every step ran.
    bool waitFinished(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([this] { return m_steps.empty() && !m_pending; }, timeoutMs);
    }
    // Runs what opens the widgets and waits for every step; what they showed.
    QStringList after(const std::function<void()> &start)
    {
        start();
        EXPECT_TRUE(waitFinished());
        return m_seen;
    }
    QStringList trigger(QAction *action)
    {
        return after([action] { action->trigger(); });
    }
    QStringList click(QAbstractButton *button)
    {
        return after([button] { QTest::mouseClick(button, Qt::LeftButton); });
    }

    // A message box: its text; the input dialog: caption | prompt | text; else the class name.
    static QString describe(QWidget *w)
    {
        if (auto *box = qobject_cast<QMessageBox *>(w))
            return box->text();
        if (auto *dialog = qobject_cast<TDialog *>(w))
            return dialog->windowTitle() + " | " + dialog->Label1->text() + " | "
                   + dialog->Edit1->text();
        return w ? QString::fromLatin1(w->metaObject()->className()) : QStringLiteral("nothing");
    }

private:
    static void closeModal(QWidget *w)
    {
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
        else if (w)
            w->close();
    }
    // Only the newest script answers.
    static UserScript *&current()
    {
        static UserScript *script = nullptr;
        return script;
    }
    void poll()
    {
        if (current() != this || m_pending)
            return;
        QWidget *w = QApplication::activePopupWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        // A widget already handled and still showing (a dialog below the next one) is left be.
        if (!w || !w->isVisible() || m_handled.value(w, -1) == m_shows.value(w))
            return;
        m_handled[w] = m_shows.value(w);
        m_seen << describe(w);
        if (m_steps.empty()) {
            ADD_FAILURE() << "unexpected " << describe(w).toStdString();
            closeModal(w);
            return;
        }
        // The step runs from a timer of its own: what it starts may open the next modal widget
        // in a nested event loop, and this polling timer must be free to answer that.
        m_pending = true;
        QTimer::singleShot(
                0, this, [this, target = QPointer<QWidget>(w), step = std::move(m_steps.front())] {
                    m_pending = false;
                    if (target && target->isVisible())
                        step(target);
                });
        m_steps.pop_front();
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QStringList m_seen;
    bool m_pending = false;
    QHash<QObject *, int> m_shows, m_handled;
};

inline std::unique_ptr<TForm1> showForm()
{
    auto form = std::make_unique<TForm1>();
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

// Makes the window active again (after a dialog) and gives the focus to widget.
inline void focusOn(QWidget *widget)
{
    QWidget *window = widget->window();
    if (!window->isActiveWindow()) {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }
    widget->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000));
}

inline int rowOf(FileListView *list, const QString &name)
{
    return list->findCaption(name, Qt::CaseSensitive);
}

inline QPoint rowCentre(FileListView *list, int row)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->currentView()->scrollTo(index);
    return list->currentView()->visualRect(index).center();
}

inline void clickRow(FileListView *list, int row, Qt::KeyboardModifiers mods = {})
{
    ASSERT_GE(row, 0);
    QTest::mouseClick(list->currentView()->viewport(), Qt::LeftButton, mods, rowCentre(list, row));
}

inline void doubleClickRow(FileListView *list, int row)
{
    ASSERT_GE(row, 0);
    const QPoint at = rowCentre(list, row);
    QTest::mouseClick(list->currentView()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->currentView()->viewport(), Qt::LeftButton, {}, at);
}

// Focuses the list and selects these rows by clicks (Ctrl for all but the first).
inline void selectRows(FileListView *list, const QStringList &names)
{
    focusOn(list);
    list->clearSelection();
    for (const QString &name : names)
        clickRow(list,
                 rowOf(list, name),
                 name == names.first() ? Qt::NoModifier : Qt::ControlModifier);
    EXPECT_EQ(list->selectedRows().size(), names.size());
}

inline void clickNode(QTreeWidget *tree, QTreeWidgetItem *node)
{
    ASSERT_NE(node, nullptr);
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}

inline QStringList childTexts(QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

inline QTreeWidgetItem *childNode(QTreeWidgetItem *node, const QString &text)
{
    const int at = childTexts(node).indexOf(text);
    return at < 0 ? nullptr : node->child(at);
}

// The Site manager's node at a path of names ("" the root, "abc/Zed"), any case.
inline SiteNode *siteNode(TSiteMgr *mgr, const QString &path)
{
    SiteNode *at = mgr->model()->root();
    for (const QString &name : path.split('/', Qt::SkipEmptyParts)) {
        SiteNode *next = nullptr;
        for (int i = 0; at && i < at->childCount(); ++i)
            next = at->child(i)->text().compare(name, Qt::CaseInsensitive) == 0 ? at->child(i)
                                                                                : next;
        at = next;
    }
    return at;
}

// Clicks that node, opening its folders first; whether it is then the selected one.
inline bool clickSite(TSiteMgr *mgr, const QString &path)
{
    const QModelIndex index = mgr->model()->indexOf(siteNode(mgr, path));
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        mgr->TreeView->expand(up);
    mgr->TreeView->scrollTo(index);
    QTest::mouseClick(mgr->TreeView->viewport(),
                      Qt::LeftButton,
                      {},
                      mgr->TreeView->visualRect(index).center());
    return mgr->selectedNode() == siteNode(mgr, path);
}

// The captions of a list, in order.
inline QStringList captions(FileListView *list)
{
    QStringList names;
    for (int row = 0; row < list->rowCount(); ++row)
        names << list->text(row, FileListView::NameColumn);
    return names;
}

inline QStringList logLines(TForm1 &form)
{
    QStringList lines;
    for (int i = 0; i < form.logPanel()->lineCount(); ++i)
        lines << form.logPanel()->line(i);
    return lines;
}

// Connects through the Connect button and the Quick connect dialog, field by field, as the
// vsftpd user (or anonymously).
inline void quickConnect(TForm1 &form,
                         quint16 port,
                         int tasks = 1,
                         const QString &host = QStringLiteral("127.0.0.1"),
                         bool anonymous = false)
{
    TQuick *q = form.Quick;
    UserScript()
            .on<TQuick>([q, port, tasks, host, anonymous](TQuick *) {
                typeText(q->Host, host);
                if (q->anonymous->isChecked() != anonymous)
                    QTest::mouseClick(q->anonymous, Qt::LeftButton);
                if (!anonymous) {
                    typeText(q->Username, ovtest::VsftpdServer::userName());
                    typeText(q->Password, ovtest::VsftpdServer::password());
                }
                q->Pages->setCurrentIndex(1);
                typeText(q->Port, QString::number(port));
                typeText(q->Tasks, QString::number(tasks));
                if (!q->passive->isChecked())
                    QTest::mouseClick(q->passive, Qt::LeftButton);
                QTest::mouseClick(q->Connect, Qt::LeftButton);
            })
            .trigger(form.tbBtn_Quick);
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
}

// Waits until the host list shows the folder with exactly these captions (any order).
inline bool waitForHostList(TForm1 &form, const QString &folder, QStringList expected)
{
    expected.sort();
    return QTest::qWaitFor(
            [&] {
                QStringList shown = captions(form.hostPane()->rWin());
                shown.sort();
                return form.currentHostFolder() == folder && shown == expected;
            },
            15000);
}

// The vsftpd of this test program (started at its first use) with only these files in its
// user's "/" (a name ending in "/" is a folder); nullptr after failing the test when it does not
// start.
inline ovtest::FtpTestServer *hostWith(const ovtest::FileTree &files)
{
    ovtest::FtpTestServer *s = ovtest::sharedFtpServer(ovtest::FtpTestServer::Kind::Vsftpd);
    for (auto it = files.cbegin(); s && it != files.cend(); ++it)
        it.key().endsWith('/') ? s->createUserFolder(it.key().chopped(1))
                               : s->createUserFile(it.key(), it.value());
    return s;
}

// Whenever the engine reports a change, the window's commands already show it: a change of the
// interface by the end of that turn, the reconnect countdown at once.
class InterfaceWatch : public QObject
{
public:
    explicit InterfaceWatch(TForm1 &form)
        : m_form(form)
    {
        connect(form.engine(), &TaskEngine::interfaceChanged, this, [this] {
            QMetaObject::invokeMethod(
                    this, [this] { check("a change"); }, Qt::QueuedConnection);
        });
        connect(form.engine(), &TaskEngine::reconnectCountdownChanged, this, [this] {
            check("the countdown");
        });
    }

private:
    QStringList commands() const
    {
        QStringList on;
        for (const QAction *action : m_form.findChildren<QAction *>())
            on << action->objectName() + (action->isEnabled() ? "+" : "-");
        return on;
    }
    void check(const char *what)
    {
        const QStringList shown = commands();
        m_form.UpdateInterface();
        EXPECT_EQ(shown, commands()) << "the window missed " << what;
    }
    TForm1 &m_form;
};

// A window showing a local folder of its own, logged in to that vsftpd.
struct ConnectedWindow
{
    QTemporaryDir local, temp;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<InterfaceWatch> watch;
    ovtest::FtpTestServer *host = nullptr;
    qsizetype commandsBefore = 0;

    // Files named by their paths hold their own path as their bytes.
    ::testing::AssertionResult connect(const QStringList &hostFiles,
                                       const QStringList &rootList,
                                       int tasks = 2)
    {
        ovtest::FileTree tree;
        for (const QString &name : hostFiles)
            tree.insert(name, name.toUtf8());
        host = hostWith(tree);
        if (!host)
            return ::testing::AssertionFailure() << "no vsftpd";
        form = showForm();
        watch = std::make_unique<InterfaceWatch>(*form);
        if (!form->engine()->tempFolders().create(temp.path()))
            return ::testing::AssertionFailure() << "no temporary folders";
        form->engine()->startTimers();
        form->ChangeLocalFolder(localFolder());
        commandsBefore = host->commands().size();
        quickConnect(*form, host->port(), tasks);
        if (waitForHostList(*form, "\\", rootList))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << captions(form->hostPane()->rWin()).join(", ").toStdString() << "\n"
               << logLines(*form).join("\n").toStdString();
    }
    QString home(const QString &relative) const { return host->userRoot() + '/' + relative; }
    QString localPath(const QString &relative) const { return local.filePath(relative); }
    QString localFolder() const { return NativeToLocal(local.path() + '/'); }
    // The commands the host received since connect() began.
    QStringList commands() const { return host->commands().mid(commandsBefore); }
    int count(const QString &word) const
    {
        return int(commands().filter(QRegularExpression("^" + word)).size());
    }
    FileListView *hostList() const { return form->hostPane()->rWin(); }
    FileListView *localList() const { return form->localPane()->lWin(); }
    TaskEngine *engine() const { return form->engine(); }
    QString log() const { return logLines(*form).join('\n'); }
};
