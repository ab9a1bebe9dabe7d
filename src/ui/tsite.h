#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TSiteObject;
class UpDown;

// The site dialog: the connection data of one saved site on three pages (General, Advanced,
// Description). The Site manager fills it with FormActivate before exec() and, after OK, copies
// the controls back into the record itself (the order matters: see TSiteMgr::EditClick).
//
// Typing into Username or Password clears "Anonymous Session"; while that box is checked the
// user name and password are shown in gray but stay editable. Leaving InitPath turns a
// non-empty path into the internal folder form ("pub/incoming" -> "\pub\incoming\").
class TSite : public QDialog
{
    Q_OBJECT

public:
    explicit TSite(QWidget *parent = nullptr);

    // Shows page General with the focus on Host, and the record's values in the controls.
    void FormActivate(const TSiteObject &site);
    // Grays the user name and password with their labels, or shows them in the desktop's colours.
    void AnonymousClick();
    // Unchecks anonymous (bound to changes of Username and Password).
    void MakeNoAnon();
    void InitPathExit();
    // The description's lines joined with CR LF, no CR LF after the last.
    QString descriptionText() const;
    // The chosen character set for names: empty for "Automatic", else the encoding's name.
    QString nameEncoding() const;

    QTabWidget *Pages;
    QLineEdit *Host;
    QLineEdit *InitPath;
    QLineEdit *Username;
    QLineEdit *Password;
    QLabel *UsernameLabel;
    QLabel *PasswordLabel;
    QCheckBox *anonymous;
    QLineEdit *tasks;
    UpDown *TaskPos;
    QLineEdit *port;
    UpDown *UpDown4;
    QCheckBox *firewall;
    QCheckBox *passive;
    // "Character set for names": Automatic first, then the legacy encodings Qt converts.
    QComboBox *encoding;
    // FTP over TLS, item index = TcFTPEncryption value
    QComboBox *encryption;
    QPlainTextEdit *Description;
    QPushButton *OkButton;
    QPushButton *CancelButton;
};
