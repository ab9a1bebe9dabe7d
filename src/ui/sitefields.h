#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class UpDown;

// Pieces shared by the dialogs that take a host, its initial path and a login.

// Adds page General to pages and sets the controls made for it: Host, InitPath, Username,
// Password (echo hidden) with their labels, and anonymous (checked).
void addLoginPage(QTabWidget *pages,
                  QLineEdit *&host,
                  QLineEdit *&initPath,
                  QLineEdit *&username,
                  QLineEdit *&password,
                  QLabel *&usernameLabel,
                  QLabel *&passwordLabel,
                  QCheckBox *&anonymous);

// Adds page Advanced to pages and sets the controls made for it: the task count (1, arrows from
// 1 to 25) and the port (21, arrows from 21 to 9999) under the object names given, firewall and
// passive.
void addConnectionPage(QTabWidget *pages,
                       const char *tasksName,
                       QLineEdit *&tasks,
                       UpDown *&tasksUpDown,
                       const char *portName,
                       QLineEdit *&port,
                       UpDown *&portUpDown,
                       QCheckBox *&firewall,
                       QCheckBox *&passive);

// Adds the row "Encryption" to the Advanced page that addConnectionPage made: the choices in the
// order of TcFTPEncryption's values (the item index is the value), the first one current.
QComboBox *addEncryptionRow(QTabWidget *pages);

// Greys the user name and password with their labels while anonymous is checked, else shows
// them in the desktop's text colour.
void shadeLogin(bool anonymous,
                QLineEdit *username,
                QLineEdit *password,
                QLabel *usernameLabel,
                QLabel *passwordLabel);

// The initial path as typed in the internal folder form ("pub/incoming" -> "\pub\incoming\");
// empty stays empty.
QString normalizedInitialPath(const QString &typed);
