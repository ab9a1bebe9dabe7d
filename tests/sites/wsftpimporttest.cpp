#include "sites/wsftpimport.h"
#include "sites/sitetreemodel.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const SiteNode *childNamed(const SiteNode *node, const QString &text)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text() == text)
            return node->child(i);
    }
    return nullptr;
}

QStringList names(const SiteNode *node)
{
    QStringList result;
    for (int i = 0; node && i < node->childCount(); ++i)
        result.append(node->child(i)->text());
    return result;
}

bool importText(SiteTreeModel &model, const QByteArray &text, WsFtpImport *import)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return import->run(buffer);
}

const char sampleList[] = "host=before.example\r\n"
                          "[_config_]\r\n"
                          "HOST=config.example\r\n"
                          "UID=ignored\r\n"
                          "\r\n"
                          "[My/Site:1]\r\n"
                          "HOST=Ftp.Example.ORG\r\n"
                          "UID=Anonymous\r\n"
                          "PASS=ABC123\r\n"
                          "DIR=\"/pub/Incoming\"\r\n"
                          "PORT=2121\r\n"
                          "COMMENT=Mirror of Things\r\n"
                          "[Work]\r\n"
                          "Host=work.example\r\n"
                          "Uid=Ann\r\n"
                          "dir=home/ann\r\n"
                          "[work]\r\n"
                          "HOST=second.example\r\n"
                          "[Broken]\r\n"
                          "HOST=broken.example\r\n"
                          "PORT=21x\r\n"
                          "UID=bob\r\n"
                          "[After]\r\n"
                          "HOST=after.example\r\n";

} // namespace

TEST(WsFtpImport, ReadsSectionsUntilABadPort)
{
    SiteTreeModel model;
    model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager")));
    WsFtpImport import(model);
    EXPECT_FALSE(importText(model, sampleList, &import));

    const SiteNode *folder = childNamed(model.root(), QStringLiteral("WS_FTP imported sites"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(import.folder(), folder);
    EXPECT_EQ(folder->kind(), SiteNode::Kind::Folder);
    // The _config_ section adds nothing; the nodes before the bad port stay, nothing after.
    EXPECT_EQ(names(folder), (QStringList{"Broken", "MySite1", "Work", "work (2)"}));
    EXPECT_EQ(import.sitesAdded(), 4);

    const TSiteObject *mine = childNamed(folder, QStringLiteral("MySite1"))->site();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->Host, QStringLiteral("Ftp.Example.ORG"));
    EXPECT_TRUE(mine->Anonymous);
    EXPECT_EQ(mine->Username, QString());
    EXPECT_EQ(mine->Password, QString());
    EXPECT_EQ(mine->InitialPath, QStringLiteral("\\pub\\Incoming\\"));
    EXPECT_EQ(mine->Port, 2121);
    EXPECT_EQ(mine->Tasks, 1);
    EXPECT_EQ(mine->Description, QStringLiteral("Mirror of Things"));

    const TSiteObject *work = childNamed(folder, QStringLiteral("Work"))->site();
    EXPECT_EQ(work->Host, QStringLiteral("work.example"));
    EXPECT_FALSE(work->Anonymous);
    EXPECT_EQ(work->Username, QStringLiteral("Ann"));
    EXPECT_EQ(work->InitialPath, QStringLiteral("home\\ann\\"));
    EXPECT_EQ(work->Port, 21);

    EXPECT_EQ(childNamed(folder, QStringLiteral("work (2)"))->site()->Host,
              QStringLiteral("second.example"));
    const TSiteObject *broken = childNamed(folder, QStringLiteral("Broken"))->site();
    EXPECT_EQ(broken->Host, QStringLiteral("broken.example"));
    EXPECT_EQ(broken->Port, 21);
    EXPECT_TRUE(broken->Anonymous); // the UID line after the bad port was never read
}

TEST(WsFtpImport, SecondImportGetsItsOwnFolderAndFilesAreRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ws_ftp.ini"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[One]\nHOST=one.example\nPORT= 990 \n[Two]\nHOST=two.example\n[]\n");
    }
    SiteTreeModel model;
    model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager")));
    WsFtpImport first(model);
    ASSERT_TRUE(first.run(path));
    WsFtpImport second(model);
    ASSERT_TRUE(second.run(path));
    EXPECT_EQ(names(model.root()),
              (QStringList{"WS_FTP imported sites", "WS_FTP imported sites (2)"}));
    EXPECT_EQ(names(second.folder()), (QStringList{"One", "Site", "Two"}));
    EXPECT_EQ(childNamed(second.folder(), QStringLiteral("One"))->site()->Port, 990);

    // An unreadable list: the folder is there, empty, and the run reports the failure.
    WsFtpImport missing(model);
    EXPECT_FALSE(missing.run(dir.filePath(QStringLiteral("nothing.ini"))));
    ASSERT_NE(missing.folder(), nullptr);
    EXPECT_EQ(missing.folder()->text(), QStringLiteral("WS_FTP imported sites (3)"));
    EXPECT_EQ(missing.folder()->childCount(), 0);
}
