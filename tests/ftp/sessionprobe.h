// Records everything a TcFTP session reports, for the session tests.
#pragma once

#include "ftp/tcftp.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

struct SessionProbe
{
    struct Text
    {
        QString line;
        bool fromHost;
        bool valid;
    };
    struct Action
    {
        TcFTPActionType action;
        QString fileFolder;
        qint64 size;
        bool done;
        bool success;
    };

    explicit SessionProbe(TcFTP &ftp)
    {
        QObject::connect(&ftp, &TcFTP::stateChanged, &ftp, [this](TcFTPStates state) {
            states.append(state);
        });
        QObject::connect(&ftp,
                         &TcFTP::textIO,
                         &ftp,
                         [this, &ftp](const QString &line, bool fromHost, bool valid) {
                             texts.append(Text{line, fromHost, valid});
                             if (fromHost && line.startsWith(QLatin1String("220"))
                                 && stateAtGreeting < 0)
                                 stateAtGreeting = ftp.State();
                         });
        QObject::connect(&ftp,
                         &TcFTP::actionDone,
                         &ftp,
                         [this](TcFTPActionType action,
                                const QString &fileFolder,
                                qint64 size,
                                bool done,
                                bool success) {
                             if (done)
                                 actions.append(Action{action, fileFolder, size, done, success});
                             else
                                 ++progressEvents;
                         });
        QObject::connect(&ftp, &TcFTP::warning, &ftp, [this](const QString &text) {
            warnings.append(text);
        });
        QObject::connect(&ftp, &TcFTP::unknownCommand, &ftp, [this](const QString &line) {
            unknownCommands.append(line);
        });
        QObject::connect(&ftp, &TcFTP::internalError, &ftp, [this](int number, const QString &) {
            internalErrors.append(number);
        });
    }

    // Command lines the session sent, in order.
    QStringList sent() const
    {
        QStringList lines;
        for (const Text &text : texts) {
            if (!text.fromHost)
                lines.append(text.line);
        }
        return lines;
    }
    // Lines received from the host, in order.
    QStringList received() const
    {
        QStringList lines;
        for (const Text &text : texts) {
            if (text.fromHost)
                lines.append(text.line);
        }
        return lines;
    }
    int doneCount(TcFTPActionType action) const
    {
        int count = 0;
        for (const Action &a : actions)
            count += a.action == action ? 1 : 0;
        return count;
    }
    const Action *lastDone(TcFTPActionType action) const
    {
        for (qsizetype i = actions.size() - 1; i >= 0; --i) {
            if (actions.at(i).action == action)
                return &actions.at(i);
        }
        return nullptr;
    }

    // Forgets what was recorded (a second dialogue of the same session).
    void clear()
    {
        states.clear();
        texts.clear();
        actions.clear();
        warnings.clear();
        unknownCommands.clear();
        internalErrors.clear();
        progressEvents = 0;
        stateAtGreeting = -1;
    }

    QList<TcFTPStates> states;
    QList<Text> texts;
    QList<Action> actions;
    QStringList warnings;
    QStringList unknownCommands;
    QList<int> internalErrors;
    int progressEvents = 0;
    int stateAtGreeting = -1;
};

inline QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

inline QByteArray fileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "missing";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

// Bytes that differ from each other and from any simple pattern.
inline QByteArray testBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xff);
    }
    return bytes;
}
