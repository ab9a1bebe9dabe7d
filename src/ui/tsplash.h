#pragma once

#include <QWidget>

class QLabel;

// The window shown while the program starts: the program's name and version, always on top,
// without a frame. The start-up hides it once the main window is up.
class TSplash : public QWidget
{
    Q_OBJECT

public:
    explicit TSplash(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr; // the program's name
    QLabel *Label2 = nullptr; // "Version 1.0 Final Beta"
};
