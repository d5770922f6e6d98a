// What users read when something fails: the core's code put in their language through the
// phrase table, with the detail filled in.
#include "document/kelformat.h"
#include "report/errorreporter.h"
#include "report/errortext.h"
#include "settings/multilang.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <vector>

using namespace kelto;

namespace {

constexpr ErrorCode kLastCode = ErrorCode::ReadFailed;

std::vector<ErrorCode> allCodes() {
    std::vector<ErrorCode> codes;
    for (int c = 0; c <= int(kLastCode); ++c) {
        codes.push_back(static_cast<ErrorCode>(c));
    }
    return codes;
}

QString shippedLanguage(const char* name) {
    const std::filesystem::path source = KELTO_SOURCE_DIR;
    return QString::fromStdString(
        (source / "resources" / "languages" / (std::string(name) + ".ini")).string());
}

// The program's phrase table switched to the shipped German file for one test.
class GermanTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("KELTO_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        ASSERT_TRUE(QFile::copy(shippedLanguage("Deutsch"), m_dir.filePath("Deutsch.ini")));
        multiLang().openFolder(m_dir.path());
        ASSERT_TRUE(multiLang().setLanguage(QStringLiteral("Deutsch")));
    }
    void TearDown() override { multiLang().setLanguage(MultiLang::english); }

    QTemporaryDir m_dir;
};

KeltoError errorOf(const std::vector<uint8_t>& record) {
    try {
        readDocumentRecord(record.data(), record.size());
    } catch (const KeltoError& e) {
        return e;
    }
    return KeltoError("read without an error");
}

} // namespace

// The English phrases and the core's own wording must not drift apart: scripts and tests read
// the one, users the other.
TEST(ErrorText, EnglishPhrasesSayWhatTheCoreSays) {
    ASSERT_EQ(multiLang().currentLanguage(), MultiLang::english);
    for (ErrorCode code : allCodes()) {
        for (const std::string detail : {"", "frame count out of range"}) {
            EXPECT_EQ(errorMessage(code, detail).toStdString(), englishMessage(code, detail))
                << int(code) << " '" << detail << "'";
        }
    }
    EXPECT_FALSE(errorPhrase(ErrorCode::General, true).has_value());
    EXPECT_EQ(errorMessage(std::runtime_error("plain")), QStringLiteral("plain"));
}

TEST_F(GermanTable, DamagedFileReadsInGermanWithItsDetail) {
    EXPECT_EQ(errorMessage(ErrorCode::BadKelFile, "empty record"),
              QStringLiteral("Diese .kel-Datei ist beschädigt (empty record)"));
    // A real reader's failure: a version byte and then nothing.
    const KeltoError e = errorOf({4});
    ASSERT_EQ(e.code(), ErrorCode::BadKelFile) << e.what();
    const QString shown = errorMessage(e);
    EXPECT_EQ(shown, QStringLiteral("Diese .kel-Datei ist beschädigt (%1)")
                         .arg(QString::fromStdString(e.detail())));
    EXPECT_FALSE(e.detail().empty());
    // Sentences without a detail and the too-large count.
    EXPECT_EQ(errorMessage(KeltoError(ErrorCode::KelNotCompatible)),
              QStringLiteral("Diese .kel-Datei ist mit dieser Version von Kelto nicht kompatibel"));
    EXPECT_EQ(errorMessage(ErrorCode::KelTooLarge, "1,000"),
              QStringLiteral("Diese .kel-Datei ist zu groß zum Öffnen: Sie enthält mehr als "
                             "1,000 Figuren"));
}

TEST_F(GermanTable, ReporterShowsGermanAndLogsEnglish) {
    std::vector<std::string> shown;
    ErrorReporter::instance().setDisplayHook([&](const std::string& m) { shown.push_back(m); });
    guarded("LoadStk", [] { throw KeltoError(ErrorCode::BadStkFile, "empty file"); });
    ErrorReporter::instance().setDisplayHook(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(QString::fromStdString(shown[0]),
              QStringLiteral("Diese .stk-Datei ist beschädigt (empty file)"));
    QFile log(m_dir.filePath("config/error_log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("That .stk file is damaged (empty file) in LoadStk at "));
}
