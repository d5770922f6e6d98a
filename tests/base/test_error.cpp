// The core's error type: a code the programs translate by, a detail, and the English message
// scripts and logs have always read.
#include "base/error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kelto;

TEST(KeltoError, EnglishMessagesKeepTheirWording) {
    struct Case {
        ErrorCode code;
        std::string detail;
        std::string english;
    };
    const std::vector<Case> cases = {
        {ErrorCode::General, "Out of memory", "Out of memory"},
        {ErrorCode::BadKelFile, "empty record", "That .kel file is damaged (empty record)"},
        {ErrorCode::BadStkFile, "joint number out of range",
         "That .stk file is damaged (joint number out of range)"},
        {ErrorCode::BadKelFile, "", "That .kel file is damaged"},
        {ErrorCode::KelTooLarge, "", "That .kel file is too large to open"},
        {ErrorCode::KelTooLarge, "1,000",
         "That .kel file is too large to open: it holds more "
         "than 1,000 figures"},
        {ErrorCode::WriteFailed, "/x/a.kel: No space left on device",
         "Could not write /x/a.kel: No space left on device"},
        {ErrorCode::ReadFailed, "/x/Kelto.ini: Permission denied",
         "Cannot read /x/Kelto.ini: Permission denied"},
        // Codes whose sentence has no room for a detail leave it out.
        {ErrorCode::KelNotCompatible, "ignored",
         "That .kel file is not compatible with this version of Kelto"},
        {ErrorCode::FileDoesNotExist, "", "That file does not exist"},
    };
    for (const Case& c : cases) {
        const KeltoError e(c.code, c.detail);
        EXPECT_EQ(std::string(e.what()), c.english);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_EQ(e.detail(), c.detail);
    }
}

TEST(KeltoError, PlainMessageIsAGeneralErrorWithItselfAsDetail) {
    const KeltoError e("Picture dimensions out of range");
    EXPECT_EQ(e.code(), ErrorCode::General);
    EXPECT_EQ(e.detail(), "Picture dimensions out of range");
    EXPECT_STREQ(e.what(), "Picture dimensions out of range");
}

namespace {

std::vector<std::string>& recovered() {
    static std::vector<std::string> lines;
    return lines;
}

} // namespace

TEST(KeltoError, RecoveredFailuresReachTheInstalledHandler) {
    recovered().clear();
    setRecoveredFailureHandler([](const std::exception& e, const char* tag) {
        recovered().push_back(std::string(e.what()) + " @" + tag);
    });
    noteRecoveredFailure(KeltoError(ErrorCode::ReadFailed, "a.ini: gone"), "LoadSettings");
    setRecoveredFailureHandler(nullptr);
    noteRecoveredFailure(KeltoError("not recorded"), "Elsewhere"); // goes to stderr
    ASSERT_EQ(recovered().size(), 1u);
    EXPECT_EQ(recovered()[0], "Cannot read a.ini: gone @LoadSettings");
}
