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
            qOverload<>(&TaskEngine::mainOffline),
            this,
            &SiteConnector::mainWentOffline);
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
            m_engine.DisconnectMain();
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
    if (!connection.bookmarks.isEmpty())
        Q_EMIT bookmarksLoaded(connection.bookmarks);
    mgr->completeLogin(connection);
    // The engine reads the site's host bookmarks now and writes them back into the record when
    // the main session goes offline.
    ConnectRequest request = connection.request();
    request.site = site.get();
    m_connectedSites.push_back(site);
    m_engine.connectMain(request);
    return true;
}

void SiteConnector::mainWentOffline()
{
    if (m_currentSite && bookmarkText)
        m_currentSite->Bookmarks = bookmarkText();
}
