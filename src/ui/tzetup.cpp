// TZetup: the Setup dialog's pages, how its controls edit the live options, and the record.
#include "ui/tzetup.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "ui/existsdialog.h"
#include "ui/tascext.h"
#include "util/pathforms.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QLineEdit *lineEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QLabel *note(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    QFont small = label->font();
    small.setPointSizeF(qMax(6.0, small.pointSizeF() - 1));
    label->setFont(small);
    label->setWordWrap(true);
    return label;
}

QSlider *slider(QWidget *parent, const char *name, int low, int high)
{
    auto *s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(low, high);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBelow);
    return s;
}

// What a person types or picks is a native path; the option holds the internal form.
QString internalFolder(const QString &shown)
{
    const QString text = shown.trimmed();
    if (text.isEmpty())
        return QString();
    return ConvertPath(NativeToLocal(text.endsWith(QLatin1Char('/')) ? text : text + '/'),
                       BackslashForm);
}

} // namespace

TZetup::TZetup(Options &options, TDialog *dialog, QWidget *parent)
    : QDialog(parent)
    , m_options(options)
    , m_dialog(dialog)
{
    setObjectName(QStringLiteral("Zetup"));
    setWindowTitle(tr("Q.S Orvane FTP - Setup"));
    setModal(true);

    auto *layout = new QHBoxLayout(this);
    auto *categoryColumn = new QVBoxLayout;
    m_categories = new QButtonGroup(this);
    m_categories->setExclusive(true);
    auto category = [this, categoryColumn](const char *name, const QString &caption) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(80);
        m_categories->addButton(button);
        categoryColumn->addWidget(button);
        return button;
    };
    BtnGeneral = category("BtnGeneral", tr("&General"));
    ToolbarButton973 = category("ToolbarButton973", tr("&Interface"));
    ToolbarButton974 = category("ToolbarButton974", tr("&Session"));
    categoryColumn->addStretch(1);
    layout->addLayout(categoryColumn);

    auto *right = new QVBoxLayout;
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addTab(createGeneralPage(), tr("General"));
    Pages->addTab(createInterfacePage(), tr("Interface"));
    Pages->addTab(createSessionPage(), tr("Session"));
    Pages->addTab(createMoreSessionPage(), tr("More Session"));
    right->addWidget(Pages, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    OkButton = new QPushButton(tr("&OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    bottom->addWidget(OkButton);
    right->addLayout(bottom);
    layout->addLayout(right, 1);

    ASCext = new TASCext(m_options.ASCExtList, m_dialog, this);

    connectControls();
    loadControls();
    SelectSetupCategoryClick(BtnGeneral);
}

QWidget *TZetup::createGeneralPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *general = new QGroupBox(tr(" General "), page);
    auto *grid = new QGridLayout(general);
    grid->addWidget(new QLabel(tr("Folder to receive files"), general), 0, 0, 1, 2);
    DownLoadFolder = lineEdit(general, "DownLoadFolder");
    grid->addWidget(DownLoadFolder, 1, 0);
    DownloadFolder_Browse = new QPushButton(tr("&Browse"), general);
    DownloadFolder_Browse->setObjectName(QStringLiteral("DownloadFolder_Browse"));
    grid->addWidget(DownloadFolder_Browse, 1, 1);
    grid->addWidget(note(general,
                         tr("Leave it empty to store received files in the current "
                            "folder.")),
                    2,
                    0,
                    1,
                    2);
    grid->addWidget(new QLabel(tr("Your e-mail address "), general), 3, 0, 1, 2);
    EMail = lineEdit(general, "EMail");
    grid->addWidget(EMail, 4, 0, 1, 2);
    grid->addWidget(note(general,
                         tr("The address is used as the password of anonymous "
                            "sessions.")),
                    5,
                    0,
                    1,
                    2);
    layout->addWidget(general);

    auto *confirm = new QGroupBox(tr(" Confirmations "), page);
    auto *confirmLayout = new QVBoxLayout(confirm);
    ConfirmDelete = checkBox(
            confirm, "ConfirmDelete", tr("Confirm before deleting host files and folders? (*)"));
    ConfirmTransfer = checkBox(
            confirm, "ConfirmTransfer", tr("Confirm before transfering files and folders?"));
    ConfirmDisconnect = checkBox(
            confirm, "ConfirmDisconnect", tr("Confirm before disconnecting an active session?"));
    confirmLayout->addWidget(ConfirmDelete);
    confirmLayout->addWidget(ConfirmTransfer);
    confirmLayout->addWidget(ConfirmDisconnect);
    confirmLayout->addWidget(note(confirm,
                                  tr("When deleting local files and folders, Orvane FTP uses the "
                                     "standard 'Recycle Bin' settings.")));
    layout->addWidget(confirm);
    layout->addStretch(1);
    m_generalLayout = layout;
    return page;
}

QWidget *TZetup::createInterfacePage()
{
    auto *page = new QWidget;
    auto *layout = new QGridLayout(page);
    StartUpDialog = new QGroupBox(tr(" StartUp Dialog "), page);
    StartUpDialog->setObjectName(QStringLiteral("StartUpDialog"));
    auto *startLayout = new QVBoxLayout(StartUpDialog);
    m_startUpGroup = new QButtonGroup(this);
    const QString startCaptions[3] = {tr("Main Screen"), tr("Site Manager"), tr("Quick Connect")};
    for (int i = 0; i < 3; ++i) {
        StartUpItems[i] = new QRadioButton(startCaptions[i], StartUpDialog);
        m_startUpGroup->addButton(StartUpItems[i], i);
        startLayout->addWidget(StartUpItems[i]);
    }
    layout->addWidget(StartUpDialog, 0, 0);

    auto *screen = new QGroupBox(tr(" Screen Options "), page);
    auto *screenLayout = new QVBoxLayout(screen);
    FullrowSelect = checkBox(screen, "FullrowSelect", tr("Full row selection in listviews?"));
    ClearLogWin = checkBox(screen, "ClearLogWin", tr("Clear log-window on disconnection?"));
    screenLayout->addWidget(FullrowSelect);
    screenLayout->addWidget(ClearLogWin);
    layout->addWidget(screen, 0, 1);

    auto *fonts = new QGroupBox(tr(" Font Settings "), page);
    auto *fontLayout = new QHBoxLayout(fonts);
    su_FontPanel = new QLabel(tr("'This is the font used in Orvane FTP'"), fonts);
    su_FontPanel->setObjectName(QStringLiteral("su_FontPanel"));
    su_FontPanel->setFrameShape(QFrame::Panel);
    su_FontPanel->setFrameShadow(QFrame::Sunken);
    su_FontPanel->setAlignment(Qt::AlignCenter);
    Button3 = new QPushButton(tr("Change"), fonts);
    Button3->setObjectName(QStringLiteral("Button3"));
    fontLayout->addWidget(su_FontPanel, 1);
    fontLayout->addWidget(Button3);
    layout->addWidget(fonts, 1, 0, 1, 2);

    auto *sounds = new QGroupBox(tr(" Play WAV sound files on events "), page);
    auto *soundLayout = new QGridLayout(sounds);
    const QString soundCaptions[4] = {tr("Connection Success"),
                                      tr("Connection Failure"),
                                      tr("Transfer Complete Success"),
                                      tr("Transfer Complete Failure")};
    for (int i = 0; i < 4; ++i) {
        doSND[i] = new QCheckBox(soundCaptions[i], sounds);
        doSND[i]->setObjectName(QStringLiteral("doSND%1").arg(i + 1));
        snd[i] = new QLineEdit(sounds);
        snd[i]->setObjectName(QStringLiteral("snd%1").arg(i + 1));
        soundLayout->addWidget(doSND[i], i, 0);
        soundLayout->addWidget(snd[i], i, 1);
    }
    layout->addWidget(sounds, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);
    return page;
}

QWidget *TZetup::createSessionPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *session = new QGroupBox(tr("Session Options"), page);
    auto *sessionLayout = new QVBoxLayout(session);
    Resume = checkBox(session, "Resume", tr("Resume terminated downloads?"));
    ShowLogInInfo = checkBox(session, "ShowLogInInfo", tr("Show host connection information?"));
    sessionLayout->addWidget(Resume);
    sessionLayout->addWidget(ShowLogInInfo);
    auto *onExistsRow = new QHBoxLayout;
    onExistsRow->addWidget(new QLabel(tr("When a file exists:"), session));
    OnExists = new QComboBox(session);
    OnExists->setObjectName(QStringLiteral("OnExists"));
    for (int i = 0; i < ExistsPolicy::ChoiceCount; ++i)
        OnExists->addItem(ExistsDialog::choiceCaption(ExistsPolicy::Choice(i)), i);
    onExistsRow->addWidget(OnExists, 1);
    sessionLayout->addLayout(onExistsRow);
    layout->addWidget(session);

    auto *kap = new QGroupBox(tr("Keep Alive Pulse"), page);
    auto *kapLayout = new QGridLayout(kap);
    kapLayout->addWidget(new QLabel(tr("Send 'keep alive pulse' after"), kap), 0, 0);
    KAPLabel = new QLabel(kap);
    KAPLabel->setObjectName(QStringLiteral("KAPLabel"));
    kapLayout->addWidget(KAPLabel, 0, 1);
    KAP = slider(kap, "KAP", 1, 31);
    kapLayout->addWidget(KAP, 1, 0, 1, 2);
    layout->addWidget(kap);

    auto *reconnect = new QGroupBox(tr("Reconnect attempt"), page);
    auto *reconnectLayout = new QGridLayout(reconnect);
    reconnectLayout->addWidget(new QLabel(tr("Attempt reconnection after"), reconnect), 0, 0);
    ReconnectLabel = new QLabel(reconnect);
    ReconnectLabel->setObjectName(QStringLiteral("ReconnectLabel"));
    reconnectLayout->addWidget(ReconnectLabel, 0, 1);
    Reconnect = slider(reconnect, "Reconnect", 0, 31);
    reconnectLayout->addWidget(Reconnect, 1, 0, 1, 2);
    layout->addWidget(reconnect);

    auto *log = new QGroupBox(tr("Log-Window Options"), page);
    auto *logLayout = new QGridLayout(log);
    ShowMainGeneral = checkBox(log, "ShowMainGeneral", tr("Show main-task information?"));
    ShowMultiGeneral = checkBox(log, "ShowMultiGeneral", tr("Show multi-task information?"));
    ShowMainIO = checkBox(log, "ShowMainIO", tr("... including host input/output?"));
    ShowMultiIO = checkBox(log, "ShowMultiIO", tr("... including host input/output?"));
    logLayout->addWidget(ShowMainGeneral, 0, 0);
    logLayout->addWidget(ShowMainIO, 1, 0);
    logLayout->addWidget(ShowMultiGeneral, 0, 1);
    logLayout->addWidget(ShowMultiIO, 1, 1);
    layout->addWidget(log);
    layout->addStretch(1);
    return page;
}

QWidget *TZetup::createMoreSessionPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    TransferMode = new QGroupBox(tr(" Transfer Mode "), page);
    TransferMode->setObjectName(QStringLiteral("TransferMode"));
    auto *modeLayout = new QVBoxLayout(TransferMode);
    m_transferGroup = new QButtonGroup(this);
    const QString modeCaptions[3] = {
            tr("Orvane FTP decides"), tr("Transfer as binary data"), tr("Transfer as ASCII text")};
    for (int i = 0; i < 3; ++i) {
        TransferModeItems[i] = new QRadioButton(modeCaptions[i], TransferMode);
        m_transferGroup->addButton(TransferModeItems[i], i);
        modeLayout->addWidget(TransferModeItems[i]);
    }
    ASCExtBtn = new QPushButton(tr("&Advanced Transfer Mode Settings"), TransferMode);
    ASCExtBtn->setObjectName(QStringLiteral("ASCExtBtn"));
    modeLayout->addWidget(ASCExtBtn);
    layout->addWidget(TransferMode);

    auto *firewall = new QGroupBox(tr(" Firewall Setup "), page);
    auto *fireLayout = new QGridLayout(firewall);
    fireLayout->addWidget(new QLabel(tr("Host Address"), firewall), 0, 0);
    firehost = lineEdit(firewall, "firehost");
    fireLayout->addWidget(firehost, 0, 1);
    fireLayout->addWidget(new QLabel(tr("Port"), firewall), 1, 0);
    FirePortPos = new QSpinBox(firewall);
    FirePortPos->setObjectName(QStringLiteral("FirePortPos"));
    FirePortPos->setRange(21, 32000);
    fireLayout->addWidget(FirePortPos, 1, 1);
    FireType = new QGroupBox(tr(" Firewall Types "), firewall);
    FireType->setObjectName(QStringLiteral("FireType"));
    auto *typeLayout = new QVBoxLayout(FireType);
    m_fireTypeGroup = new QButtonGroup(this);
    const QString typeCaptions[2] = {tr("&user userID@hostname"), tr("&open hostname")};
    for (int i = 0; i < 2; ++i) {
        FireTypeItems[i] = new QRadioButton(typeCaptions[i], FireType);
        m_fireTypeGroup->addButton(FireTypeItems[i], i);
        typeLayout->addWidget(FireTypeItems[i]);
    }
    fireLayout->addWidget(FireType, 2, 0, 1, 2);
    layout->addWidget(firewall);
    layout->addStretch(1);
    return page;
}

void TZetup::connectControls()
{
    connect(m_categories, &QButtonGroup::buttonClicked, this, &TZetup::SelectSetupCategoryClick);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    auto flag = [this](QCheckBox *box, bool Options::*member) {
        connect(box, &QCheckBox::toggled, this, [this, member](bool on) {
            m_options.*member = on;
            m_options.changed();
        });
    };
    auto text = [this](QLineEdit *edit, QString Options::*member) {
        connect(edit, &QLineEdit::textChanged, this, [this, member](const QString &value) {
            m_options.*member = value;
            m_options.changed();
        });
    };
    connect(DownLoadFolder, &QLineEdit::textEdited, this, [this](const QString &value) {
        m_options.DownLoadFolder = internalFolder(value);
        m_options.changed();
    });
    text(EMail, &Options::EMail);
    flag(ConfirmDelete, &Options::ConfirmDelete);
    flag(ConfirmTransfer, &Options::ConfirmTransfer);
    flag(ConfirmDisconnect, &Options::ConfirmDisconnect);
    connect(m_startUpGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_options.StartUpDialog = id;
        m_options.changed();
    });
    flag(FullrowSelect, &Options::FullrowSelect);
    connect(FullrowSelect, &QCheckBox::toggled, this, &TZetup::FullrowSelectClick);
    flag(ClearLogWin, &Options::ClearLogWin);
    bool Options::*const soundFlags[4]
            = {&Options::doSND1, &Options::doSND2, &Options::doSND3, &Options::doSND4};
    QString Options::*const soundFiles[4]
            = {&Options::snd1, &Options::snd2, &Options::snd3, &Options::snd4};
    for (int i = 0; i < 4; ++i) {
        flag(doSND[i], soundFlags[i]);
        text(snd[i], soundFiles[i]);
    }
    flag(Resume, &Options::Resume);
    flag(ShowLogInInfo, &Options::ShowLogInInfo);
    connect(OnExists, &QComboBox::activated, this, [this](int index) {
        m_options.OnExists = OnExists->itemData(index).toInt();
        m_options.changed();
    });
    connect(KAP, &QSlider::valueChanged, this, [this](int value) {
        m_options.KAP = value;
        m_options.changed();
        KAPChange();
    });
    connect(Reconnect, &QSlider::valueChanged, this, [this](int value) {
        m_options.Reconnect = value;
        m_options.changed();
        ReconnectChange();
    });
    flag(ShowMainGeneral, &Options::ShowMainGeneral);
    flag(ShowMainIO, &Options::ShowMainIO);
    flag(ShowMultiGeneral, &Options::ShowMultiGeneral);
    flag(ShowMultiIO, &Options::ShowMultiIO);
    connect(m_transferGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on)
            return;
        m_options.TransferMode = id;
        m_options.changed();
        TransferModeClick();
    });
    connect(ASCExtBtn, &QPushButton::clicked, this, &TZetup::ASCExtBtnClick);
    text(firehost, &Options::firehost);
    connect(FirePortPos, &QSpinBox::valueChanged, this, [this](int value) {
        m_options.FirePortPos = value;
        m_options.changed();
    });
    connect(m_fireTypeGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_options.FireType = id;
        m_options.changed();
    });
    connect(Button3, &QPushButton::clicked, this, &TZetup::Button3Click);
    connect(DownloadFolder_Browse, &QPushButton::clicked, this, &TZetup::BrowseForDownloadFolder);
}

void TZetup::loadControls()
{
    // Setting a control writes the same value back into the options; the copy keeps the
    // values that are still to be shown from being overwritten on the way.
    const Options values = m_options;
    DownLoadFolder->setText(values.DownLoadFolder.isEmpty() ? QString()
                                                            : LocalToNative(values.DownLoadFolder));
    EMail->setText(values.EMail);
    ConfirmDelete->setChecked(values.ConfirmDelete);
    ConfirmTransfer->setChecked(values.ConfirmTransfer);
    ConfirmDisconnect->setChecked(values.ConfirmDisconnect);
    StartUpItems[qBound(0, values.StartUpDialog, 2)]->setChecked(true);
    FullrowSelect->setChecked(values.FullrowSelect);
    ClearLogWin->setChecked(values.ClearLogWin);
    const bool soundFlags[4] = {values.doSND1, values.doSND2, values.doSND3, values.doSND4};
    const QString soundFiles[4] = {values.snd1, values.snd2, values.snd3, values.snd4};
    for (int i = 0; i < 4; ++i) {
        doSND[i]->setChecked(soundFlags[i]);
        snd[i]->setText(soundFiles[i]);
    }
    Resume->setChecked(values.Resume);
    ShowLogInInfo->setChecked(values.ShowLogInInfo);
    OnExists->setCurrentIndex(OnExists->findData(values.OnExists));
    KAP->setValue(values.KAP);
    Reconnect->setValue(values.Reconnect);
    ShowMainGeneral->setChecked(values.ShowMainGeneral);
    ShowMainIO->setChecked(values.ShowMainIO);
    ShowMultiGeneral->setChecked(values.ShowMultiGeneral);
    ShowMultiIO->setChecked(values.ShowMultiIO);
    TransferModeItems[qBound(0, values.TransferMode, 2)]->setChecked(true);
    firehost->setText(values.firehost);
    FirePortPos->setValue(values.FirePortPos);
    FireTypeItems[qBound(0, values.FireType, 1)]->setChecked(true);
    m_options = values;
    m_options.changed();
    // The effects of the values, as a click on each control would have them.
    KAPChange();
    ReconnectChange();
    TransferModeClick();
    FullrowSelectClick();
    ASCext->refresh();
}

void TZetup::FormCreate(Registry &registry)
{
    m_options = Options::load(registry);
    loadControls();
}

bool TZetup::FormDestroy(Registry &registry, QString *error)
{
    return m_options.save(registry, error);
}

void TZetup::SelectSetupCategoryClick(QAbstractButton *button)
{
    setUpdatesEnabled(false);
    button->setChecked(true);
    // "&Session" shows the pages "Session" and "More Session".
    const QString wanted = button->text().mid(1).toLower();
    int first = -1;
    for (int i = 0; i < Pages->count(); ++i) {
        const bool shown = Pages->tabText(i).toLower().contains(wanted);
        Pages->setTabVisible(i, shown);
        if (shown && first < 0)
            first = i;
    }
    if (first >= 0)
        Pages->setCurrentIndex(first);
    setUpdatesEnabled(true);
}

void TZetup::KAPChange()
{
    KAPLabel->setText(Options::kapLabel(KAP->value()));
}

void TZetup::ReconnectChange()
{
    ReconnectLabel->setText(Options::reconnectLabel(Reconnect->value()));
}

void TZetup::TransferModeClick()
{
    ASCExtBtn->setEnabled(!m_locked && m_transferGroup->checkedId() == Options::ProgramDecides);
}

void TZetup::FullrowSelectClick()
{
    // The window follows the options' FullrowSelect as it observes them.
    m_options.changed();
}

void TZetup::Button3Click()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, su_FontPanel->font(), this);
    if (ok)
        applyFont(font);
}

void TZetup::applyFont(const QFont &font)
{
    su_FontPanel->setFont(font);
    Q_EMIT fontChosen(font);
}

void TZetup::setSampleFont(const QFont &font)
{
    su_FontPanel->setFont(font);
}

void TZetup::BrowseForDownloadFolder()
{
    const QString start = m_options.DownLoadFolder.isEmpty()
                                  ? DesktopFolder()
                                  : LocalToNative(m_options.DownLoadFolder);
    const QString picked = QFileDialog::getExistingDirectory(
            this, tr("Browse For Default Download Folder"), start, QFileDialog::ShowDirsOnly);
    if (picked.isEmpty())
        return;
    m_options.DownLoadFolder = internalFolder(picked);
    DownLoadFolder->setText(LocalToNative(m_options.DownLoadFolder));
    m_options.changed();
}

void TZetup::ASCExtBtnClick()
{
    ASCext->exec();
    m_options.changed();
}

void TZetup::setSessionLocked(bool locked)
{
    m_locked = locked;
    Resume->setEnabled(!locked);
    TransferMode->setEnabled(!locked);
    KAP->setEnabled(!locked);
    TransferModeClick();
}

void TZetup::hideEvent(QHideEvent *event)
{
    m_options.normaliseDownloadFolder();
    DownLoadFolder->setText(m_options.DownLoadFolder.isEmpty()
                                    ? QString()
                                    : LocalToNative(m_options.DownLoadFolder));
    m_options.changed();
    QDialog::hideEvent(event);
}

void TZetup::addPasswordSettings(QWidget *group)
{
    group->setParent(m_generalLayout->parentWidget());
    m_generalLayout->insertWidget(m_generalLayout->count() - 1, group);
}
