#pragma once

#include "widgets/logview.h"

class LogModel;

// The log panel (logwin) along the bottom of the main window: it renders every line of the
// engine's log as it is written, and the whole log again when the log is reset.
class LogPanel : public LogView
{
    Q_OBJECT

public:
    explicit LogPanel(QWidget *parent = nullptr);

    // Follows the log from now on, starting with the lines it holds; the log must outlive the
    // panel or be detached first.
    void attach(LogModel *log);
    void detach();

private:
    void render();

    LogModel *m_log = nullptr;
};
