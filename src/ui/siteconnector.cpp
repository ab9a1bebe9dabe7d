#include "ui/siteconnector.h"

#include "ftp/tcftp.h"
#include "sites/siteconnection.h"
#include "sites/tsiteobject.h"
#include "tasks/taskengine.h"
#include "ui/tsitemgr.h"

SiteConnector::SiteConnector(TaskEngine &engine,
                             Registry &registry,
                             const Options &options,
                             QWidget *window)
    : QObject(window)
    , m_engine(engine)
    , m_registry(registry)
    , m_options(options)
    , m_window(window)
{
    connect(&m_engine,
            &TaskEngine::hostBookmarksReturned,
            this,
            &SiteConnector::hostBookmarksReturned);
}

TSiteMgr *SiteConnector::siteManager()
{
    if (!m_siteMgr) {
        m_siteMgr = new TSiteMgr(m_registry, m_options, m_window);
        m_siteMgr->setPasswordVault(passwordVault);
        m_siteMgr->sessionLoggedIn = [this] {
            return m_engine.MainFTP()->LoggedIn();
        };
        m_siteMgr->disconnectMain = [this] {
            return m_engine.DisconnectMain();
        };
        connect(m_siteMgr, &TSiteMgr::messageLogged, &m_engine, [this](const QString &line) {
            m_engine.WriteLog(line, LogModel::NoSession);
        });
    }
    return m_siteMgr;
}

bool SiteConnector::tbBtn_SiteManagerClick()
{
    TSiteMgr *mgr = siteManager();
    if (mgr->exec() != QDialog::Accepted)
        return false;
    std::shared_ptr<TSiteObject> site = mgr->selectedSite();
    if (!site)
        return false;
    m_currentSite = site;
    SiteConnection connection = SiteConnection::fromSite(*site, m_options);
    mgr->completeLogin(connection);
    // The engine keeps the site's host bookmarks while connected and hands them back when the
    // main session goes offline.
    m_engine.connectMain(connection.request());
    return true;
}

void SiteConnector::hostBookmarksReturned(const QStringList &items)
{
    if (m_currentSite)
        m_currentSite->Bookmarks = items.join(QLatin1Char('\n'));
}

void SiteConnector::pinCertificate(const QString &fingerprint)
{
    if (m_currentSite)
        m_currentSite->CertificateFingerprint = fingerprint;
}
