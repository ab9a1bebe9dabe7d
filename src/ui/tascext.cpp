#include "ui/tascext.h"

#include "settings/asciiextensionlist.h"
#include "ui/tdialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TASCext::TASCext(AsciiExtensionList &list, TDialog *dialog, QWidget *parent)
    : QDialog(parent)
    , m_list(list)
    , m_dialog(dialog)
{
    setObjectName(QStringLiteral("ASCext"));
    setWindowTitle(tr("ASCII File Extensions"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(tr(" ASCII File Extensions"), this);
    auto *groupLayout = new QHBoxLayout(group);
    ExtListBox = new QListWidget(group);
    ExtListBox->setObjectName(QStringLiteral("ExtListBox"));
    ExtListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QFont bold = ExtListBox->font();
    bold.setBold(true);
    ExtListBox->setFont(bold);
    groupLayout->addWidget(ExtListBox, 1);
    auto *buttons = new QVBoxLayout;
    ToolbarButton971 = new QPushButton(tr("&Add"), group);
    ToolbarButton971->setObjectName(QStringLiteral("ToolbarButton971"));
    Remove = new QPushButton(tr("&Remove"), group);
    Remove->setObjectName(QStringLiteral("Remove"));
    Remove->setEnabled(false);
    buttons->addWidget(ToolbarButton971);
    buttons->addWidget(Remove);
    buttons->addStretch(1);
    groupLayout->addLayout(buttons);
    layout->addWidget(group, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    OK = new QPushButton(tr("&OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setDefault(true);
    bottom->addWidget(OK);
    layout->addLayout(bottom);

    connect(ToolbarButton971, &QPushButton::clicked, this, &TASCext::ToolbarButton971Click);
    connect(Remove, &QPushButton::clicked, this, &TASCext::RemoveClick);
    connect(ExtListBox, &QListWidget::itemSelectionChanged, this, &TASCext::ExtListBoxClick);
    connect(OK, &QPushButton::clicked, this, &QDialog::accept);
    refresh();
}

void TASCext::refresh()
{
    ExtListBox->clear();
    ExtListBox->addItems(m_list.items());
    Remove->setEnabled(false);
}

void TASCext::showEvent(QShowEvent *event)
{
    refresh();
    QDialog::showEvent(event);
}

void TASCext::ToolbarButton971Click()
{
    m_dialog->setCaption(tr("Add new ASCII mode extension"));
    m_dialog->setPrompt(tr("ASCII mode extension:"));
    m_dialog->setText(QString());
    if (m_dialog->exec() != QDialog::Accepted)
        return;
    if (m_list.add(m_dialog->text()))
        refresh();
}

void TASCext::RemoveClick()
{
    QList<int> rows;
    for (const QModelIndex &index : ExtListBox->selectionModel()->selectedRows())
        rows.append(index.row());
    m_list.removeAt(rows);
    refresh();
}

void TASCext::ExtListBoxClick()
{
    Remove->setEnabled(!ExtListBox->selectedItems().isEmpty());
}
