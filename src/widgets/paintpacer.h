#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paints a window at most a number of times per second. Qt repaints the changed parts of a
// window once per turn of the event loop; a queue that finishes hundreds of files a second turns
// the loop thousands of times, and painting the log, the lists and their scroll bars on each
// turn would cost more than the transfers. A repaint asked for sooner than the interval after
// the last one waits for the rest of it; the changes meanwhile are painted together. Painting
// the window after it is shown, resized or uncovered is not delayed.
class PaintPacer : public QObject
{
public:
    // Watches window (a top-level widget) and paints it at most once per intervalMs.
    PaintPacer(QWidget *window, int intervalMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintNow();

    QWidget *m_window;
    int m_interval;
    QElapsedTimer m_sinceLast;
    QTimer m_later;
    bool m_sending = false;
};
