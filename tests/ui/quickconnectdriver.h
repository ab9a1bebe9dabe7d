#pragma once

// Connects a shown main window the way a user does: the Connect button, the Quick connect
// dialog filled in field by field, "C&onnect"; then waits for what the window shows.

#include "dialogdriver.h"
#include "ui/hostpane.h"

#include "tasks/taskengine.h"
#include "ui/tform1.h"
#include "ui/tquick.h"
#include "widgets/filelistview.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>

struct QuickLogin
{
    quint16 port = 21;
    QString user;                               // empty: anonymous
    QString password;
    QString initialPath;
    int tasks = 1;
    QString host = QStringLiteral("127.0.0.1"); // as typed: "::1" and "[::1]" as well
};

inline void quickConnect(TForm1 &form, const QuickLogin &login)
{
    TQuick *q = form.Quick;
    whenShown(q, [q, login] {
        typeText(q->Host, login.host);
        if (!login.initialPath.isEmpty())
            typeText(q->InitPath, login.initialPath);
        if (!login.user.isEmpty()) {
            if (q->anonymous->isChecked())
                QTest::mouseClick(q->anonymous, Qt::LeftButton);
            typeText(q->Username, login.user);
            typeText(q->Password, login.password);
        }
        q->Pages->setCurrentIndex(1);
        typeText(q->Port, QString::number(login.port));
        typeText(q->Tasks, QString::number(login.tasks));
        if (!q->passive->isChecked())
            QTest::mouseClick(q->passive, Qt::LeftButton);
        QTest::mouseClick(q->Connect, Qt::LeftButton);
    });
    form.tbBtn_Quick->trigger();
    backTo(&form);
}

// The captions of a list, in order.
inline QStringList captions(FileListView *list)
{
    QStringList names;
    for (int row = 0; row < list->rowCount(); ++row)
        names << list->text(row, FileListView::NameColumn);
    return names;
}

// Waits until the host list shows the folder with exactly these captions (any order).
inline bool waitForHostList(TForm1 &form,
                            const QString &folder,
                            QStringList expected,
                            int timeoutMs = 15000)
{
    expected.sort();
    return QTest::qWaitFor(
            [&] {
                QStringList shown = captions(form.hostPane()->rWin());
                shown.sort();
                return form.currentHostFolder() == folder && shown == expected;
            },
            timeoutMs);
}
