#pragma once

#include "tasks/existspolicy.h"

#include <QMetaType>
#include <QString>

// A transfer whose target exists, waiting for the user to say what to do with it.
struct ExistsQuestion
{
    int id = 0;
    bool download = true;
    QString source; // as the user knows it: a host path ("/pub/a.txt") or a native local path
    QString target;
    ExistsPolicy::Facts sourceFacts;
    ExistsPolicy::Facts targetFacts;
};

Q_DECLARE_METATYPE(ExistsQuestion)
