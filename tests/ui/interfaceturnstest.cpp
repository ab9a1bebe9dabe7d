// Engine reports update the window's commands at the end of the turn they came in, every turn.
#include "windowdriver.h"

#include "support/eventwait.h"
#include "tasks/taskengine.h"

#include "ui/tlogin.h"
#include <QAction>

namespace {

TEST(EngineReports, UpdateTheWindowInEveryTurn)
{
    auto form = showForm();
    // The log-in text offers its command only while it holds lines.
    for (const bool lines : {true, false, true}) {
        if (lines)
            form->LogIn->addLine(QStringLiteral("220 welcome"));
        else
            form->LogIn->clearLines();
        for (int i = 0; i < 50; ++i)
            Q_EMIT form->engine()->interfaceChanged();
        EXPECT_TRUE(ovtest::waitFor([&] { return form->Menu_ShowLoginInfo->isEnabled() == lines; },
                                    5000))
                << "log-in lines " << lines;
    }
}

} // namespace
