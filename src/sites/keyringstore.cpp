#include "sites/keyringstore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

KeyringStore::KeyringStore(int timeoutMs)
    : m_timeoutMs(timeoutMs)
{}

QString KeyringStore::service()
{
    return QStringLiteral("Orvane FTP");
}

QString KeyringStore::entryService(const QString &key)
{
    return service() + QStringLiteral(": ") + key;
}

KeyringStore::Reply KeyringStore::read(const QString &key)
{
    if (!m_answers)
        return Reply{Status::Unavailable, QString(), m_downReason};
    auto *job = new QKeychain::ReadPasswordJob(entryService(key));
    job->setKey(key);
    Reply reply = run(job);
    if (reply.status == Status::Ok)
        reply.text = job->textData();
    release(job, reply);
    return reply;
}

KeyringStore::Reply KeyringStore::write(const QString &key, const QString &password)
{
    if (!m_answers)
        return Reply{Status::Unavailable, QString(), m_downReason};
    auto *job = new QKeychain::WritePasswordJob(entryService(key));
    job->setKey(key);
    job->setTextData(password);
    Reply reply = run(job);
    release(job, reply);
    return reply;
}

KeyringStore::Reply KeyringStore::remove(const QString &key)
{
    if (!m_answers)
        return Reply{Status::Unavailable, QString(), m_downReason};
    auto *job = new QKeychain::DeletePasswordJob(entryService(key));
    job->setKey(key);
    Reply reply = run(job);
    release(job, reply);
    return reply;
}

KeyringStore::Reply KeyringStore::run(QKeychain::Job *job)
{
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    bool finished = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&finished, &loop] {
        finished = true;
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(m_timeoutMs);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    Reply reply;
    if (!finished) {
        // The job may still finish later and then frees itself.
        job->setAutoDelete(true);
        m_answers = false;
        m_downReason = QStringLiteral("the desktop keyring did not answer within %1 seconds")
                               .arg(m_timeoutMs / 1000);
        reply.status = Status::NoAnswer;
        reply.problem = m_downReason;
        return reply;
    }
    switch (job->error()) {
    case QKeychain::NoError:
        reply.status = Status::Ok;
        return reply;
    case QKeychain::EntryNotFound:
        reply.status = Status::NotFound;
        reply.problem = QStringLiteral("the desktop keyring holds no entry \"%1\"").arg(job->key());
        return reply;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        m_answers = false;
        m_downReason = QStringLiteral("no desktop keyring is running (%1)").arg(job->errorString());
        reply.status = Status::Unavailable;
        reply.problem = m_downReason;
        return reply;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
    case QKeychain::CouldNotDeleteEntry:
        reply.status = Status::Failed;
        reply.problem = QStringLiteral("the desktop keyring refused: %1").arg(job->errorString());
        return reply;
    default:
        // A bus without a Secret Service behind it ends here; asking again would not help.
        m_answers = false;
        m_downReason = QStringLiteral("the desktop keyring failed: %1").arg(job->errorString());
        reply.status = Status::Unavailable;
        reply.problem = m_downReason;
        return reply;
    }
}

void KeyringStore::release(QKeychain::Job *job, const Reply &reply)
{
    if (reply.status != Status::NoAnswer)
        job->deleteLater();
}
