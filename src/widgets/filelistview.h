#pragma once

#include <QDate>
#include <QIcon>
#include <QSet>
#include <QStackedWidget>

#include "widgets/filelistmodel.h"

class QAbstractItemView;
class QListView;
class QTreeView;

// A file list with the four view styles of a desktop file manager: large icons, small icons,
// list and details. One table model (FileListModel) with the columns "Name", "Size"
// (right-aligned), "Type" and "Modified" is shown either by a details view or by an icon view; both
// share one selection, so switching the style keeps the selection. Rows are addressed by their
// position in the model.
//
// A row's kind decides its place in a sort: the ".." entry first, then folders (empty Size
// text), then files. Captions are read-only. The widget's focus proxy is the view on show, so
// hasFocus() on the widget tells whether the list has the keyboard focus.
class FileListView : public QStackedWidget
{
    Q_OBJECT

public:
    enum ViewStyle { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };
    enum Column {
        NameColumn = FileListModel::NameColumn,
        SizeColumn = FileListModel::SizeColumn,
        TypeColumn = FileListModel::TypeColumn,
        ModifiedColumn = FileListModel::ModifiedColumn
    };
    using Kind = FileListModel::Kind;
    static constexpr Kind ParentEntry = FileListModel::ParentEntry;
    static constexpr Kind FolderEntry = FileListModel::FolderEntry;
    static constexpr Kind FileEntry = FileListModel::FileEntry;

    explicit FileListView(QWidget *parent = nullptr);

    ViewStyle viewStyle() const { return m_style; }
    void setViewStyle(ViewStyle style);

    // Appends a row and returns its position. name is the caption; internalName, when not
    // empty, is the name the program builds paths from (a drive shown as "/" is "Z:"); bytes
    // is the size the Size text shows, which a sort by size orders by (-1: the text's number).
    int addItem(const QString &name,
                Kind kind,
                const QString &size,
                const QString &type,
                const QDate &modified,
                const QIcon &icon,
                const QString &internalName = {},
                qint64 bytes = -1);
    // Puts a row at its sorted place by the list's sort column (tag()) and returns it.
    int insertSorted(const QString &name,
                     Kind kind,
                     const QString &size,
                     const QString &type,
                     const QDate &modified,
                     const QIcon &icon,
                     qint64 bytes = -1);
    void removeRow(int row);
    void clear();
    // Between these, rows added or cleared reach the views once, at endFill().
    void beginFill() { m_model->beginFill(); }
    void endFill() { m_model->endFill(); }
    // Sets the row's mark (FileListModel::MarkRole) and gives it another icon.
    void setMark(int row, const QIcon &icon) { m_model->setMark(row, icon); }
    int rowCount() const;
    // The row whose caption equals name exactly (case-sensitive), or -1.
    int findCaption(const QString &name, Qt::CaseSensitivity cs) const;

    QString text(int row, int column) const;
    QString internalName(int row) const;
    Kind kind(int row) const;
    QIcon icon(int row) const;

    // Selected rows in ascending order.
    QList<int> selectedRows() const;
    // The number of selected rows and the first of them (-1 for none), counted once after each
    // change of the selection or the rows, however often they are asked for.
    int selectedCount() const;
    int firstSelectedRow() const;
    void selectRow(int row, bool select = true);
    void clearSelection();
    void setCurrentRow(int row);

    // Sorts ascending by the column: ".." first, folders before files, then Name and Type by
    // locale-aware text, Size by number, Modified by date (older first). Equal rows keep their
    // order; the selection stays with its rows.
    void sortItems(Column column);

    // The sort column as the list remembers it (1 = Name ... 4 = Modified).
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // In the details view the Name column takes the width the other columns leave, and grows
    // and shrinks with the list; Size, Type and Modified widen to show their texts in full
    // whenever rows arrive, unless the user has sized that column by hand since. A width set
    // here (a stored layout) counts as the column's width until then.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);
    // Widens Size, Type and Modified to their texts now (the rows arriving do it on their own
    // at the end of the event-loop turn).
    void fitColumns();
    // Rows inserted together up to this many are measured one by one as they arrive; more
    // are measured as a new list is, at the end of the turn.
    static constexpr int MeasuredInsertRows = 64;

    QTreeView *detailsView() const { return m_details; }
    QListView *iconView() const { return m_icons; }
    // The view that shows the list in the current style.
    QAbstractItemView *currentView() const;
    FileListModel *model() const { return m_model; }

Q_SIGNALS:
    // A row was double-clicked (or activated with Return) in either view.
    void rowActivated(int row);
    // The set of selected rows changed.
    void selectionChanged();
    // A column header was clicked (column 0..3).
    void columnClicked(int column);

protected:
    // Rows filled while the list was hidden are measured once it shows.
    void showEvent(QShowEvent *event) override;

private:
    void countSelection() const;
    void scheduleFit();
    // The next fit measures the list as a whole (a new list, or shown for the first time).
    void measureAll();
    // Takes the widths of rows just inserted into the next fit.
    void measureRows(int first, int last);
    // Widens the columns to the rows measured since the last fit.
    void fit();

    FileListModel *m_model;
    mutable int m_selectedCount = -1; // -1: to be counted
    mutable int m_firstSelected = -1;
    QTreeView *m_details;
    QListView *m_icons;
    ViewStyle m_style = Details;
    int m_tag = 1;
    bool m_fitQueued = false;
    bool m_fitting = false; // the widths change by this list's own hand
    bool m_sizedByUser[4] = {false, false, false, false};
    bool m_measureAll = false;
    int m_widestArrived[4] = {0, 0, 0, 0}; // of the rows inserted since the last fit
    QSet<QString> m_measuredTexts[4];      // texts measured since the list was measured whole
};
