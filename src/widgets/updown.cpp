#include "widgets/updown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

UpDown::UpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent)
    : QWidget(parent)
    , m_buddy(buddy)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton *button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFixedSize(16, 11);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::step(int delta)
{
    bool ok = false;
    const qlonglong current = m_buddy->text().trimmed().toLongLong(&ok);
    qlonglong next = ok ? current + delta : m_minimum;
    next = std::clamp<qlonglong>(next, m_minimum, m_maximum);
    m_buddy->setText(QString::number(next));
}
