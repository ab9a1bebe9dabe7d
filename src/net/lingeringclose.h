#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;
class TlsChannel;

// The end of a connection whose peer may still send after this side has said everything. Over
// TLS the last record (pending) goes out first, then the closing alert; then the sending
// direction shuts, and the descriptor stays open, reading and discarding whatever arrives,
// until the peer closes its side or waitMs pass. A socket closed over bytes that arrive later
// answers them with a reset, and a reset makes the peer's system throw away what the peer has
// not read yet.
//
// Takes over fd (and tls, when given: its sending side still open) and closes it in the end,
// or when destroyed with its parent; deletes itself once the descriptor is closed.
class LingeringClose : public QObject
{
    Q_OBJECT

public:
    LingeringClose(int fd,
                   std::unique_ptr<TlsChannel> tls,
                   QByteArray pending,
                   int waitMs,
                   QObject *parent);
    ~LingeringClose() override;
    LingeringClose(const LingeringClose &) = delete;
    LingeringClose &operator=(const LingeringClose &) = delete;

private:
    void send();
    void readReady();
    void finish();

    int m_fd;
    std::unique_ptr<TlsChannel> m_tls;
    QByteArray m_pending;
    QSocketNotifier *m_reader;
    QSocketNotifier *m_writer;
    QTimer *m_timer;
};
