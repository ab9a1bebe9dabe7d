#include "widgets/headerstatus.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

HeaderStatus::HeaderStatus(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(6);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setTextFormat(Qt::PlainText);
        layout->addWidget(m_panels[i], i == 2 ? 1 : 0);
    }
    // Panel 0 has no width; panel 1 the object count, panel 2 the folder (takes the rest).
    m_panels[0]->hide();
    m_panels[1]->setMinimumWidth(75);
    m_panels[2]->setMinimumWidth(50);
    m_panels[2]->setTextInteractionFlags(Qt::NoTextInteraction);
    setToolTip(tr("Click to change the folder"));
}

void HeaderStatus::setPanelText(int panel, const QString &text)
{
    if (panel >= 0 && panel < 3)
        m_panels[panel]->setText(text);
}

QString HeaderStatus::panelText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

void HeaderStatus::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT clicked();
    QFrame::mousePressEvent(event);
}
