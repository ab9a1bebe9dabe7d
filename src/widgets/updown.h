#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A pair of arrow buttons bound to a text field. The arrows step the field's number within
// [minimum, maximum]; a number typed into the field is left as typed, even outside the range
// or not a number at all (the owner validates the text).
class UpDown : public QWidget
{
    Q_OBJECT

public:
    UpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent = nullptr);

    // Steps the buddy's number by delta (+1 up, -1 down), clamped to the range; a text that is
    // not a number steps from the minimum.
    void step(int delta);
    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

private:
    QLineEdit *m_buddy;
    int m_minimum;
    int m_maximum;
    QToolButton *m_up;
    QToolButton *m_down;
};
