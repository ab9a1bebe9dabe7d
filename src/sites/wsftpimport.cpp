#include "sites/wsftpimport.h"

#include "ftp/tcftp.h"
#include "sites/sitetreemodel.h"
#include "util/pathforms.h"

#include <QFile>
#include <QTextStream>

QString WsFtpImport::folderName()
{
    return QStringLiteral("WS_FTP imported sites");
}

WsFtpImport::WsFtpImport(SiteTreeModel &model)
    : m_model(model)
{}

bool WsFtpImport::addFolder()
{
    SiteNode *root = m_model.root();
    m_folder = root ? m_model.addFolder(root, SiteTreeModel::uniqueName(root, folderName()))
                    : nullptr;
    m_sitesAdded = 0;
    return m_folder != nullptr;
}

bool WsFtpImport::run(const QString &fileName)
{
    if (!addFolder())
        return false;
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) && read(file);
}

bool WsFtpImport::run(QIODevice &device)
{
    return addFolder() && read(device);
}

// A host written as an address ("ftps://name", "ftpes://name", "ftp://name/") gives the
// encryption and leaves the bare name.
void WsFtpImport::takeScheme(TSiteObject &site)
{
    static const QList<QPair<QLatin1String, TcFTPEncryption>> schemes{
            {QLatin1String("ftps://"), ceImplicit},
            {QLatin1String("ftpes://"), ceExplicitRequired},
            {QLatin1String("ftp://"), cePlainOnly},
    };
    for (const auto &[scheme, encryption] : schemes) {
        if (site.Host.startsWith(scheme, Qt::CaseInsensitive)) {
            site.Host = site.Host.mid(scheme.size()).section(QLatin1Char('/'), 0, 0);
            site.Encryption = encryption;
            return;
        }
    }
}

bool WsFtpImport::read(QIODevice &device)
{
    QTextStream in(&device);
    TSiteObject scratch;
    TSiteObject *site = &scratch;
    QString line;
    while (in.readLineInto(&line)) {
        if (in.status() != QTextStream::Ok)
            return false;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QString key = line.toLower();
        if (line.startsWith(QLatin1Char('['))) {
            scratch = TSiteObject();
            site = &scratch;
            if (key.contains(QLatin1String("_config_")))
                continue;
            QString name = StripIllegalChars(line.mid(1, line.size() - 2));
            if (name.isEmpty())
                name = QStringLiteral("Site");
            SiteNode *node = m_model.addSite(m_folder, SiteTreeModel::uniqueName(m_folder, name));
            if (!node)
                return false;
            site = node->site();
            // An entry stays plain FTP unless its host or port says otherwise.
            site->Encryption = cePlainOnly;
            ++m_sitesAdded;
        } else if (key.startsWith(QLatin1String("host="))) {
            site->Host = line.mid(5);
            takeScheme(*site);
        } else if (key.startsWith(QLatin1String("port="))) {
            bool ok = false;
            const int port = line.mid(5).trimmed().toInt(&ok);
            if (!ok)
                return false;
            site->Port = port;
            // Port 990 is implicit TLS's own, unless the host's scheme already chose.
            if (port == 990 && site->Encryption == cePlainOnly)
                site->Encryption = ceImplicit;
        } else if (key.startsWith(QLatin1String("uid="))) {
            if (key != QLatin1String("uid=anonymous")) {
                site->Anonymous = false;
                site->Username = line.mid(4);
            }
        } else if (key.startsWith(QLatin1String("dir="))) {
            const QString dir = line.mid(4).remove(QLatin1Char('"'));
            site->InitialPath = dir.isEmpty() ? QString() : ConvertPath(dir, BackslashForm);
        } else if (key.startsWith(QLatin1String("comment="))) {
            site->Description = line.mid(8);
        }
    }
    return in.status() == QTextStream::Ok;
}
