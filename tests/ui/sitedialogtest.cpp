// The site dialog on its own, and the prompts for what a site's login lacks.
#include "modalscript.h"

#include "settings/options.h"
#include "settings/registry.h"
#include "sites/siteconnection.h"
#include "sites/tsiteobject.h"
#include "ui/tdialog.h"
#include "ui/tsite.h"
#include "ui/tsitemgr.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    QTest::keyClicks(field, text);
}

} // namespace

TEST(SiteDialog, LoadsTheRecordAndKeepsItsAnonymousState)
{
    TSite dialog;
    TSiteObject site;
    site.Host = QStringLiteral("ftp.example.org");
    site.Username = QStringLiteral("kept-but-ignored");
    site.Password = QStringLiteral("pw");
    site.Anonymous = true;
    site.Firewall = 2;
    site.Port = 990;
    site.Tasks = 7;
    site.Description = QStringLiteral("one\r\ntwo");
    dialog.Pages->setCurrentIndex(2);
    dialog.FormActivate(site);
    // Filling the user name and password unchecks the box; the record's state comes last.
    EXPECT_TRUE(dialog.anonymous->isChecked());
    EXPECT_EQ(dialog.Username->palette().color(QPalette::Text), QColor(128, 128, 128));
    EXPECT_EQ(dialog.PasswordLabel->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_EQ(dialog.Pages->currentIndex(), 0);
    EXPECT_TRUE(dialog.firewall->isChecked());
    EXPECT_FALSE(dialog.passive->isChecked());
    EXPECT_EQ(dialog.port->text(), QStringLiteral("990"));
    EXPECT_EQ(dialog.tasks->text(), QStringLiteral("7"));
    EXPECT_EQ(dialog.Description->toPlainText(), QStringLiteral("one\ntwo"));
    EXPECT_EQ(dialog.descriptionText(), QStringLiteral("one\r\ntwo"));
    EXPECT_EQ(dialog.Password->echoMode(), QLineEdit::Password);

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.anonymous, Qt::LeftButton);
    EXPECT_FALSE(dialog.anonymous->isChecked());
    EXPECT_EQ(dialog.Username->palette().color(QPalette::Text), QColor(Qt::black));
    QTest::mouseClick(dialog.anonymous, Qt::LeftButton);
    typeInto(dialog.Password, QStringLiteral("x"));
    EXPECT_FALSE(dialog.anonymous->isChecked());

    // An empty initial path stays empty when left; a typed one is normalised.
    typeInto(dialog.InitPath, QString());
    dialog.InitPath->clear();
    QTest::keyClick(dialog.InitPath, Qt::Key_Tab);
    EXPECT_EQ(dialog.InitPath->text(), QString());
    typeInto(dialog.InitPath, QStringLiteral("a//b/../c"));
    QTest::keyClick(dialog.InitPath, Qt::Key_Tab);
    EXPECT_EQ(dialog.InitPath->text(), QStringLiteral("\\a\\c\\"));
}

TEST(SiteLoginPrompts, AskForAMissingUserNameAndPassword)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Registry registry(dir.filePath(QStringLiteral("registry.json")));
    const Options options = Options::defaults();
    auto mgr = std::make_unique<TSiteMgr>(registry, options);
    TSiteObject site;
    site.Anonymous = false;
    SiteConnection connection = SiteConnection::fromSite(site, options);
    QStringList captions;
    ModalScript script;
    script.then<TDialog>([&](TDialog *dialog) {
              captions.append(dialog->windowTitle() + '|' + dialog->Label1->text());
              EXPECT_EQ(dialog->Edit1->echoMode(), QLineEdit::Normal);
              typeInto(dialog->Edit1, QStringLiteral("bob"));
              QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
          }).then<TDialog>([&](TDialog *dialog) {
        captions.append(dialog->windowTitle() + '|' + dialog->Label1->text());
        EXPECT_EQ(dialog->Edit1->echoMode(), QLineEdit::Password);
        typeInto(dialog->Edit1, QStringLiteral("typed then cancelled"));
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    mgr->completeLogin(connection);
    EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    EXPECT_EQ(captions,
              (QStringList{"Needs username for session|Session Username:",
                           "Needs password for session|Session Password:"}));
    EXPECT_EQ(connection.Username, QStringLiteral("bob"));
    EXPECT_EQ(connection.Password, QString()); // Cancel connects with an empty field
}
