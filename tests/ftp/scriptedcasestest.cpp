// Every exchange of tests/ftp/cases: the scripted server plays the case's script, a session
// runs the case's lines against it, and what it sent, reported and wrote must be as expected.
#include "support/qtprinters.h"
#include "support/scriptedcase.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class ScriptedCase : public ::testing::TestWithParam<QString>
{};

TEST_P(ScriptedCase, Plays)
{
    ovtest::runScriptedCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
        Cases,
        ScriptedCase,
        ::testing::ValuesIn(ovtest::scriptedCaseFiles(QStringLiteral(ORVANE_TEST_PEERS_DIR
                                                                     "/../ftp/cases"))),
        [](const ::testing::TestParamInfo<QString> &info) {
            return QFileInfo(info.param).baseName().replace(u'-', u'_').toStdString();
        });

} // namespace
