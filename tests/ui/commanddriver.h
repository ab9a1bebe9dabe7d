#pragma once

// Answers the window's modal questions, input dialogs and pop-up menus the way a user does,
// from a script armed before the command that opens them. Every wait is bounded: a modal
// widget the script has no step for is rejected and recorded, so a test never hangs.

#include "tasks/taskengine.h"
#include "ui/desktopservices.h"
#include "ui/logpanel.h"
#include "ui/systemdesktopservices.h"
#include "ui/tdialog.h"
#include "ui/tform1.h"
#include "widgets/filelistview.h"
#include "widgets/logview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <functional>

class UserScript : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;

    UserScript()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
        current() = this;
    }
    ~UserScript() override
    {
        if (current() == this)
            current() = nullptr;
    }

    // The next modal widget or pop-up menu is handled by step.
    UserScript &then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // A message box: press the button (Yes, No, Ok).
    UserScript &press(QMessageBox::StandardButton button)
    {
        return then([button](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->button(button)) {
                ADD_FAILURE() << "expected a message box, got " << describe(w).toStdString();
                closeModal(w);
                return;
            }
            QTest::mouseClick(box->button(button), Qt::LeftButton);
        });
    }
    // The input dialog: type the text and press OK.
    UserScript &type(const QString &text)
    {
        return then([text](QWidget *w) {
            auto *dialog = qobject_cast<TDialog *>(w);
            if (!dialog) {
                ADD_FAILURE() << "expected the input dialog, got " << describe(w).toStdString();
                closeModal(w);
                return;
            }
            dialog->Edit1->selectAll();
            QTest::keyClick(dialog->Edit1, Qt::Key_Delete);
            QTest::keyClicks(dialog->Edit1, text);
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
    }
    // The input dialog: press OK with the text it offers.
    UserScript &accept()
    {
        return then([](QWidget *w) {
            auto *dialog = qobject_cast<TDialog *>(w);
            if (!dialog) {
                ADD_FAILURE() << "expected the input dialog, got " << describe(w).toStdString();
                closeModal(w);
                return;
            }
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
    }
    UserScript &cancel()
    {
        return then([](QWidget *w) {
            if (auto *dialog = qobject_cast<TDialog *>(w))
                QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
            else
                closeModal(w);
        });
    }
    // A pop-up menu: move to the item with this caption (without "&") and press Return; an
    // item with a submenu opens it instead, for the next step.
    UserScript &choose(const QString &caption)
    {
        return then([caption](QWidget *w) {
            auto *menu = qobject_cast<QMenu *>(w);
            if (!menu) {
                ADD_FAILURE() << "expected a menu, got " << describe(w).toStdString();
                closeModal(w);
                return;
            }
            for (QAction *action : menu->actions()) {
                if (action->text().remove(QLatin1Char('&')) != caption)
                    continue;
                if (!action->isEnabled()) {
                    ADD_FAILURE() << "menu item " << caption.toStdString() << " is disabled";
                    menu->close();
                    return;
                }
                menu->setActiveAction(action);
                QTest::keyClick(menu, action->menu() ? Qt::Key_Right : Qt::Key_Return);
                return;
            }
            ADD_FAILURE() << "no menu item " << caption.toStdString() << " in "
                          << describe(w).toStdString();
            menu->close();
        });
    }
    // A pop-up menu: record its items and close it.
    UserScript &look(QStringList *items)
    {
        return then([items](QWidget *w) {
            *items = QStringList();
            if (auto *menu = qobject_cast<QMenu *>(w)) {
                for (QAction *action : menu->actions())
                    *items << (action->isSeparator() ? QStringLiteral("-")
                                                     : action->text().remove(QLatin1Char('&')))
                                      + (action->isEnabled() ? QString()
                                                             : QStringLiteral(" (off)"));
            }
            closeModal(w);
        });
    }

    // What each handled widget showed, in order (see describe()).
    const QStringList &seen() const { return m_seen; }
    bool finished() const { return m_steps.empty(); }
    // Waits until every step ran.
    bool waitFinished(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([this] { return m_steps.empty() && !m_pending; }, timeoutMs);
    }

    // A message box: its text; the input dialog: caption | prompt | text; a menu: its title.
    static QString describe(QWidget *w)
    {
        if (auto *box = qobject_cast<QMessageBox *>(w))
            return box->text();
        if (auto *dialog = qobject_cast<TDialog *>(w))
            return dialog->windowTitle() + QStringLiteral(" | ") + dialog->Label1->text()
                   + QStringLiteral(" | ") + dialog->Edit1->text();
        if (auto *menu = qobject_cast<QMenu *>(w))
            return QStringLiteral("menu ") + menu->objectName() + QLatin1Char(' ') + menu->title();
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

    // Only the newest script answers; the ones before it are done.
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
        if (!w || !w->isVisible())
            return;
        m_seen << describe(w);
        if (m_steps.empty()) {
            ADD_FAILURE() << "unexpected " << describe(w).toStdString();
            closeModal(w);
            return;
        }
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        // The step runs from a timer of its own: what it starts may open the next modal widget
        // in a nested event loop, and this polling timer must be free to answer that.
        m_pending = true;
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, this, [this, target, step = std::move(step)] {
            m_pending = false;
            if (target && target->isVisible())
                step(target);
        });
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QStringList m_seen;
    bool m_pending = false;
};

// Desktop services that record what they were asked; each answer is set by the test. The trash
// is the program's own (point XDG_DATA_HOME at a temporary folder) unless trashWorks is false.
class RecordingServices : public DesktopServices
{
public:
    bool openFile(const QString &file, const QString &workingFolder) override
    {
        calls << QStringLiteral("open ") + file + QStringLiteral(" in ") + workingFolder;
        return opens;
    }
    bool openFolder(const QString &folder) override
    {
        calls << QStringLiteral("folder ") + folder;
        return opens;
    }
    bool startTextEditor(const QString &file, const QString &workingFolder) override
    {
        calls << QStringLiteral("edit ") + file + QStringLiteral(" in ") + workingFolder;
        return edits;
    }
    bool moveToTrash(const QString &path, QString *reason) override
    {
        calls << QStringLiteral("trash ") + path;
        if (!trashWorks) {
            *reason = QStringLiteral("no trash here");
            return false;
        }
        return SystemDesktopServices().moveToTrash(path, reason);
    }

    QStringList calls;
    bool opens = true;
    bool edits = true;
    bool trashWorks = true;
};

inline QStringList logLines(TForm1 &form)
{
    QStringList lines;
    for (int i = 0; i < form.logPanel()->lineCount(); ++i)
        lines << form.logPanel()->line(i);
    return lines;
}

inline QStringList listCaptions(FileListView *list)
{
    QStringList names;
    for (int row = 0; row < list->rowCount(); ++row)
        names << list->text(row, FileListView::NameColumn);
    return names;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing ") + path.toUtf8() + '>';
    return file.readAll();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// Bytes that no line-end conversion leaves alone, different for each seed.
inline QByteArray sampleBytes(int size, int seed)
{
    QByteArray bytes(size, '\0');
    quint32 x = 2463534242u + quint32(seed);
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xff);
    }
    return bytes;
}
