#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The input dialog every name or folder prompt uses: a caption, a prompt, one text field, OK
// and Cancel (also Escape). On showing, the field has the focus with its text selected;
// Return in the field accepts. The caller sets the three texts, runs exec() and reads text()
// after OK.
class TDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TDialog(QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    void setPrompt(const QString &prompt);
    void setText(const QString &text);
    QString text() const;

    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *OkButton;
    QPushButton *CancelButton;

protected:
    void showEvent(QShowEvent *event) override;
};
