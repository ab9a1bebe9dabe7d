// The master password: set in its box, asked once per run when the Site manager reads the sites,
// removed with a notice.
#include "windowdriver.h"

#include "settings/registry.h"
#include "sites/passwordcipher.h"
#include "sites/passwordvault.h"
#include "sites/sitestore.h"
#include "ui/masterpasswordbox.h"

#include <QInputDialog>

namespace {

const QString Plain = "site-pw-77";

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
    const QString file = dir.filePath("registry.json");
    {
        Registry registry(file); // an older store: the old form
        auto root = SiteNode::makeRoot(SiteStore::rootText());
        TSiteObject site;
        site.Password = Plain;
        site.Anonymous = false;
        root->addSite("Home", site);
        ASSERT_TRUE(SiteStore(registry).saveTree(*root));
    }
    const QByteArray oldForm = EncipherPassword(Plain).toUtf8();
    ASSERT_TRUE(ovtest::readFile(file).contains(oldForm));

    Registry registry(file);
    {
        PasswordVault vault(registry, nullptr); // no keyring here
        MasterPasswordBox box(registry, vault);
        box.show();
        UserScript()
                .on<QInputDialog>(answer("m-one"))
                .on<QInputDialog>(answer("m-one"))
                .click(box.Set);
        EXPECT_TRUE(box.Remove->isEnabled());
    }
    // The change saved the sites again: sealed, and the old form is gone.
    const QByteArray sealed = ovtest::readFile(file);
    EXPECT_TRUE(!sealed.contains(oldForm) && !sealed.contains(Plain.toUtf8())
                && sealed.contains("PasswordSealed"));

    // A new run: the Site manager asks when it reads the sites, again after a wrong answer,
    // and not any more once it has the right one.
    Options options;
    PasswordVault vault(registry, nullptr);
    QWidget parent;
    vault.setPrompt(MasterPasswordBox::dialogPrompt(&parent));
    TSiteMgr mgr(registry, options);
    mgr.setPasswordVault(&vault);
    QString second;
    UserScript()
            .on<QInputDialog>(answer("wrong"))
            .on<QInputDialog>(answer("m-one", &second))
            .after([&] { mgr.FormCreate(); });
    EXPECT_TRUE(second.contains("wrong")) << second.toStdString();
    const SiteNode *home = mgr.model()->root()->child(0);
    EXPECT_EQ(home->site()->Password, Plain);
    // No question: the master password is known for this run.
    UserScript().after([&] { EXPECT_TRUE(mgr.saveSites()); });

    // Removed: the passwords fall back to the old form, and the user hears once what that is.
    MasterPasswordBox box(registry, vault);
    box.show();
    QString notice;
    {
        // No question (known for this run), and one notice however often the sites are saved.
        UserScript script;
        script.on<QMessageBox>([&notice](QMessageBox *box) {
            notice = box->text();
            box->accept();
        });
        QTest::mouseClick(box.Remove, Qt::LeftButton);
        EXPECT_TRUE(ovtest::readFile(file).contains(oldForm));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(mgr.saveSites());
        QTest::qWait(300);
        EXPECT_TRUE(script.waitFinished());
    }
    EXPECT_TRUE(notice.contains("anyone")) << notice.toStdString();
}
