#include "ui/siteconnector.h"

#include "ftp/tcftp.h"
#include "sites/siteconnection.h"
#include "sites/sitenode.h"
#include "sites/sitetreemodel.h"
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
    SiteNode *node = mgr->selectedNode();
    if (!node || !node->isSite())
        return false;
    connectSite(node);
    return true;
}

bool SiteConnector::connectSitePath(const QString &path)
{
    TSiteMgr *mgr = siteManager();
    mgr->FormCreate();
    SiteNode *node = mgr->model()->root();
    for (const QString &name : path.split(QLatin1Char('/'))) {
        SiteNode *next = nullptr;
        for (int i = 0; node && i < node->childCount() && !next; ++i) {
            if (node->child(i)->text() == name)
                next = node->child(i);
        }
        node = next;
    }
    if (!node || !node->isSite())
        return false;
    connectSite(node);
    return true;
}

void SiteConnector::connectSite(SiteNode *node)
{
    m_currentSite = node->sharedSite();
    QStringList names;
    for (const SiteNode *up = node; up && up->parent(); up = up->parent())
        names.prepend(up->text());
    m_currentSitePath = names.join(QLatin1Char('/'));
    SiteConnection connection = SiteConnection::fromSite(*m_currentSite, m_options);
    siteManager()->completeLogin(connection);
    // The engine keeps the site's host bookmarks while connected and hands them back when the
    // main session goes offline.
    m_engine.connectMain(connection.request());
}

void SiteConnector::hostBookmarksReturned(const QStringList &items)
{
    if (m_currentSite)
        m_currentSite->Bookmarks = items.join(QLatin1Char('\n'));
}

void SiteConnector::pinCertificate(const QString &fingerprint)
{
    if (!m_currentSite)
        return;
    m_currentSite->CertificateFingerprint = fingerprint;
    // Written at once: the pin must hold on the next start even when this run ends abruptly.
    siteManager()->saveSites();
}
