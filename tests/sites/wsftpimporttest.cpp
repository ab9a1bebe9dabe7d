#include "sites/wsftpimport.h"
#include "sites/sitetreemodel.h"
#include "support/files.h"
#include "support/qtprinters.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Each site as "name|host|user|initial folder|port|tasks|anonymous|description|encryption".
QStringList sitesIn(const SiteNode *folder)
{
    QStringList lines;
    for (int i = 0; folder && i < folder->childCount(); ++i) {
        const TSiteObject *s = folder->child(i)->site();
        lines << QStringList{folder->child(i)->text(),
                             s->Host,
                             s->Username,
                             s->InitialPath,
                             QString::number(s->Port),
                             QString::number(s->Tasks),
                             QString::number(s->Anonymous),
                             s->Description,
                             QString::number(s->Encryption)}
                         .join('|');
    }
    return lines;
}
} // namespace

TEST(WsFtpImport, ReadsSectionsUntilABadPort)
{
    SiteTreeModel model;
    model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager")));
    WsFtpImport import(model);
    QBuffer buffer;
    buffer.setData(
            "host=before.example\r\n[_config_]\r\nHOST=config.example\r\nUID=ignored\r\n\r\n"
            "[My/Site:1]\r\nHOST=Ftp.Example.ORG\r\nUID=Anonymous\r\nPASS=ABC123\r\n"
            "DIR=\"/pub/Incoming\"\r\nPORT=2121\r\nCOMMENT=Mirror of Things\r\n"
            "[Work]\r\nHost=work.example\r\nUid=Ann\r\ndir=home/ann\r\n"
            "[work]\r\nHOST=second.example\r\n"
            // Plain FTP unless the host's scheme or port 990 says otherwise.
            "[Url]\r\nHOST=ftp://url.example/pub\r\n[Implicit]\r\nHOST=FTPS://implicit.example\r\n"
            "[Explicit]\r\nPORT=990\r\nHOST=ftpes://explicit.example\r\n"
            "[Broken]\r\nHOST=broken.example\r\nPORT=21x\r\nUID=bob\r\n"
            "[After]\r\nHOST=after.example\r\n");
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_FALSE(import.run(buffer));
    ASSERT_NE(import.folder(), nullptr);
    EXPECT_EQ(import.folder()->text(), QStringLiteral("WS_FTP imported sites"));
    // The _config_ section adds nothing; the sites before the bad port stay, none after. The
    // UID line after the bad port was never read.
    EXPECT_EQ(sitesIn(import.folder()),
              (QStringList{"Broken|broken.example|||21|4|1||3",
                           "Explicit|explicit.example|||990|4|1||1",
                           "Implicit|implicit.example|||21|4|1||2",
                           "MySite1|Ftp.Example.ORG||\\pub\\Incoming\\|2121|4|1|Mirror of Things|3",
                           "Url|url.example|||21|4|1||3",
                           "Work|work.example|Ann|home\\ann\\|21|4|0||3",
                           "work (2)|second.example|||21|4|1||3"}));
    EXPECT_EQ(import.sitesAdded(), 7);
}

TEST(WsFtpImport, SecondImportGetsItsOwnFolderAndFilesAreRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ws_ftp.ini"));
    ASSERT_TRUE(
            ovtest::writeFile(path, "[One]\nHOST=one.example\nPORT= 990 \n[Two]\nHOST=two\n[]\n"));
    SiteTreeModel model;
    model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager")));
    WsFtpImport first(model);
    ASSERT_TRUE(first.run(path));
    WsFtpImport second(model);
    ASSERT_TRUE(second.run(path));
    EXPECT_EQ(second.folder()->text(), QStringLiteral("WS_FTP imported sites (2)"));
    EXPECT_EQ(sitesIn(second.folder()),
              (QStringList{
                      "One|one.example|||990|4|1||2", "Site||||21|4|1||3", "Two|two|||21|4|1||3"}));
    // An unreadable list: the folder is there, empty, and the run reports the failure.
    WsFtpImport missing(model);
    EXPECT_FALSE(missing.run(dir.filePath(QStringLiteral("nothing.ini"))));
    ASSERT_NE(missing.folder(), nullptr);
    EXPECT_EQ(missing.folder()->text(), QStringLiteral("WS_FTP imported sites (3)"));
    EXPECT_EQ(missing.folder()->childCount(), 0);
    EXPECT_EQ(model.root()->childCount(), 3);
}
