#include "ui/unfinishedwork.h"

#include "tasks/existspolicy.h"
#include "tasks/queuerecorder.h"
#include "tasks/taskengine.h"
#include "ui/tform1.h"
#include "ui/tquick.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>
#include <QUrlQuery>

namespace {
const QString QuickPrefix = QStringLiteral("quick ");
const QString SitePrefix = QStringLiteral("saved ");
} // namespace

UnfinishedWork::UnfinishedWork(TForm1 &window,
                               TaskEngine &engine,
                               const QString &journalPath,
                               QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_engine(engine)
    , m_journal(journalPath)
{
    connect(&m_engine, &TaskEngine::mainLoggedIn, this, &UnfinishedWork::loggedIn);
}

UnfinishedWork::~UnfinishedWork() = default;

bool UnfinishedWork::offer()
{
    if (m_recorder)
        return false;
    const QueueJournal::Contents left = QueueJournal::read(m_journal.path());
    bool resuming = false;
    if (left.state == QueueJournal::Contents::Damaged) {
        const QString aside = QueueJournal::setAside(m_journal.path());
        const QString text
                = aside.isEmpty()
                          ? tr("The list of unfinished transfers could not be read (%1) and "
                               "will be replaced.")
                                    .arg(left.problem)
                          : tr("The list of unfinished transfers could not be read (%1). It "
                               "has been set aside as %2.")
                                    .arg(left.problem, aside);
        m_engine.WriteLog(QStringLiteral(" !: ") + text, LogModel::NoSession);
        QMessageBox::warning(&m_window, QStringLiteral("Orvane FTP"), text);
    } else if (!left.transfers.isEmpty()) {
        // A folder to make is no transfer of its own, unless nothing else is left.
        qsizetype count = 0;
        for (const QueueJournal::Transfer &t : left.transfers)
            count += t.kind == QueueJournal::Transfer::Folder ? 0 : 1;
        const QString question = tr("%1 transfers to %2 were left unfinished. Resume them?")
                                         .arg(count > 0 ? count : left.transfers.size())
                                         .arg(siteCaption(left.site));
        if (QMessageBox::question(&m_window,
                                  QStringLiteral("Orvane FTP"),
                                  question,
                                  QMessageBox::Yes | QMessageBox::No,
                                  QMessageBox::Yes)
            == QMessageBox::Yes) {
            m_resume = left.transfers;
            resuming = reconnect(left.site);
            if (!resuming)
                m_resume.clear();
        }
    }
    // Until the transfers are queued again the old file stays: it is replaced by the first
    // transfer this run queues.
    if (!resuming)
        m_journal.endAll();
    m_recorder = std::make_unique<QueueRecorder>(m_engine, m_journal);
    return resuming;
}

void UnfinishedWork::loggedIn()
{
    if (m_recorder)
        m_journal.setSite(siteIdentity());
    if (m_resume.isEmpty())
        return;
    // A partial target goes on from its size; one already whole is left as it is.
    const QStringList entries = QueueRecorder::resumeEntries(
            std::exchange(m_resume, {}), ExistsPolicy::name(ExistsPolicy::Resume));
    for (const QString &entry : entries)
        m_engine.transferQueue().append(entry);
    m_engine.Pass();
}

QString UnfinishedWork::siteIdentity() const
{
    if (m_engine.connectedFromSite()) {
        const QString name = connectedSiteName ? connectedSiteName() : QString();
        return SitePrefix + name;
    }
    const TcFTPSession &session = m_engine.ReconnectSession();
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(session.Host);
    url.setPort(session.Port.toInt());
    if (!m_window.Quick->isAnonymous())
        url.setUserName(session.Username);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("folder"), m_window.Quick->initialPath());
    query.addQueryItem(QStringLiteral("tasks"), QString::number(m_engine.MaxTasks()));
    query.addQueryItem(QStringLiteral("passive"),
                       m_window.Quick->isPassive() ? QStringLiteral("1") : QStringLiteral("0"));
    query.addQueryItem(QStringLiteral("tls"),
                       QString::number(m_window.Quick->encryption->currentIndex()));
    url.setQuery(query);
    return QuickPrefix + url.toString();
}

QString UnfinishedWork::siteCaption(const QString &identity)
{
    if (identity.startsWith(SitePrefix))
        return identity.mid(SitePrefix.size());
    const QUrl url(identity.mid(QuickPrefix.size()));
    const QString address = url.host() + QLatin1Char(':') + QString::number(url.port(21));
    return url.userName().isEmpty() ? address : url.userName() + QLatin1Char('@') + address;
}

bool UnfinishedWork::reconnect(const QString &identity)
{
    if (identity.startsWith(SitePrefix)) {
        const QString name = identity.mid(SitePrefix.size());
        if (connectSite && connectSite(name))
            return true;
        QMessageBox::warning(&m_window,
                             QStringLiteral("Orvane FTP"),
                             tr("The site %1 is no longer saved; its unfinished transfers are "
                                "forgotten.")
                                     .arg(name));
        return false;
    }
    const QUrl url(identity.mid(QuickPrefix.size()));
    if (!identity.startsWith(QuickPrefix) || url.host().isEmpty())
        return false;
    const QUrlQuery query(url);
    TQuick *quick = m_window.Quick;
    quick->Host->setText(url.host());
    quick->Port->setText(QString::number(url.port(21)));
    quick->InitPath->setText(query.queryItemValue(QStringLiteral("folder")));
    quick->initpathExit();
    quick->anonymous->setChecked(url.userName().isEmpty());
    quick->Username->setText(url.userName());
    quick->Password->clear();
    quick->Tasks->setText(query.queryItemValue(QStringLiteral("tasks")));
    quick->passive->setChecked(query.queryItemValue(QStringLiteral("passive"))
                               == QLatin1String("1"));
    quick->encryption->setCurrentIndex(query.queryItemValue(QStringLiteral("tls")).toInt());
    // The password was never kept: the user gives it in the Quick connect dialog.
    if (url.userName().isEmpty())
        m_window.QuickConnect();
    else
        m_window.Menu_QuickConnect->trigger();
    return true;
}
