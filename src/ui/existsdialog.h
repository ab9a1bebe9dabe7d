#pragma once

#include "tasks/existsquestion.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QLabel;
class QPushButton;
class TaskEngine;

// Asks what to do with a transfer whose target exists. The engine's questions queue up here
// and are shown one at a time, never modally: the window and the other sessions go on while a
// question waits. Each answer goes back to the engine at once; "apply to the rest of this
// queue" answers the questions still waiting as well (the engine withdraws them). Closing the
// dialog skips the file shown.
class ExistsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ExistsDialog(TaskEngine &engine, QWidget *parent = nullptr);

    // The caption of a choice, as the buttons and Setup's list show it.
    static QString choiceCaption(ExistsPolicy::Choice choice);
    // The question shown, and how many wait behind it.
    int shownQuestion() const { return m_waiting.isEmpty() ? 0 : m_waiting.first().id; }
    int waitingCount() const { return int(m_waiting.size()); }

protected:
    void reject() override;

private:
    void enqueue(const ExistsQuestion &question);
    void withdraw(int question);
    void answer(ExistsPolicy::Choice choice);
    void showFirst();

    TaskEngine &m_engine;
    QList<ExistsQuestion> m_waiting;
    QLabel *m_title = nullptr;
    QLabel *m_existing = nullptr;
    QLabel *m_incoming = nullptr;
    QLabel *m_more = nullptr;
    QCheckBox *m_applyToRest = nullptr;
};
