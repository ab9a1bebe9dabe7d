#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class UpDown;

// The Quick connect dialog: the connection data of one host that is not saved as a site.
// After exec() returns Accepted the caller reads the values below and connects.
//
// Connect is enabled only while the host is not empty, the port is a number from 1 to 65535
// and the task count is a number. Leaving the host field splits "ftp://host/path" into the
// host and the initial path; leaving the initial path normalises it to the internal folder
// form ("pub/incoming" -> "\pub\incoming\").
class TQuick : public QDialog
{
    Q_OBJECT

public:
    explicit TQuick(QWidget *parent = nullptr);

    void CheckIfValid();
    void HostExit();
    void initpathExit();
    void anonymousClick();
    // Typing a user name or a password clears "Anonymous Session".
    void MakeNoAnon();

    // The entered values (valid after Connect).
    QString host() const;
    int port() const;
    QString initialPath() const;
    QString username() const;
    QString password() const;
    bool isAnonymous() const;
    bool isPassive() const;
    bool usesFirewall() const;
    int taskCount() const;

    QTabWidget *Pages;
    QLineEdit *Host;
    QLineEdit *InitPath;
    QLineEdit *Username;
    QLineEdit *Password;
    QLabel *UsernameLabel;
    QLabel *PasswordLabel;
    QCheckBox *anonymous;
    QLineEdit *Tasks;
    UpDown *UpDown2;
    QLineEdit *Port;
    UpDown *UpDown1;
    QCheckBox *firewall;
    QCheckBox *passive;
    // FTP over TLS, item index = TcFTPEncryption value
    QComboBox *encryption;
    QPushButton *Connect;
    QPushButton *Cancel;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ConnectClick();
};
