#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QWidget;

// The log-in information window: the host's greeting and the log-in exchange of the current
// connection, the password masked. It stays on top, is not modal, and OK hides it. The main
// window empties it when a log-in starts and adds the engine's lines as they come.
class TLogIn : public QDialog
{
    Q_OBJECT

public:
    explicit TLogIn(QWidget *parent = nullptr);

    void clearLines();
    void addLine(const QString &line);
    int lineCount() const;
    QString line(int n) const;

    QPlainTextEdit *logwin;
    QWidget *BottomPanel;
    QPushButton *OkButton;

protected:
    void resizeEvent(QResizeEvent *event) override;
};
