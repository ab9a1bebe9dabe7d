#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class Options;
class QWidget;
class Registry;
class TaskEngine;
class TSiteMgr;
class TSiteObject;
class SiteNode;

// Connecting the main session from a saved site (the toolbar button and the menu item "Site
// Manager", and the start-up choice): opens the Site manager, created on first use as a child
// of the window (so that it writes the store when the window is destroyed at shut-down), and
// on Connect hands the chosen site to the engine with the user name and password asked for
// when the site has none.
//
// The site connected from is CurrentSite(). It is shared with the Site manager's tree: when
// the user deletes that site while its session runs, the record stays alive here until the
// next connect, so the host bookmarks the engine hands back when the session goes offline land
// in a record nobody saves instead of in freed memory.
class PasswordVault;

class SiteConnector : public QObject
{
    Q_OBJECT

public:
    SiteConnector(TaskEngine &engine, Registry &registry, const Options &options, QWidget *window);

    // The Site manager, created (not yet shown) on first use.
    TSiteMgr *siteManager();

    // Shows the Site manager modally; on Connect connects the main session with the selected
    // site. Returns true when a connect was started.
    bool tbBtn_SiteManagerClick();

    std::shared_ptr<TSiteObject> CurrentSite() const { return m_currentSite; }
    // A quick connection has no site.
    void clearCurrentSite()
    {
        m_currentSite.reset();
        m_currentSitePath.clear();
    }
    // Where the site connected from sits in the tree: the names below the root joined by "/".
    QString currentSitePath() const { return m_currentSitePath; }
    // Connects with the site at that place in the tree, as Connect in the Site manager would;
    // false when no site is there.
    bool connectSitePath(const QString &path);
    // The site connected from trusts the host certificate with this fingerprint from now on
    // (the store is written at once).
    void pinCertificate(const QString &fingerprint);

    // Where site passwords are kept; handed to the Site manager when it is made.
    PasswordVault *passwordVault = nullptr;

private:
    void hostBookmarksReturned(const QStringList &items);

    TaskEngine &m_engine;
    Registry &m_registry;
    const Options &m_options;
    QPointer<QWidget> m_window;
    TSiteMgr *m_siteMgr = nullptr;
    void connectSite(SiteNode *node);

    std::shared_ptr<TSiteObject> m_currentSite;
    QString m_currentSitePath;
};
