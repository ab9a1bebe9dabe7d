#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs a function for a burst of requests at most once per interval: the first request after a
// quiet spell runs it at the end of the current turn of the event loop, later ones wait until
// the interval since the last run has passed, and all requests meanwhile are served by one run.
// For views that follow busy work (log lines, arriving files, transfer progress): their cost
// then grows with the time the work takes, not with the number of events it makes.
class PacedCall : public QObject
{
public:
    PacedCall(int intervalMs, std::function<void()> run, QObject *parent);

    void request();
    // Runs now if a request waits (before reading what the runs keep up to date).
    void runPending();
    bool isPending() const { return m_timer.isActive(); }

private:
    void run();

    int m_interval;
    std::function<void()> m_run;
    QTimer m_timer;
    QElapsedTimer m_sinceRun;
};
