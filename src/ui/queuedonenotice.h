#pragma once

#include "platform/desktopnotifier.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;
class TaskEngine;

// Says on the desktop that the queue has finished when it held more than a few files and the
// window is not the active one then: how many transfers were done and how many failed.
class QueueDoneNotice : public QObject
{
    Q_OBJECT
public:
    static constexpr int MoreThanAFew = 5;

    QueueDoneNotice(TaskEngine &engine,
                    QWidget &window,
                    const DesktopNotifier &notifier = DesktopNotifier(),
                    QObject *parent = nullptr);

private:
    void check();
    bool finished() const;

    TaskEngine &m_engine;
    QPointer<QWidget> m_window;
    DesktopNotifier m_notifier;
    QTimer m_check;
    int m_done = 0;
    int m_failed = 0;
};
