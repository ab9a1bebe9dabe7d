#include "logmodel.h"

#include "util/fieldstring.h"
#include "util/hosttext.h"

LogModel::LogModel(QObject *parent)
    : QAbstractListModel(parent)
{}

void LogModel::setMainSessionNumbered(std::function<bool()> rule)
{
    m_mainNumbered = std::move(rule);
}

void LogModel::WriteLog(const QString &text, int taskNumber)
{
    if (m_lines.size() >= MaxLines) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_lines.removeFirst();
        endRemoveRows();
    }
    const bool mainNumbered = taskNumber == 0 && m_mainNumbered && m_mainNumbered();
    // Host text reaches the log through many lines: none of it may steer a terminal or reorder
    // what is read.
    const QString line = VisibleHostText(WithTaskNumber(text, taskNumber, mainNumbered));
    const int row = int(m_lines.size());
    beginInsertRows(QModelIndex(), row, row);
    m_lines.append(line);
    endInsertRows();
    Q_EMIT lineWritten(line);
}

void LogModel::ShowBanner()
{
    clear();
    WriteLog(QStringLiteral("  : Orvane FTP Version 1.0 Final Beta"), NoSession);
}

void LogModel::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
    Q_EMIT cleared();
}

int LogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant LogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    const QString &line = m_lines.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return line;
    case KindRole:
        return int(KindOf(line));
    case MarkRole:
        return line.left(3);
    case MessageRole:
        return line.mid(3);
    default:
        return {};
    }
}

QHash<int, QByteArray> LogModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},
            {KindRole, "kind"},
            {MarkRole, "mark"},
            {MessageRole, "message"}};
}

LogModel::Kind LogModel::KindOf(const QString &line)
{
    const QStringView mark = QStringView(line).left(3);
    if (mark == u"  :")
        return Information;
    if (mark == u">>:")
        return FromHost;
    if (mark == u"<<:")
        return ToHost;
    if (mark == u"!!:")
        return Error;
    if (mark == u" !:")
        return Warning;
    return Other;
}

QString LogModel::WithTaskNumber(const QString &text, int taskNumber, bool mainNumbered)
{
    if (taskNumber > 0 || (taskNumber == 0 && mainNumbered)) {
        return text.left(4) + QLatin1Char('(')
               + PadLeft(QString::number(taskNumber), 2, QLatin1Char('0')) + QStringLiteral(") ")
               + text.mid(4);
    }
    return text;
}
