#pragma once

#include <QDialog>

class AsciiExtensionList;
class QListWidget;
class QPushButton;
class TDialog;

// The ASCII-extension dialog: the extensions sent in ASCII mode when the program decides the
// transfer type. Edits reach the list at once (there is no Cancel): Add asks for one extension
// through the input dialog, Remove deletes the selected items and is enabled only while some
// are selected.
class TASCext : public QDialog
{
    Q_OBJECT

public:
    // list is the live list of the options; dialog the shared input dialog.
    TASCext(AsciiExtensionList &list, TDialog *dialog, QWidget *parent = nullptr);

    // Shows the list's items again (after it was changed elsewhere).
    void refresh();
    void ToolbarButton971Click();
    void RemoveClick();
    void ExtListBoxClick();

    QListWidget *ExtListBox;
    QPushButton *ToolbarButton971; // "&Add"
    QPushButton *Remove;
    QPushButton *OK;

protected:
    void showEvent(QShowEvent *event) override;

private:
    AsciiExtensionList &m_list;
    TDialog *m_dialog;
};
