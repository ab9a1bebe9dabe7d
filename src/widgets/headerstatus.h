#pragma once

#include <QFrame>

class QLabel;

// The status row above a file list: panel 1 shows "%d object(s)", panel 2 the folder shown.
// A press anywhere on it reports clicked() (the pane opens its change-folder command).
class HeaderStatus : public QFrame
{
    Q_OBJECT

public:
    explicit HeaderStatus(QWidget *parent = nullptr);

    // Panels are numbered 0..2 as the list's code addresses them.
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QLabel *m_panels[3];
};
