#include "ui/existsdialog.h"

#include "tasks/taskengine.h"
#include "util/hosttext.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString factsText(const ExistsPolicy::Facts &facts)
{
    const QString size = facts.size >= 0 ? QLocale().toString(facts.size) + QStringLiteral(" bytes")
                                         : QStringLiteral("size not known");
    if (!facts.modified.isValid())
        return size + QStringLiteral(", date not known");
    const QString format = facts.precisionSecs >= 24 * 3600 ? QStringLiteral("yyyy-MM-dd")
                           : facts.precisionSecs >= 60      ? QStringLiteral("yyyy-MM-dd HH:mm")
                                                            : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return size + QStringLiteral(", modified ") + facts.modified.toLocalTime().toString(format);
}

const ExistsPolicy::Choice ButtonChoices[] = {ExistsPolicy::Overwrite,
                                              ExistsPolicy::Auto,
                                              ExistsPolicy::Resume,
                                              ExistsPolicy::Newer,
                                              ExistsPolicy::Rename,
                                              ExistsPolicy::Skip};
} // namespace

ExistsDialog::ExistsDialog(TaskEngine &engine, QWidget *parent)
    : QDialog(parent)
    , m_engine(engine)
{
    setObjectName(QStringLiteral("ExistsDialog"));
    setWindowTitle(tr("The file exists"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("ExistsTitle"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setWordWrap(true);
    layout->addWidget(m_title);
    auto *facts = new QGridLayout;
    facts->addWidget(new QLabel(tr("Existing file:"), this), 0, 0);
    m_existing = new QLabel(this);
    m_existing->setObjectName(QStringLiteral("ExistingFacts"));
    facts->addWidget(m_existing, 0, 1);
    facts->addWidget(new QLabel(tr("File to transfer:"), this), 1, 0);
    m_incoming = new QLabel(this);
    m_incoming->setObjectName(QStringLiteral("IncomingFacts"));
    facts->addWidget(m_incoming, 1, 1);
    layout->addLayout(facts);
    m_applyToRest = new QCheckBox(tr("Apply to the rest of this queue"), this);
    m_applyToRest->setObjectName(QStringLiteral("ApplyToRest"));
    layout->addWidget(m_applyToRest);
    m_more = new QLabel(this);
    m_more->setObjectName(QStringLiteral("MoreQuestions"));
    layout->addWidget(m_more);
    auto *buttons = new QHBoxLayout;
    for (const ExistsPolicy::Choice choice : ButtonChoices) {
        auto *button = new QPushButton(choiceCaption(choice), this);
        button->setObjectName(QStringLiteral("Choice_") + ExistsPolicy::name(choice));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, choice] { answer(choice); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    connect(&m_engine, &TaskEngine::existsQuestionAsked, this, &ExistsDialog::enqueue);
    connect(&m_engine, &TaskEngine::existsQuestionWithdrawn, this, &ExistsDialog::withdraw);
}

QString ExistsDialog::choiceCaption(ExistsPolicy::Choice choice)
{
    switch (choice) {
    case ExistsPolicy::Ask:
        return tr("Ask");
    case ExistsPolicy::Auto:
        return tr("Resume or replace");
    case ExistsPolicy::Overwrite:
        return tr("Overwrite");
    case ExistsPolicy::Resume:
        return tr("Resume");
    case ExistsPolicy::Skip:
        return tr("Skip");
    case ExistsPolicy::Rename:
        return tr("Keep both");
    case ExistsPolicy::Newer:
        return tr("Overwrite if newer");
    }
    return QString();
}

void ExistsDialog::enqueue(const ExistsQuestion &question)
{
    m_waiting.append(question);
    showFirst();
}

void ExistsDialog::withdraw(int question)
{
    const bool shown = question == shownQuestion();
    m_waiting.removeIf([question](const ExistsQuestion &each) { return each.id == question; });
    if (shown)
        showFirst();
    else if (!m_waiting.isEmpty())
        m_more->setText(tr("%n more waiting", nullptr, int(m_waiting.size()) - 1));
}

void ExistsDialog::answer(ExistsPolicy::Choice choice)
{
    if (m_waiting.isEmpty())
        return;
    const int id = m_waiting.takeFirst().id;
    const bool applyToRest = m_applyToRest->isChecked();
    m_applyToRest->setChecked(false);
    // The engine may withdraw further questions from inside this call.
    m_engine.answerExists(id, choice, applyToRest);
    showFirst();
}

void ExistsDialog::reject()
{
    answer(ExistsPolicy::Skip);
}

void ExistsDialog::showFirst()
{
    if (m_waiting.isEmpty()) {
        hide();
        return;
    }
    const ExistsQuestion &question = m_waiting.first();
    m_title->setText(
            (question.download ? tr("'%1' exists already. Download '%2' over it?")
                               : tr("'%1' exists already on the host. Upload '%2' "
                                    "over it?"))
                    .arg(VisibleHostText(question.target), VisibleHostText(question.source)));
    m_existing->setText(factsText(question.targetFacts));
    m_incoming->setText(factsText(question.sourceFacts));
    m_more->setText(m_waiting.size() > 1 ? tr("%n more waiting", nullptr, int(m_waiting.size()) - 1)
                                         : QString());
    if (!isVisible()) {
        show();
        raise();
    }
}
