#include "base/error.h"
#include "document/stkformat.h"
#include "fixtures.h"
#include "settings/atomicfile.h"
#include "writefailures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace kelto;
using namespace kelto::test;
using namespace kelto::testing;

namespace {

class SaveFailures : public ::testing::TestWithParam<TempFileKind> {
protected:
    void SetUp() override { setDefaultTempFileKind(GetParam()); }
    void TearDown() override { setDefaultTempFileKind(TempFileKind::Unnamed); }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothKinds, SaveFailures,
                         ::testing::Values(TempFileKind::Unnamed, TempFileKind::Named));

// An animation and a figure type saved over older files on a disk that takes only part of
// the new bytes: the save fails with the system's reason and the old files stay whole.
TEST_P(SaveFailures, AnimationAndFigureTypeKeepTheirOldFiles) {
    QTemporaryDir dir;
    const QString kel = dir.filePath("walk.kel");
    const QString stk = dir.filePath("man.stk");
    Document small = stickmanDocument(1);
    saveAnimation(small, removeExtension(kel.toStdString()));
    saveStkFile(chainType(1), stk.toStdString());
    const QByteArray oldKel = fileBytes(kel);
    const QByteArray oldStk = fileBytes(stk);

    Document big = stickmanDocument(400);
    big.documentSaved = false;
    {
        FileSizeLimit limit(rlim_t(std::max(oldKel.size(), oldStk.size())));
        try {
            saveAnimation(big, removeExtension(kel.toStdString()));
            ADD_FAILURE() << "the save did not fail";
        } catch (const KeltoError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Could not write " + kel.toStdString() + ": File too large");
        }
        EXPECT_THROW(saveStkFile(chainType(200), stk.toStdString()), KeltoError);
    }
    EXPECT_EQ(fileBytes(kel), oldKel);
    EXPECT_EQ(fileBytes(stk), oldStk);
    EXPECT_FALSE(big.documentSaved);
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{"man.stk", "walk.kel"}));

    saveAnimation(big, removeExtension(kel.toStdString()));
    EXPECT_EQ(loadAnimation(kel.toStdString()).frameCount(), 400);
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{"man.stk", "walk.kel"}));
}
