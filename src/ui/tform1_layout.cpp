// TForm1: the persisted layout applied to the widgets and read back from them.
#include "settings/layoutrecord.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"
#include "ui/tform1.h"
#include "widgets/filelistview.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QListView>
#include <QPalette>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>

#include <initializer_list>

namespace {

// Sizes a two-part splitter so that its first (first = true) or second part gets size; the
// other part takes what is left of the splitter's current extent.
void setSplitterPart(QSplitter *splitter, bool first, int size)
{
    const int extent
            = splitter->orientation() == Qt::Horizontal ? splitter->width() : splitter->height();
    const int rest = qMax(1, extent - size - splitter->handleWidth());
    splitter->setSizes(first ? QList<int>{size, rest} : QList<int>{rest, size});
}

// Holds one part of a two-part splitter at a stored size until the user drags the handle. A
// splitter has nothing real to split before the window is shown, or while the pane it lies in
// is hidden: each time it is shown or resized, the part gets the stored size again.
class SplitterKeeper : public QObject
{
public:
    SplitterKeeper(QSplitter *splitter, bool first)
        : QObject(splitter)
        , m_splitter(splitter)
        , m_first(first)
    {
        splitter->installEventFilter(this);
        connect(splitter, &QSplitter::splitterMoved, this, [this] { m_keeping = false; });
    }

    void keep(int size)
    {
        m_size = size;
        m_keeping = true;
        apply();
    }
    bool keeping() const { return m_keeping; }
    int size() const { return m_size; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_splitter && m_keeping
            && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            apply();
        return false;
    }

private:
    void apply() { setSplitterPart(m_splitter, m_first, m_size); }

    QSplitter *m_splitter;
    bool m_first;
    int m_size = 0;
    bool m_keeping = false;
};

SplitterKeeper *keeperOf(QSplitter *splitter, bool first)
{
    for (QObject *child : splitter->children()) {
        if (auto *keeper = dynamic_cast<SplitterKeeper *>(child))
            return keeper;
    }
    return new SplitterKeeper(splitter, first);
}

int splitterPart(const QSplitter *splitter, int index)
{
    const QList<int> sizes = splitter->sizes();
    return index < sizes.size() ? sizes.at(index) : 0;
}

QColor fromWindowsColour(int colour)
{
    return QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
}

} // namespace

void TForm1::loadLayout(const LayoutRecord &layout)
{
    // 1-4: the window's size, and its place or the centre of the screen.
    resize(qMax(1, layout.width), qMax(1, layout.height));
    if (!layout.centred())
        move(layout.left, layout.top);
    fitOnScreen(layout.centred());
    // 7-11: the local list's columns and the local tree's height.
    for (int i = 0; i < 4; ++i)
        m_localPane->lWin()->setColumnWidth(i, layout.lWinColumns[i]);
    keepSplitterPart(m_localPane->lPanelSplit(), true, layout.lPathTreeHeight);
    // 12-16 and 23-34: the sizes of each interface mode.
    for (int i = 0; i < LayoutRecord::ViewLayoutEntries; ++i)
        ViewLayout[i] = layout.ViewLayout[i];
    // 17: the task view over the queue view.
    keepSplitterPart(m_taskPanel->tasksplitter(), true, layout.taskViewHeight);
    // 18: button style; 37 then says whether the captions show.
    ApplyTextLabels(layout.largeButtons);
    // 19-22: view styles and the task panel's columns.
    m_localPane->lWin()->setViewStyle(FileListView::ViewStyle(layout.lWinViewStyle));
    m_hostPane->rWin()->setViewStyle(FileListView::ViewStyle(layout.rWinViewStyle));
    m_taskPanel->TaskView()->setColumnWidth(0, layout.taskViewColumn);
    m_taskPanel->QueueView()->setColumnWidth(0, layout.queueViewColumn);
    // 35: the log window's height.
    keepSplitterPart(winSplit, false, layout.logwinHeight);
    // 36: local bookmarks, kept sorted.
    LocalBookmarks = layout.localBookmarks;
    LocalBookmarks.sort();
    // 37, 38.
    Menu_ViewLabels->setChecked(layout.labelsShown);
    ApplyTextLabels(layout.labelsShown);
    ApplyFont(layout.font);

    // 6: the saved mode. The table was just loaded: the mode shown until now must not save
    // its sizes over it.
    m_modeApplied = false;
    QAction *mode = layout.viewMode == LayoutRecord::SingleView ? Menu_ViewSingle
                    : layout.viewMode == LayoutRecord::TaskView ? Menu_ViewTask
                                                                : Menu_ViewDouble;
    SetGUI(mode);

    m_loadedFields = layout.toRecord().split(QLatin1Char('*'));
    m_shownFields.clear();
}

void TForm1::keepSplitterPart(QSplitter *splitter, bool first, int size)
{
    keeperOf(splitter, first)->keep(size);
}

int TForm1::keptSplitterPart(QSplitter *splitter, bool first) const
{
    // A part the user has not dragged since it was set is still the size it was given.
    const SplitterKeeper *keeper = keeperOf(splitter, first);
    return keeper->keeping() ? keeper->size() : splitterPart(splitter, first ? 0 : 1);
}

void TForm1::fitOnScreen(bool centre)
{
    // The screen the window stands on (most of it), else the primary one.
    QScreen *screen = centre ? nullptr : QGuiApplication::screenAt(frameGeometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame the window system adds is known once the window was shown.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(size().boundedTo(area.size() - frame));
    const QSize outer = size() + frame;
    QPoint at = centre ? area.center() - QPoint(outer.width() / 2, outer.height() / 2) : pos();
    at.setX(qMax(area.left(), qMin(at.x(), area.right() + 1 - outer.width())));
    at.setY(qMax(area.top(), qMin(at.y(), area.bottom() + 1 - outer.height())));
    move(at);
}

void TForm1::rememberShownLayout()
{
    if (m_loadedFields.isEmpty())
        return;
    const QStringList loaded = m_loadedFields;
    m_loadedFields.clear();
    m_shownFields = saveLayout().toRecord().split(QLatin1Char('*'));
    m_loadedFields = loaded;
}

LayoutRecord TForm1::saveLayout()
{
    if (m_modeApplied)
        saveModeSizes();

    LayoutRecord layout;
    // A minimised or maximised window keeps the size and place it returns to. One that was
    // never shown in its normal state this run has none yet: it returns to the loaded one.
    const bool normalState = !isMinimized() && !isMaximized();
    const QRect normal = normalState ? geometry() : normalGeometry();
    const QPoint place = normalState ? pos() : normal.topLeft();
    if (normal.isValid()) {
        layout.width = normal.width();
        layout.height = normal.height();
        layout.left = place.x();
        layout.top = place.y();
    } else if (m_loadedFields.size() == LayoutRecord::RecordFields) {
        const LayoutRecord loaded = LayoutRecord::fromRecord(m_loadedFields.join(QLatin1Char('*')));
        layout.width = loaded.width;
        layout.height = loaded.height;
        layout.left = loaded.left;
        layout.top = loaded.top;
    }
    layout.windowState = isMinimized()   ? LayoutRecord::Minimised
                         : isMaximized() ? LayoutRecord::Maximised
                                         : LayoutRecord::Normal;
    layout.viewMode = interfaceMode();
    for (int i = 0; i < 4; ++i)
        layout.lWinColumns[i] = m_localPane->lWin()->columnWidth(i);
    // The Name column takes what the others leave: its stored width stays the loaded one.
    if (m_loadedFields.size() == LayoutRecord::RecordFields)
        layout.lWinColumns[0] = m_loadedFields.at(6).toInt();
    layout.lPathTreeHeight = keptSplitterPart(m_localPane->lPanelSplit(), true);
    for (int i = 0; i < LayoutRecord::ViewLayoutEntries; ++i)
        layout.ViewLayout[i] = ViewLayout[i];
    layout.taskViewHeight = keptSplitterPart(m_taskPanel->tasksplitter(), true);
    layout.largeButtons = true;
    layout.lWinViewStyle = m_localPane->lWin()->viewStyle();
    layout.rWinViewStyle = m_hostPane->rWin()->viewStyle();
    layout.taskViewColumn = m_taskPanel->TaskView()->columnWidth(0);
    layout.queueViewColumn = m_taskPanel->QueueView()->columnWidth(0);
    layout.logwinHeight = keptSplitterPart(winSplit, false);
    layout.localBookmarks = LocalBookmarks;
    layout.labelsShown = Menu_ViewLabels->isChecked();
    layout.font = m_viewFont;

    if (m_loadedFields.size() != LayoutRecord::RecordFields)
        return layout;
    if (m_shownFields.size() != LayoutRecord::RecordFields)
        return layout;
    QStringList fields = layout.toRecord().split(QLatin1Char('*'));
    if (fields.size() != LayoutRecord::RecordFields)
        return layout;
    // The window's place goes as a pair: while the window stands where the loaded values put
    // it (centred, say), they are written back; once moved, its place is.
    const bool moved = fields.at(2) != m_shownFields.at(2) || fields.at(3) != m_shownFields.at(3);
    // Elsewhere, where a widget still shows what the loaded value gave (a tree held to its
    // smallest height), the loaded value is written back.
    for (int i = 0; i < LayoutRecord::RecordFields; ++i) {
        if (fields.at(i) == m_shownFields.at(i))
            fields[i] = m_loadedFields.at(i);
    }
    if (moved) {
        fields[2] = QString::number(layout.left);
        fields[3] = QString::number(layout.top);
    } else {
        fields[2] = m_loadedFields.at(2);
        fields[3] = m_loadedFields.at(3);
    }
    LayoutRecord kept = LayoutRecord::fromRecord(fields.join(QLatin1Char('*')));
    kept.localBookmarks = LocalBookmarks;
    return kept;
}

void TForm1::ApplyFont(const LayoutFont &layoutFont)
{
    m_viewFont = layoutFont;
    QFont font(layoutFont.face);
    if (layoutFont.size > 0)
        font.setPointSize(layoutFont.size);
    if (layoutFont.pitch == LayoutFont::FixedPitch) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    }
    // Colour 0 (black, the stored default) leaves the theme's text colour, so that dark themes
    // stay readable; any other colour is used as it is.
    const QColor colour = layoutFont.colour == 0 ? QGuiApplication::palette().color(QPalette::Text)
                                                 : fromWindowsColour(layoutFont.colour);
    for (QWidget *view : std::initializer_list<QWidget *>{m_localPane->lWin()->detailsView(),
                                                          m_localPane->lWin()->iconView(),
                                                          m_hostPane->rWin()->detailsView(),
                                                          m_hostPane->rWin()->iconView(),
                                                          m_localPane->LPathTree(),
                                                          m_hostPane->RPathTree(),
                                                          m_taskPanel->QueueView(),
                                                          m_taskPanel->TaskView()}) {
        view->setFont(font);
        QPalette pal = view->palette();
        pal.setColor(QPalette::Text, colour);
        view->setPalette(pal);
    }
}
