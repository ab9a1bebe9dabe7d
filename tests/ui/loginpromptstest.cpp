// A saved site without a user name or password is completed through the input dialog before
// connecting; the password is typed masked, and Cancel leaves the field empty.
#include "dialogdriver.h"
#include "formdriver.h"

#include "ftp/tcftp.h"
#include "ui/tdialog.h"

#include <QLabel>
#include <QPushButton>

TEST(LoginPrompts, AskForTheMissingUserNameAndPassword)
{
    auto form = showForm();
    TDialog *dialog = form->Dialog;

    TcFTPSession session{"127.0.0.1", "21", QString(), QString()};
    QLineEdit::EchoMode passwordEcho = QLineEdit::Normal;
    whenShown(dialog, [&] {
        EXPECT_EQ(dialog->windowTitle(), "Needs username for session");
        EXPECT_EQ(dialog->Label1->text(), "Session Username:");
        EXPECT_EQ(dialog->Edit1->echoMode(), QLineEdit::Normal);
        typeText(dialog->Edit1, "ann");
        // The password prompt follows as soon as this one closes.
        whenShown(dialog, [&] {
            EXPECT_EQ(dialog->windowTitle(), "Needs password for session");
            EXPECT_EQ(dialog->Label1->text(), "Session Password:");
            EXPECT_TRUE(dialog->Edit1->text().isEmpty());
            passwordEcho = dialog->Edit1->echoMode();
            typeText(dialog->Edit1, "s3cret");
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
        QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
    });
    form->PromptMissingLogin(session);
    EXPECT_EQ(session.Username, "ann");
    EXPECT_EQ(session.Password, "s3cret");
    EXPECT_EQ(passwordEcho, QLineEdit::Password);
    EXPECT_EQ(dialog->Edit1->echoMode(), QLineEdit::Normal); // the next prompt shows its text

    // Only what is missing is asked; Cancel connects with the field left empty.
    TcFTPSession partly{"127.0.0.1", "21", "bob", QString()};
    int asked = 0;
    whenShown(dialog, [&] {
        ++asked;
        EXPECT_EQ(dialog->windowTitle(), "Needs password for session");
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    form->PromptMissingLogin(partly);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(partly.Username, "bob");
    EXPECT_TRUE(partly.Password.isEmpty());
}
