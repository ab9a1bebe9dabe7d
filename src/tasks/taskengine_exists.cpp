// Transfer entries and their existing targets: the choice that applies, what is known of both
// files, what a session finds out first, and the questions to the user.
#include "taskengine.h"

#include "ftp/factlineparser.h"
#include "platform/localpath.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"
#include "util/pathforms.h"

#include <QFileInfo>

namespace {
const QChar Star = QLatin1Char('*');
const QChar Backslash = QLatin1Char('\\');

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(Backslash) + 1);
}

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(Backslash) + 1);
}

QString slashPath(QString internalPath)
{
    return internalPath.replace(Backslash, QLatin1Char('/'));
}

ExistsPolicy::Facts localFacts(const QString &localFile)
{
    const QFileInfo info(LocalToNative(localFile));
    ExistsPolicy::Facts facts;
    facts.exists = info.exists();
    if (facts.exists) {
        facts.size = info.size();
        facts.modified = info.lastModified().toUTC();
    }
    return facts;
}

ExistsPolicy::Facts hostFacts(const ListingBuffer &buffer, const QString &hostFile)
{
    ExistsPolicy::Facts facts;
    const ListingBuffer::Entry *entry
            = buffer.find(folderOf(hostFile), QLatin1Char('f') + nameOf(hostFile));
    if (!entry)
        return facts;
    facts.exists = true;
    bool ok = false;
    const qint64 size = Field(entry->fields, 1, Star).toLongLong(&ok);
    facts.size = ok ? size : -1;
    if (entry->modified.isValid())
        facts.modified = entry->modified;
    else
        ExistsPolicy::setListingTime(&facts, Field(entry->fields, 2, Star).toInt());
    return facts;
}

// 213 20260102030405
QDateTime mdtmTime(const TcFTP *session)
{
    if (session->OutCmd() != QLatin1String("mdtm") || session->InCmd() != QLatin1String("213"))
        return {};
    return ParseFactTime(QStringView(session->ReplyLine()).mid(4).trimmed());
}

// The entry with its choice written in (replacing one it had).
QString withChoice(const QString &entry, ExistsPolicy::Choice choice)
{
    return Field(entry, 1, Star) + Star + Field(entry, 2, Star) + Star + Field(entry, 3, Star)
           + Star + ExistsPolicy::name(choice);
}
} // namespace

bool TaskEngine::transfersAsText(const TcFTP *session, const QString &name) const
{
    if (!session->AutoTransferMode())
        return !session->BinaryMode();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && session->ASCExtension().contains(name.mid(dot + 1), Qt::CaseInsensitive);
}

void TaskEngine::startTransferEntry(tTaskListObj *record,
                                    const QString &entry,
                                    int stage,
                                    const QDateTime &hostTime)
{
    TcFTP *session = record->FTP;
    const int index = m_taskList.IndexOfSession(session);
    const bool download = entry.startsWith(QLatin1Char('d'));
    const QString source = Field(entry, 2, Star);
    const QString target = Field(entry, 3, Star);
    const QString hostFile = download ? source : target;
    const QString localFile = download ? target : source;
    // The folder a download goes into may not exist yet (a fresh account has no Downloads).
    if (download && !makeLocalFolder(folderOf(localFile), localFile, true, index))
        return;

    ExistsPolicy::Choice choice = ExistsPolicy::fromName(Field(entry, 4, Star))
                                          .value_or(ExistsPolicy::Choice(m_options->OnExists));
    if (choice == ExistsPolicy::Ask && m_existsQuestions.queueAnswer())
        choice = *m_existsQuestions.queueAnswer();
    // The program's own copies (to open, to view, to drop) are fetched afresh every time.
    const auto inside = [&localFile](const QString &temp) {
        return !temp.isEmpty() && localFile.startsWith(temp);
    };
    if (download
        && (inside(m_tempFolders.dragDrop()) || inside(m_tempFolders.open())
            || inside(m_tempFolders.view())))
        choice = ExistsPolicy::Overwrite;
    // A transfer tried again finds its own partial copy in place: a download resumes it by the
    // resume rule, an upload is sent again whole. Asking, skipping or comparing times would
    // take that partial copy for the user's file. A renamed transfer takes a free name again.
    else if (choice != ExistsPolicy::Rename && isRetry(entry, record->operation))
        choice = download ? ExistsPolicy::Auto : ExistsPolicy::Overwrite;
    const bool autoResumes = m_connectOptions.Resume;
    const bool resumable = !transfersAsText(session, nameOf(hostFile));

    // A download takes its source's size and date from the folder's listing, and an upload
    // learns of its target from it: the folder is listed first when the buffer does not hold
    // it (a queue taken up again after a restart is queued before anything is listed). Only a
    // plain replacement upload needs to know nothing of the target.
    const QString hostFolder = folderOf(hostFile);
    const bool needsTarget = choice != ExistsPolicy::Overwrite
                             && (choice != ExistsPolicy::Auto || (autoResumes && resumable));
    if ((download || needsTarget) && stage == 0 && !m_listingBuffer.contains(hostFolder)) {
        record->PreparedEntry = entry;
        session->AddCommand(QStringLiteral("*list ") + hostFolder);
        return;
    }

    ExistsPolicy::Facts hostSide = hostFacts(m_listingBuffer, hostFile);
    if (hostTime.isValid()) {
        hostSide.modified = hostTime;
        hostSide.precisionSecs = 1;
    }
    const ExistsPolicy::Facts localSide = localFacts(localFile);
    const ExistsPolicy::Facts &sourceFacts = download ? hostSide : localSide;
    const ExistsPolicy::Facts &targetFacts = download ? localSide : hostSide;
    // A source that is not there fails as the transfer itself says, whatever the choice.
    if (!sourceFacts.exists)
        choice = ExistsPolicy::Overwrite;
    // A listing's date tells the minute at best: the host is asked for the second.
    if (choice == ExistsPolicy::Newer && stage < 2 && targetFacts.exists && hostSide.exists
        && hostSide.precisionSecs > 1 && session->HostOffers(QStringLiteral("MDTM"))) {
        record->PreparedEntry = entry;
        session->AddCommand(QStringLiteral("mdtm ") + slashPath(hostFile));
        return;
    }

    const QString shownSource = download ? slashPath(source) : LocalToNative(source);
    const QString shownTarget = download ? LocalToNative(target) : slashPath(target);
    QString goesTo = target;
    bool resume = false;
    switch (ExistsPolicy::decide(choice, sourceFacts, targetFacts, resumable, autoResumes)) {
    case ExistsPolicy::Transfer:
        break;
    case ExistsPolicy::ResumeTransfer:
        resume = true;
        break;
    case ExistsPolicy::Leave: {
        const QString reason
                = QStringLiteral("'%1' exists already and is left as it is.").arg(shownTarget);
        WriteLog(QStringLiteral(" !: Skipped '%1': %2").arg(shownSource, reason), index);
        m_operations.transferLeft(
                record->operation, target, SkippedName{shownSource, reason, false});
        Q_EMIT entrySkipped(
                VisibleHostText(QStringLiteral("Skipped '%1': %2").arg(shownSource, reason)),
                false);
        Q_EMIT transferLeft(download, target);
        return;
    }
    case ExistsPolicy::TransferRenamed: {
        const QString folder = folderOf(target);
        const QString name = ExistsPolicy::freeName(nameOf(target), [&](const QString &candidate) {
            if (download)
                return QFileInfo::exists(LocalToNative(folder + candidate));
            return m_listingBuffer.find(folder, QLatin1Char('f') + candidate) != nullptr
                   || m_listingBuffer.find(folder, QLatin1Char('d') + candidate) != nullptr;
        });
        goesTo = folder + name;
        m_operations.retarget(record->operation, target, goesTo);
        WriteLog(QStringLiteral("  : '%1' exists already; the new file is '%2'.")
                         .arg(shownTarget, name),
                 index);
        break;
    }
    case ExistsPolicy::AskUser:
        askExists(record,
                  entry,
                  ExistsQuestion{0, download, shownSource, shownTarget, sourceFacts, targetFacts});
        return;
    }

    if (download) {
        // The session resumes a smaller local file exactly when told to; otherwise the whole
        // file replaces the local one once it has arrived.
        session->setResumeTransfers(resume);
        session->AddCommand(QStringLiteral("*download ") + source + Star + goesTo);
    } else {
        QString line = QStringLiteral("*upload ") + source + Star + goesTo;
        if (resume && targetFacts.size > 0)
            line += Star + QString::number(targetFacts.size);
        session->AddCommand(line);
    }
}

bool TaskEngine::continueTransferEntry(TcFTP *session, tTaskListObj *record)
{
    if (record->PreparedEntry.isEmpty())
        return false;
    const QString entry = std::exchange(record->PreparedEntry, QString());
    const QDateTime time = mdtmTime(session);
    const int stage = session->OutCmd() == QLatin1String("mdtm") ? 2 : 1;
    guarded("u1-9004", [&] { startTransferEntry(record, entry, stage, time); });
    executeQuietly(session);
    return session->State() == csWaitForReply;
}

void TaskEngine::askExists(tTaskListObj *record, const QString &entry, ExistsQuestion question)
{
    const int operation = record->operation;
    question.id = m_existsQuestions.park(question, entry, operation);
    m_operations.hold(operation);
    record->AwaitingAnswer = question.id;
    WriteLog(QStringLiteral("  : '%1' exists already; waiting for the answer what to do.")
                     .arg(question.target),
             m_taskList.IndexOfSession(record->FTP));
    Q_EMIT existsQuestionAsked(question);
}

void TaskEngine::answerExists(int question, ExistsPolicy::Choice choice, bool applyToRest)
{
    const std::optional<ExistsQuestions::Parked> parked = m_existsQuestions.take(question);
    if (!parked)
        return;
    if (choice == ExistsPolicy::Ask)
        choice = ExistsPolicy::Skip;
    // Put back in front in the order they were asked: the answered one first.
    if (applyToRest) {
        m_existsQuestions.setQueueAnswer(choice);
        const QList<ExistsQuestions::Parked> rest = m_existsQuestions.takeAll();
        for (auto it = rest.crbegin(); it != rest.crend(); ++it) {
            requeueAnswered(*it, choice);
            Q_EMIT existsQuestionWithdrawn(it->question.id);
        }
    }
    requeueAnswered(*parked, choice);
    Pass();
    Q_EMIT interfaceChanged();
}

void TaskEngine::requeueAnswered(const ExistsQuestions::Parked &parked, ExistsPolicy::Choice choice)
{
    for (int i = 0; i < m_taskList.count(); ++i) {
        if (m_taskList.record(i)->AwaitingAnswer == parked.question.id)
            m_taskList.record(i)->AwaitingAnswer = 0;
    }
    m_transferQueue.prepend(withChoice(parked.entry, choice), parked.operation);
    m_operations.release(parked.operation);
}

void TaskEngine::withdrawQuestions()
{
    const QList<ExistsQuestions::Parked> dropped = m_existsQuestions.takeAll();
    for (const ExistsQuestions::Parked &parked : dropped) {
        for (int i = 0; i < m_taskList.count(); ++i) {
            if (m_taskList.record(i)->AwaitingAnswer == parked.question.id)
                m_taskList.record(i)->AwaitingAnswer = 0;
        }
        WriteLog(QStringLiteral(" !: Not carried out: ")
                         + TransferQueue::Caption(parked.entry, parked.entry),
                 LogModel::NoSession);
        m_operations.release(parked.operation);
        Q_EMIT existsQuestionWithdrawn(parked.question.id);
    }
    m_existsQuestions.setQueueAnswer(std::nullopt);
}

// An answer for the rest of the queue lasts until the queue has run dry.
void TaskEngine::forgetQueueAnswerWhenDry()
{
    if (!m_existsQuestions.queueAnswer() || !m_transferQueue.isEmpty()
        || !m_existsQuestions.isEmpty())
        return;
    for (int i = 0; i < m_taskList.count(); ++i) {
        const TcFTP *session = m_taskList.session(i);
        if (session->Downloading() || session->Uploading()
            || !m_taskList.record(i)->PreparedEntry.isEmpty())
            return;
    }
    m_existsQuestions.setQueueAnswer(std::nullopt);
}
