#include "ui/tdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs exec() with the given steps done once the dialog is shown; the steps must close it.
int runDialog(TDialog &dialog, const std::function<void()> &steps)
{
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        steps();
        ran = true;
        // Never leave exec() running if the steps failed to close it.
        if (dialog.isVisible())
            QTimer::singleShot(2000, &dialog, [&dialog] { dialog.done(-1); });
    });
    const int result = dialog.exec();
    EXPECT_TRUE(ran);
    return result;
}

TEST(InputDialog, ReturnAcceptsTheSelectedText)
{
    TDialog dialog;
    dialog.setCaption("Change Host Folder");
    dialog.setPrompt("Type the host folder name:");
    dialog.setText("\\pub\\");
    const int result = runDialog(dialog, [&] {
        EXPECT_EQ(dialog.windowTitle(), "Change Host Folder");
        EXPECT_EQ(dialog.Label1->text(), "Type the host folder name:");
        EXPECT_TRUE(dialog.Edit1->hasFocus());
        EXPECT_EQ(dialog.Edit1->selectedText(), "\\pub\\");
        // Typing replaces the selected text.
        QTest::keyClicks(dialog.Edit1, "incoming");
        QTest::keyClick(dialog.Edit1, Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.text(), "incoming");
}

TEST(InputDialog, EscapeCancels)
{
    TDialog dialog;
    dialog.setText("name");
    const int result = runDialog(dialog, [&] { QTest::keyClick(dialog.Edit1, Qt::Key_Escape); });
    EXPECT_EQ(result, QDialog::Rejected);
}

} // namespace
