#include "ui/tdragdropdialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tdragdropdialog::Tdragdropdialog(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("dragdropdialog"));
    setWindowTitle(QStringLiteral("Orvane FTP - Please Wait..."));
    setModal(true);

    // Stands for the file-copy animation: it runs only while the dialog is up.
    Animate = new QProgressBar(this);
    Animate->setObjectName(QStringLiteral("Animate"));
    Animate->setTextVisible(false);
    Animate->setRange(0, 1);

    Label = new QLabel(
            QStringLiteral(
                    "Preparing drag-and-drop copy to another application on your computer..."),
            this);
    Label->setObjectName(QStringLiteral("Label"));
    Label->setWordWrap(true);

    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &Tdragdropdialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Animate);
    layout->addWidget(Label);
    layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
    setFixedWidth(340);
}

void Tdragdropdialog::finish(bool ok)
{
    if (ok)
        accept();
    else
        QDialog::reject();
}

void Tdragdropdialog::reject()
{
    Q_EMIT cancelPressed();
    QDialog::reject();
}

void Tdragdropdialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Animate->setRange(0, 0);
}

void Tdragdropdialog::hideEvent(QHideEvent *event)
{
    Animate->setRange(0, 1);
    QDialog::hideEvent(event);
}
