#pragma once

// Drives a shown main window the way a user does: clicks on list rows and tree nodes, reads
// what the widgets show. Every wait is bounded.

#include "ui/tform1.h"
#include "widgets/filelistview.h"

#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

inline std::unique_ptr<TForm1> showForm()
{
    auto form = std::make_unique<TForm1>();
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

// The row of the list whose caption is name, or -1.
inline int rowOf(FileListView *list, const QString &name)
{
    return list->findCaption(name, Qt::CaseSensitive);
}

inline QPoint rowCentre(FileListView *list, int row)
{
    QAbstractItemView *view = list->currentView();
    const QModelIndex index = list->model()->index(row, 0);
    view->scrollTo(index);
    return view->visualRect(index).center();
}

// Clicks a row (with modifiers: Ctrl adds it to the selection).
inline void clickRow(FileListView *list, int row, Qt::KeyboardModifiers mods = {})
{
    ASSERT_GE(row, 0);
    QTest::mouseClick(list->currentView()->viewport(), Qt::LeftButton, mods, rowCentre(list, row));
}

inline void doubleClickRow(FileListView *list, int row)
{
    ASSERT_GE(row, 0);
    const QPoint at = rowCentre(list, row);
    QTest::mouseClick(list->currentView()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->currentView()->viewport(), Qt::LeftButton, {}, at);
}

inline void clickNode(QTreeWidget *tree, QTreeWidgetItem *node)
{
    ASSERT_NE(node, nullptr);
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}

// Gives the focus to a widget the way a click on an empty spot would, and waits for it.
inline void focusOn(QWidget *widget)
{
    widget->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000));
}

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
