#pragma once

#include <QDialog>

class QComboBox;

class Options;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;
class QToolButton;
class Registry;
class TASCext;
class TDialog;

// The Setup dialog: every option of the program on four pages ("General", "Interface",
// "Session", "More Session") chosen by three category buttons. It edits the live Options
// object in place: a change of a control is a change of the option at once. The dialog lives
// as long as the main window; FormCreate reads the options record into the live object and
// FormDestroy writes it back.
//
// While a session is connected the options a session was started with (resume, transfer mode,
// keep-alive, the ASCII extensions) cannot change: setSessionLocked disables their controls.
class TZetup : public QDialog
{
    Q_OBJECT

public:
    TZetup(Options &options, TDialog *dialog, QWidget *parent = nullptr);

    // Reads the "setup" record into the live options (the default record when none is
    // stored) and shows it; the immediate effects run as if the controls had been set.
    void FormCreate(Registry &registry);
    // Writes the live options as the "setup" record; false (and error) when it cannot be saved.
    bool FormDestroy(Registry &registry, QString *error = nullptr);
    // Shows the live options' values in the controls (the effects run as for FormCreate).
    void loadControls();

    void SelectSetupCategoryClick(QAbstractButton *button);
    void KAPChange();
    void ReconnectChange();
    void TransferModeClick();
    void FullrowSelectClick();
    // Opens a font dialog preset with the views' font; a chosen font goes to applyFont.
    void Button3Click();
    // The font of the views: shown on the sample panel and announced through fontChosen.
    void applyFont(const QFont &font);
    // The sample panel shows the views' current font (set by the window, no announcement).
    void setSampleFont(const QFont &font);
    void BrowseForDownloadFolder();
    void ASCExtBtnClick();
    void setSessionLocked(bool locked);
    // Puts the saved-password settings (a group the owner makes) on the General page.
    void addPasswordSettings(QWidget *group);
    bool sessionLocked() const { return m_locked; }

    QToolButton *BtnGeneral;
    QToolButton *ToolbarButton973; // "&Interface"
    QToolButton *ToolbarButton974; // "&Session"
    QTabWidget *Pages;
    // General
    QLineEdit *DownLoadFolder;
    QPushButton *DownloadFolder_Browse;
    QLineEdit *EMail;
    QCheckBox *ConfirmDelete;
    QCheckBox *ConfirmTransfer;
    QCheckBox *ConfirmDisconnect;
    // Interface
    QGroupBox *StartUpDialog;
    QRadioButton *StartUpItems[3];
    QCheckBox *FullrowSelect;
    QCheckBox *ClearLogWin;
    QLabel *su_FontPanel;
    QPushButton *Button3;
    QCheckBox *doSND[4];
    QLineEdit *snd[4];
    // Session
    QCheckBox *Resume;
    QCheckBox *ShowLogInInfo;
    QComboBox *OnExists; // what a transfer does when its target exists (the default choice)
    QLabel *KAPLabel;
    QSlider *KAP;
    QLabel *ReconnectLabel;
    QSlider *Reconnect;
    QCheckBox *ShowMainGeneral;
    QCheckBox *ShowMultiGeneral;
    QCheckBox *ShowMainIO;
    QCheckBox *ShowMultiIO;
    // More Session
    QGroupBox *TransferMode;
    QRadioButton *TransferModeItems[3];
    QPushButton *ASCExtBtn;
    QLineEdit *firehost;
    QSpinBox *FirePortPos;
    QGroupBox *FireType;
    QRadioButton *FireTypeItems[2];
    QPushButton *OkButton;

    TASCext *ASCext = nullptr;

Q_SIGNALS:
    void fontChosen(const QFont &font);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *createGeneralPage();
    QWidget *createInterfacePage();
    QWidget *createSessionPage();
    QWidget *createMoreSessionPage();
    void connectControls();

    Options &m_options;
    TDialog *m_dialog;
    QButtonGroup *m_categories = nullptr;
    QButtonGroup *m_startUpGroup = nullptr;
    QButtonGroup *m_transferGroup = nullptr;
    QButtonGroup *m_fireTypeGroup = nullptr;
    bool m_locked = false;

    QVBoxLayout *m_generalLayout = nullptr;
};
