#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

// The end of a connection whose peer may still send after this side has said everything: the
// sending direction is already shut, and the descriptor stays open, reading and discarding
// whatever arrives, until the peer closes its side or waitMs pass. A socket closed over bytes
// that arrive later answers them with a reset, and a reset makes the peer's system throw away
// what the peer has not read yet.
//
// Takes over fd and closes it in the end (or when destroyed with its parent); deletes itself
// once the descriptor is closed.
class LingeringClose : public QObject
{
    Q_OBJECT

public:
    LingeringClose(int fd, int waitMs, QObject *parent);
    ~LingeringClose() override;
    LingeringClose(const LingeringClose &) = delete;
    LingeringClose &operator=(const LingeringClose &) = delete;

private:
    void readReady();
    void finish();

    int m_fd;
    QSocketNotifier *m_notifier;
    QTimer *m_timer;
};
