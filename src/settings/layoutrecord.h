#pragma once

#include "settings/layoutfont.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class Registry;

// The main window's persisted layout: the "screen" string value of the Setup key, 38 fields
// joined by "*" in the order of the members below, read field by field like the options record
// (a field that is not a number keeps its value, a record that ends early leaves the rest as
// they are, fields past the 38th are ignored). The toolbar positions are stored apart, as one
// binary value under the Toolbars key.
//
// A plain record: it neither knows nor touches widgets. The main window applies it at the first
// tick of its start-up timer (field order, the window state last) and fills it from its widgets
// when it is destroyed. Whether anything is written at shut-down is the window's decision: it
// calls save() and saveToolbars() only when its start-up completed (the Setup dialog was
// created); a shut-down before that writes nothing and leaves the session folder in place.
class LayoutRecord
{
public:
    static constexpr int RecordFields = 38;
    static constexpr int ViewLayoutEntries = 17;
    // Sizes and positions are held to this range when read.
    static constexpr int MaxSize = 32767;

    enum WindowState { Normal = 0, Minimised = 1, Maximised = 2 };
    enum ViewMode { SingleView = 0, DoubleView = 1, TaskView = 2 };
    enum ViewStyle { Icons = 0, SmallIcons = 1, List = 2, Details = 3 };
    // The left position that centres the window on the screen (the top is then ignored).
    static constexpr int Centred = -1;

    int width = 640;                                 //  1 main window
    int height = 452;                                //  2
    int left = Centred;                              //  3
    int top = -1;                                    //  4
    int windowState = Normal;                        //  5 applied after every other field
    int viewMode = SingleView;                       //  6
    std::array<int, 4> lWinColumns{120, 59, 61, 54}; //  7-10 local list column widths
    int lPathTreeHeight = 20;                        // 11
    int taskViewHeight = 63;                         // 17
    bool largeButtons = true;                        // 18 glyph and caption; always written 1
    int lWinViewStyle = Details;                     // 19
    int rWinViewStyle = Details;                     // 20
    int taskViewColumn = 249;                        // 21 width of column 0 of TaskView
    int queueViewColumn = 233;                       // 22 width of column 0 of QueueView
    int logwinHeight = 36;                           // 35
    QStringList localBookmarks;                      // 36 entries "name\rfolder"
    bool labelsShown = true;                         // 37 toolbar captions (Menu_ViewLabels)
    LayoutFont font;                                 // 38
    // Fields 12-16 and 23-34; fieldOfViewLayout() says which field holds which entry.
    std::array<int, ViewLayoutEntries> ViewLayout{
            208, 161, 65, 121, 54, 314, 20, 120, 59, 62, 54, 253, 80, 155, 59, 88, 59};

    // A default-constructed record holds the layout of a first start; a record that ends early
    // or has a bad field keeps these values where it does not reach.
    LayoutRecord() = default;

    static QString defaultRecord();
    static LayoutRecord defaults();

    // Applies the record field by field over the current values; numbers are held to their
    // range (sizes 0..MaxSize, positions -MaxSize..MaxSize, modes and styles to their enums).
    void applyRecord(const QString &record);
    // The initial state with record applied; the default record when record is empty.
    static LayoutRecord fromRecord(const QString &record);
    // The 38 fields. Texts lose any "*"; see bookmarksText() for field 36.
    QString toRecord() const;

    bool centred() const { return left == Centred; }

    // Field 36: entries joined by "\n", none after the last. A name loses "*", CR and LF; an
    // entry whose folder holds any of them cannot be stored and is left out (see
    // unstorableBookmarks()).
    QString bookmarksText() const;
    // Entries of field 36; the text is taken only when it holds a CR, and pieces without a CR
    // are skipped.
    static QStringList bookmarksFromText(const QString &text);
    // The entries that bookmarksText() leaves out, for the window to warn about.
    QStringList unstorableBookmarks() const;

    // The number (1..38) of the record field that holds ViewLayout entry index.
    static int fieldOfViewLayout(int index);

    // Reads "screen" from the Setup key; the default record when it is missing, empty or not a
    // string.
    static LayoutRecord load(Registry &registry);
    // Writes "screen" and saves the store.
    bool save(Registry &registry, QString *error = nullptr) const;

    // The toolbar positions (QMainWindow::saveState()) as the one binary value of the Toolbars
    // key. loadToolbars() gives nullopt when the key or value is missing or not binary: the
    // toolbars then stay where the window put them.
    static std::optional<QByteArray> loadToolbars(Registry &registry);
    static bool saveToolbars(Registry &registry, const QByteArray &state, QString *error = nullptr);

    bool operator==(const LayoutRecord &) const = default;

private:
    void applyField(int number, const QString &field);
};
