#pragma once

#include <QDialog>

// The Help menu's About box: the program's name, version and a short description.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget *parent = nullptr);
};
