#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The please-wait dialog shown while host items dragged to another application are received
// into the drag-and-drop folder. Modal, centred on the screen, without the title bar's buttons.
// Whoever follows the downloads closes it with finish(): OK once every item has arrived, Cancel
// when one cannot. "&Cancel" (and Escape) close it with Cancel too, and report cancelPressed()
// first, so that the caller can tell the user's cancel from a failure.
class Tdragdropdialog : public QDialog
{
    Q_OBJECT

public:
    explicit Tdragdropdialog(QWidget *parent = nullptr);

    QLabel *Label = nullptr;
    QProgressBar *Animate = nullptr;
    QPushButton *btnCancel = nullptr;

Q_SIGNALS:
    // The user asked to stop waiting.
    void cancelPressed();

public:
    // Closes the dialog with OK (ok) or Cancel, without cancelPressed().
    void finish(bool ok);
    // The user's cancel: the button, Escape, closing the window.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
};
