#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

#include <functional>

// The log: one line per event of every session and of the program. Every writer goes through
// WriteLog, which bounds the log, numbers the lines of task sessions and classifies each line by
// its kind mark. The window renders the lines (colours and fonts are its business); the CLI
// prints them as they come (lineWritten).
//
// A line is a three-character kind mark, a space, an optional task number "(NN) ", then the
// message: "  : Task starts buffering folder '\pub\'", " !: (01) Task was unable to connect...".
class LogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Kind { Information, FromHost, ToHost, Error, Warning, Other };
    enum Role { KindRole = Qt::UserRole + 1, MarkRole, MessageRole };
    static constexpr int MaxLines = 999;
    static constexpr int NoSession = -1;

    explicit LogModel(QObject *parent = nullptr);

    // Asked at every write of a main-session line (task number 0): true when such lines carry
    // "(00) " (several tasks allowed and multi-task information or host text shown).
    void setMainSessionNumbered(std::function<bool()> rule);

    // Appends text as a new line. taskNumber: the session's place in the task list, 0 for the
    // main session, NoSession (-1) for lines not about a session (never numbered).
    void WriteLog(const QString &text, int taskNumber);
    // Clears the log and writes the banner line; afterwards the log holds exactly that line.
    void ShowBanner();
    void clear();

    int lineCount() const { return int(m_lines.size()); }
    QString line(int row) const { return m_lines.at(row); }
    Kind kind(int row) const { return KindOf(m_lines.at(row)); }
    QStringList lines() const { return m_lines; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Kind of a line by its first three characters.
    static Kind KindOf(const QString &line);
    // The text with "(NN) " after its first four characters when the rule asks for it.
    static QString WithTaskNumber(const QString &text, int taskNumber, bool mainNumbered);

Q_SIGNALS:
    // A line was appended (already numbered); the oldest may have been dropped before it.
    void lineWritten(const QString &line);
    // The log was emptied (ShowBanner starts a new log this way).
    void cleared();

private:
    QStringList m_lines;
    std::function<bool()> m_mainNumbered;
};
