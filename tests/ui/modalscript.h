#pragma once

// Answers the modal dialogs that code under test opens with exec(), the way a user would: each
// step waits for the next dialog of its type to become the active modal widget and then acts
// on it (types, clicks). Runs from a timer inside the dialog's own event loop.
//
// Every wait is bounded: when a step's dialog does not show within the deadline, or a dialog
// shows that no step expects, the dialog is rejected so that exec() returns, and the script
// records the failure (check it with EXPECT_TRUE(script.finished())). Keep one script alive
// at a time: a script whose steps are done treats every further dialog as unexpected.

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

class ModalScript : public QObject
{
public:
    explicit ModalScript(int deadlineMs = 10000)
        : m_deadline(deadlineMs)
    {
        qApp->installEventFilter(this);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(20);
    }
    ~ModalScript() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A dialog shown again (the input dialog is reused) counts as a new one.
        if (event->type() == QEvent::Show && watched->isWidgetType())
            ++m_shows[watched];
        return false;
    }

    // Adds a step for the next dialog of type T.
    template<typename T>
    ModalScript &then(std::function<void(T *)> action)
    {
        m_steps.push_back({[](QWidget *widget) { return qobject_cast<T *>(widget) != nullptr; },
                           [action](QWidget *widget) {
                               action(qobject_cast<T *>(widget));
                           }});
        return *this;
    }

    // True when every step ran and no unexpected dialog showed.
    bool finished() const { return m_done == m_steps.size() && m_unexpected.isEmpty(); }
    // Class names of dialogs that showed when no step expected them.
    QStringList unexpected() const { return m_unexpected; }
    int stepsDone() const { return int(m_done); }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal == m_handled && modal->isVisible()
            && m_shows.value(modal) == m_handledShow)
            return; // still closing after the last step
        if (modal && m_next < m_steps.size() && m_steps[m_next].matches(modal)) {
            m_handled = modal;
            m_handledShow = m_shows.value(modal);
            // Acted on from a timer of its own, so that a dialog the action opens in turn
            // (a question after a click) finds this poll free to answer it.
            QTimer::singleShot(0, modal, [this, act = m_steps[m_next].act, modal] {
                act(modal);
                ++m_done;
            });
            ++m_next;
            return;
        }
        if (modal && (m_next == m_steps.size() || m_deadline.hasExpired())) {
            if (modal == m_handled && m_shows.value(modal) == m_handledShow)
                return;
            m_unexpected.append(QString::fromLatin1(modal->metaObject()->className()));
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
    }

    QTimer m_timer;
    QDeadlineTimer m_deadline;
    struct Step
    {
        std::function<bool(QWidget *)> matches;
        std::function<void(QWidget *)> act;
    };
    std::vector<Step> m_steps;
    size_t m_next = 0; // the next step to wait for
    size_t m_done = 0; // steps whose action has run
    QPointer<QWidget> m_handled;
    int m_handledShow = 0;
    QHash<QObject *, int> m_shows;
    QStringList m_unexpected;
};
