#include "modalscript.h"

#include "settings/options.h"
#include "settings/registry.h"
#include "sites/passwordcipher.h"
#include "sites/passwordvault.h"
#include "sites/sitestore.h"
#include "sites/sitetreemodel.h"
#include "ui/masterpasswordbox.h"
#include "ui/tsitemgr.h"

#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString Plain = QStringLiteral("site-pw-77");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Types text into the masked input dialog and presses OK; label gets what it said.
std::function<void(QInputDialog *)> answer(const QString &text, QString *label = nullptr)
{
    return [=](QInputDialog *dialog) {
        if (label)
            *label = dialog->labelText();
        auto *edit = dialog->findChild<QLineEdit *>();
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        QTest::keyClicks(edit, text);
        dialog->accept();
    };
}

} // namespace

TEST(MasterPasswordSetup, SetInSetupAskedOncePerRunAndRemovedWithANotice)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.json"));
    {
        Registry registry(file); // an older store: the old form
        auto root = SiteNode::makeRoot(SiteStore::rootText());
        TSiteObject site;
        site.Host = QStringLiteral("127.0.0.1");
        site.Username = QStringLiteral("bob");
        site.Password = Plain;
        site.Anonymous = false;
        root->addSite(QStringLiteral("Home"), site);
        ASSERT_TRUE(SiteStore(registry).saveTree(*root));
    }
    const QByteArray oldForm = EncipherPassword(Plain).toUtf8();
    ASSERT_TRUE(readAll(file).contains(oldForm));

    Registry registry(file);
    {
        PasswordVault vault(registry, nullptr); // no keyring here
        MasterPasswordBox box(registry, vault);
        box.show();
        EXPECT_TRUE(box.Where->text().contains(QStringLiteral("old enciphered form")));
        ModalScript script;
        script.then<QInputDialog>(answer(QStringLiteral("m-one")))
                .then<QInputDialog>(answer(QStringLiteral("m-one")));
        QTest::mouseClick(box.Set, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(box.Where->text().contains(QStringLiteral("master password")));
        EXPECT_TRUE(box.Remove->isEnabled());
    }
    // The change saved the sites again: sealed, and the old form is gone.
    EXPECT_FALSE(readAll(file).contains(oldForm));
    EXPECT_FALSE(readAll(file).contains(Plain.toUtf8()));
    EXPECT_TRUE(readAll(file).contains("PasswordSealed"));

    // A new run: the Site manager asks when it reads the sites, again after a wrong answer,
    // and not any more once it has the right one.
    Options options;
    PasswordVault vault(registry, nullptr);
    QWidget parent;
    vault.setPrompt(MasterPasswordBox::dialogPrompt(&parent));
    TSiteMgr mgr(registry, options);
    mgr.setPasswordVault(&vault);
    QString second;
    {
        ModalScript script;
        script.then<QInputDialog>(answer(QStringLiteral("wrong")))
                .then<QInputDialog>(answer(QStringLiteral("m-one"), &second));
        mgr.FormCreate();
        EXPECT_TRUE(script.finished()) << script.unexpected().join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_TRUE(second.contains(QStringLiteral("wrong"))) << second.toStdString();
    const SiteNode *home = mgr.model()->root()->child(0);
    EXPECT_EQ(home->site()->Password, Plain);
    {
        ModalScript script; // no question: the master password is known for this run
        EXPECT_TRUE(mgr.saveSites());
        EXPECT_TRUE(script.finished()) << script.unexpected().join(QLatin1Char(' ')).toStdString();
    }

    // Removed: the passwords fall back to the old form, and the user hears once what that is.
    MasterPasswordBox box(registry, vault);
    box.show();
    QString notice;
    {
        // No question (known for this run), and one notice however often the sites are saved.
        ModalScript script;
        script.then<QMessageBox>([&notice](QMessageBox *box) {
            notice = box->text();
            box->accept();
        });
        QTest::mouseClick(box.Remove, Qt::LeftButton);
        EXPECT_TRUE(readAll(file).contains(oldForm));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(mgr.saveSites());
        QTest::qWait(300);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_TRUE(notice.contains(QStringLiteral("anyone"))) << notice.toStdString();
}

TEST(SiteListFiles, ExportedWithPassphraseAndImportedBackThroughTheSiteManager)
{
    QTemporaryDir dir;
    Registry registry(dir.filePath(QStringLiteral("registry.json")));
    Options options;
    TSiteMgr mgr(registry, options);
    mgr.askAddDefaults = [] {
        return false;
    };
    mgr.FormCreate();
    TSiteObject site;
    site.Host = QStringLiteral("127.0.0.1");
    site.Password = Plain;
    site.Anonymous = false;
    mgr.model()->addSite(mgr.model()->root(), QStringLiteral("Box"), site);

    const QString list = dir.filePath(QStringLiteral("sites.json"));
    const auto chooseFile = [list](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(list);
        QTest::keyClick(name, Qt::Key_Return);
    };
    {
        ModalScript script;
        script.then<QFileDialog>(chooseFile).then<QInputDialog>(answer(QStringLiteral("phr")));
        QTest::mouseClick(mgr.Export, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(QLatin1Char(' ')).toStdString();
    }
    ASSERT_FALSE(readAll(list).isEmpty());
    EXPECT_FALSE(readAll(list).contains(Plain.toUtf8()));
    {
        ModalScript script;
        script.then<QFileDialog>(chooseFile).then<QInputDialog>(answer(QStringLiteral("phr")));
        mgr.siteList->trigger();
        EXPECT_TRUE(script.finished()) << script.unexpected().join(QLatin1Char(' ')).toStdString();
    }
    const SiteNode *root = mgr.model()->root();
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(1)->text(), QStringLiteral("Box (2)"));
    EXPECT_EQ(root->child(1)->site()->Password, Plain);
    EXPECT_EQ(mgr.model()->rowCount(mgr.model()->indexOf(root)), 2); // the view sees it
}
