#pragma once

// Drives modal dialogs: the steps run once the dialog is shown, inside its exec(); a dialog the
// steps leave open is closed after a bound, so a failing test never hangs.

#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

// Call right before whatever opens the dialog (it may already exist, hidden).
inline void whenShown(QDialog *dialog, std::function<void()> steps, int boundMs = 5000)
{
    QTimer::singleShot(0, dialog, [dialog, steps = std::move(steps), boundMs] {
        QTimer::singleShot(boundMs, dialog, [dialog] {
            if (dialog->isVisible()) {
                ADD_FAILURE() << "dialog " << dialog->objectName().toStdString()
                              << " was left open";
                dialog->done(-1);
            }
        });
        if (!QTest::qWaitForWindowExposed(dialog, 2000)) {
            ADD_FAILURE() << "dialog " << dialog->objectName().toStdString() << " did not show";
            return;
        }
        steps();
    });
}

// Replaces a field's text the way a user does: focus, clear, type, leave with Tab.
inline void typeText(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
}

// Makes a window active again once a dialog it opened has gone.
inline void backTo(QWidget *window)
{
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}
