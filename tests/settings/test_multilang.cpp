#include "base/error.h"
#include "settings/inifile.h"
#include "settings/multilang.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kelto::MultiLang;
using kelto::PhraseType;

namespace {

// The key list as the product documents it, in order, copied by hand.
// How many phrases the table holds; new phrases are only ever appended.
constexpr int kPhraseTotal = 261;

const char* const documentedKeys =
    "MFormCap, MFrameNum, MRepeatNum, MPlayCap, MPlayHint, MStopCap, MStopHint, MLoopCap,"
    "MLoopHint, MSpeedHint, MBackCap, MBackHint, MBackNoneMsg, MAddFigCap, MAddFigHint,"
    "MSelectedBox, MDeleteHint, MEditHint, MCenterHint, MFlipHint, MRaiseHint, MLowerHint,"
    "MColorHint, MDuplicateHint, MJoinHint, MOpacityHint, MScaleHint, MAddFrameCap,"
    "MAddFrameHint, MFile, MFNew, MFOpen, MFSave, MFSaveAs, MFExport, MFBack, MFLoadFig,"
    "MFCreateFig, MFSprite, MFExit, MSelectAll, MPasteFrames, MOptions, MHelp, MHReadMe,"
    "MHAbout, MTLInsert, MTLPasteInsert, MTLDelete, MTLDeleteSel, MTLSaveSel, MTLCopySel,"
    "MNotKelOrStk, MSaveProj, MBackground, MRemoveBack, MNoMoreFig, MNoMoreFrames, MFigType,"
    "MRemoveFigType, MKeltoFile, KelWrongVer, StkWrongVer, MNoFrames, MNoMoreBack,"
    "MBackAnimDim, MStkFile, MNoReadMe, MDel1FrameCheck, MDelFrameCheck, MFileNotExist,"
    "MSmallImage, MFileTypeWrong, MUndoCenter, MUndoFlip, MUndoRaise, MUndoLower, MUndoColor,"
    "MUndoDelete, MUndoAddFig, MUndoBack, MUndoJoin, MUndoUnjoin, MUndoTrans, MUndoScale,"
    "MUndoSelect, BFormCap, BCircleHint, BLineHint, BToggleHint, BCircleFillHint,"
    "BDuplicateHint, BThicknessHint, BStaticHint, BOriginHint, BSplitHint, BDeleteHint,"
    "BFile, BNew, BOpen, BSave, BSaveAs, BAddToAnim, BClose, Edit, Undo, BEditMode,"
    "BUndoMove, BUndoAdd, BUndoKind, BUndoDuplicate, BUndoSplit, BUndoDelete, BUndoStatic,"
    "BUndoOrigin, BUndoFillKind, BUndoOpen, BUndoThickness, Redo, BSegLine, BSegImage,"
    "BSegCircWhite, BSegCircFill, BSegCircClear, BSegStatic, BSegDynamic, BSegSegment,"
    "BSegSegments, BSegThickness, BSegLength, BSegAngle, BClickToAdd, BNoMoreSeg,"
    "BSelectHandle, ReplaceFile, BFigUnsaved, NoMoreFigType, BFigNameTaken, BKelto2StkConv,"
    "OFormCap, ODimBox, OOnionBox, OAheadCap, OAheadHint, OLangBox, ODefaultCap, OWidthCap,"
    "OHeightCap, OKBitCap, CancelBitCap, OChangeDimAll, OHandlesBox, OHandlesCap,"
    "OHandlesHint, OAutosizeCap, OAutosizeHint, AFormCap, AVersion, ADate, ACreatedBy,"
    "ACompany, AWebsite, AFacebookHint, VFormCap, Resize, SuperSample, VCompress, BaFormCap,"
    "FiFormCap, GFormCap, GAdvancedCap, GAdvancedBox, GColor, GDither, GOptimizeBox, GMerge,"
    "GPalette, GCrop, GColQuant, GColQuantWin, GColNetscape, GColGrayScale, GColWindows,"
    "GColMono, GColWinGray, GDithNearest, IFormCap, IFormatBox, IRepeatCap, IQualityCap,"
    "NFormCap, NGiveName, PFormCap,"
    // Added after the original table.
    "BFigNameChars, MNoViewer, MAnimSize,"
    "ExMp4, ExWebM, ExApng, ExWebP, ExFormCap, ExLoop, ExLossless, ExDefault, ExLowerBetter,"
    "ExHigherBetter, ExWrote, ExWroteFiles,"
    "MUndoAddFrame, MUndoInsertFrame, MUndoDeleteFrame, MUndoDeleteFrames, MUndoPasteFrames,"
    "MUndoRepeat, MUndoRemoveFigType, MUndoRemoveBack, OUndoDepth,"
    "ExSheet, ExMergeRepeats, ExTrim, ExColumns, ExAutomatic, ExWroteTwo,"
    "MView, MRecentFiles, MRecentClear, MSaved, ExExported, ExExportedTwo, ExExportedFiles,"
    "LangLocale,"
    "MUndoInbetweens, MInbetweensCmd, MInbetweensCount, MInbetweensEasing, MEaseLinear,"
    "MEaseIn, MEaseOut, MEaseInOut, MInbetweensNeedTwo, MFrameMenu,"
    "MBadKelFile, MBadStkFile, MKelTooLarge, MKelTooLargeFigures, MWriteFailed, MReadFailed,"
    "MRemoveFigTypeAsk, MRemoveBackAsk, BSegStatusOne, BSegStatusMany,"
    "MUndoMoveFrames, MVZoomIn, MVZoomOut, MVZoomActual, MVZoomFit, MZoomHint,"
    "OAutosave, MRestoreWork, MRecoveryDamaged, MAutosaveFailed,";

QStringList documentedKeyList() {
    QStringList keys;
    for (const QString& key : QString::fromLatin1(documentedKeys).split(u',')) {
        if (!key.trimmed().isEmpty()) {
            keys.append(key.trimmed());
        }
    }
    return keys;
}

QString keyOf(int value) {
    const auto key = kelto::phraseKeyName(static_cast<PhraseType>(value));
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class LanguageFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Reported errors are logged in the settings folder; keep that inside the test folder.
        qputenv("KELTO_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        m_folder = m_dir.filePath("languages/");
        // Failures the core recovers from by itself are still passed on; record them.
        s_reported.clear();
        kelto::setRecoveredFailureHandler(
            [](const std::exception& e, const char*) { s_reported.push_back(e.what()); });
    }
    void TearDown() override { kelto::setRecoveredFailureHandler(nullptr); }

    static inline std::vector<std::string> s_reported;

    QTemporaryDir m_dir;
    QString m_folder;
};

} // namespace

TEST(PhraseKeys, MatchTheDocumentedListInOrder) {
    const QStringList expected = documentedKeyList();
    ASSERT_EQ(expected.size(), kPhraseTotal);
    ASSERT_EQ(kelto::PhraseCount, kPhraseTotal);
    EXPECT_EQ(QSet<QString>(expected.begin(), expected.end()).size(), kPhraseTotal);
    for (int i = 0; i < kelto::PhraseCount; ++i) {
        EXPECT_EQ(keyOf(i), expected[i]) << "value " << i;
        const auto back = kelto::phraseFromKeyName(keyOf(i).toStdString());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(static_cast<int>(*back), i);
    }
    // Values quoted next to their keys elsewhere: undo records store these numbers.
    EXPECT_EQ(static_cast<int>(PhraseType::MBackNoneMsg), 12);
    EXPECT_EQ(static_cast<int>(PhraseType::MNotKelOrStk), 52);
    EXPECT_EQ(static_cast<int>(PhraseType::MFileTypeWrong), 72);
    EXPECT_EQ(static_cast<int>(PhraseType::MUndoCenter), 73);
    EXPECT_EQ(static_cast<int>(PhraseType::MUndoScale), 84);
    EXPECT_EQ(static_cast<int>(PhraseType::Undo), 105);
    EXPECT_EQ(static_cast<int>(PhraseType::BUndoMove), 107);
    EXPECT_EQ(static_cast<int>(PhraseType::BUndoDuplicate), 110);
    EXPECT_EQ(static_cast<int>(PhraseType::Redo), 118);
    EXPECT_EQ(static_cast<int>(PhraseType::BNoMoreSeg), 132);
    EXPECT_EQ(static_cast<int>(PhraseType::BKelto2StkConv), 138);
    EXPECT_EQ(static_cast<int>(PhraseType::OChangeDimAll), 150);
    EXPECT_EQ(static_cast<int>(PhraseType::NGiveName), 191);
    EXPECT_EQ(static_cast<int>(PhraseType::PFormCap), 192);
    EXPECT_FALSE(kelto::phraseFromKeyName("mformcap").has_value());
    EXPECT_FALSE(kelto::phraseFromValue(kPhraseTotal).has_value());
    EXPECT_FALSE(kelto::phraseFromValue(-1).has_value());
}

TEST(PhraseKeys, EveryKeyHasAnEnglishText) {
    for (int i = 0; i < kelto::PhraseCount; ++i) {
        const QString text = kelto::englishPhrase(static_cast<PhraseType>(i));
        EXPECT_FALSE(text.trimmed().isEmpty()) << keyOf(i).toStdString();
        EXPECT_EQ(text, text.trimmed()) << keyOf(i).toStdString();
    }
    // Spot checks of texts the windows and messages quote.
    using kelto::englishPhrase;
    EXPECT_EQ(englishPhrase(PhraseType::MFormCap), "Kelto Animator");
    EXPECT_EQ(englishPhrase(PhraseType::MRepeatNum), "Repeat :");
    EXPECT_EQ(englishPhrase(PhraseType::MAddFrameCap), "&Add Frame");
    EXPECT_EQ(englishPhrase(PhraseType::MRemoveBack),
              "is no longer in use. Would you like to delete it from the list of backgrounds?");
    EXPECT_EQ(englishPhrase(PhraseType::MUndoColor), "Colour");
    EXPECT_EQ(englishPhrase(PhraseType::BThicknessHint),
              "Segment thickness (Up/Down arrow - Ctrl +/-5)");
    EXPECT_EQ(englishPhrase(PhraseType::BSegCircWhite), "circle (white)");
    EXPECT_EQ(englishPhrase(PhraseType::OAheadHint),
              "Show onion skins of frames infront of the one being edited");
    EXPECT_EQ(englishPhrase(PhraseType::OChangeDimAll),
              "This will change all frames in the animation. Do you wish to continue?");
    EXPECT_EQ(englishPhrase(PhraseType::GColNetscape), "Netscape (216 color)");
    EXPECT_EQ(englishPhrase(PhraseType::FiFormCap),
              "Click figure to select - Hold Ctrl to keep open");
    EXPECT_EQ(englishPhrase(PhraseType::PFormCap), "Saving Animation");
}

TEST_F(LanguageFolderTest, OpeningWritesTheEnglishTemplateOnlyWhenMissing) {
    MultiLang table;
    table.openFolder(m_folder);
    const QString english = m_folder + "English.ini";
    ASSERT_TRUE(QFile::exists(english));

    const auto ini = kelto::IniFile::load(english);
    ASSERT_TRUE(ini.has_value());
    EXPECT_EQ(ini->sectionNames(), QStringList{"Language"});
    EXPECT_EQ(ini->keys("Language"), documentedKeyList());
    for (int i = 0; i < kelto::PhraseCount; ++i) {
        EXPECT_EQ(ini->value("Language", keyOf(i)),
                  kelto::englishPhrase(static_cast<PhraseType>(i)));
    }

    // A translator's edit of the template survives the next start...
    writeFile(english, "[Language]\nMFormCap=edited\n");
    MultiLang second;
    second.openFolder(m_folder);
    EXPECT_EQ(kelto::IniFile::load(english)->keys("Language"), QStringList{"MFormCap"});

    // ...and a deleted template is written again with every key.
    ASSERT_TRUE(QFile::remove(english));
    MultiLang third;
    third.openFolder(m_folder);
    EXPECT_EQ(kelto::IniFile::load(english)->keys("Language").size(), kPhraseTotal);
}

TEST_F(LanguageFolderTest, ListsIniFilesByName) {
    MultiLang table;
    table.openFolder(m_folder);
    writeFile(m_folder + "Deutsch.ini", "[Language]\n");
    writeFile(m_folder + "notes.txt", "");
    writeFile(m_folder + "Upper.INI", "");
    QDir().mkpath(m_folder + "folder.ini");
    EXPECT_EQ(table.listLanguages(), (QStringList{"Deutsch", "English"}));
}

TEST_F(LanguageFolderTest, MissingKeysKeepTheirEnglishText) {
    MultiLang table;
    table.openFolder(m_folder);
    int applied = 0;
    table.setApplyHandler([&] { ++applied; });
    writeFile(m_folder + "Deutsch.ini",
              "\xEF\xBB\xBF[Language]\r\nMFormCap=Kelto Animator \xE2\x80\x93 Gr\xC3\xBC\xC3\x9F"
              "e\r\nUnknownKey=x\r\n");

    ASSERT_TRUE(table.setLanguage("Deutsch"));
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(table.currentLanguage(), "Deutsch");
    EXPECT_EQ(table.getPhrase(PhraseType::MFormCap), QString::fromUtf8("Kelto Animator – Grüße"));
    for (int i = 1; i < kelto::PhraseCount; ++i) {
        const auto phrase = static_cast<PhraseType>(i);
        EXPECT_EQ(table.getPhrase(phrase), kelto::englishPhrase(phrase));
    }

    // Choosing the current language again changes nothing and reports no change.
    EXPECT_FALSE(table.setLanguage("Deutsch"));
    EXPECT_EQ(applied, 1);

    // English comes from the built-in table, whatever the template file says.
    writeFile(m_folder + "English.ini", "[Language]\nMFormCap=edited\n");
    ASSERT_TRUE(table.setLanguage("English"));
    EXPECT_EQ(table.getPhrase(PhraseType::MFormCap), "Kelto Animator");
    EXPECT_EQ(applied, 2);
}

TEST_F(LanguageFolderTest, ReadsEightBitLanguageFiles) {
    MultiLang table;
    table.openFolder(m_folder);
    writeFile(m_folder + "Fran\xC3\xA7"
                         "ais.ini",
              "[Language]\nMFrameNum=Cadre\nOWidthCap=Largeur \xE9tendue\nRedo=R\xE9tablir\n");
    const QString name = QString::fromUtf8("Français");
    EXPECT_TRUE(table.listLanguages().contains(name));
    ASSERT_TRUE(table.setLanguage(name));
    EXPECT_EQ(table.getPhrase(PhraseType::MFrameNum), "Cadre");
    EXPECT_EQ(table.getPhrase(PhraseType::OWidthCap), QString::fromUtf8("Largeur étendue"));
    EXPECT_EQ(table.getPhrase(PhraseType::Redo), QString::fromUtf8("Rétablir"));
}

TEST_F(LanguageFolderTest, FailedSwitchesKeepThePreviousLanguage) {
    MultiLang table;
    table.openFolder(m_folder);
    writeFile(m_folder + "Deutsch.ini", "[Language]\nMFormCap=Deutsch\n");
    ASSERT_TRUE(table.setLanguage("Deutsch"));

    // A language whose file has disappeared.
    EXPECT_FALSE(table.setLanguage("Klingon"));
    // Names that would reach outside the languages folder.
    writeFile(m_dir.filePath("Outside.ini"), "[Language]\nMFormCap=outside\n");
    EXPECT_FALSE(table.setLanguage("../Outside"));
    EXPECT_FALSE(table.setLanguage(""));
    // A file too large to be a language file is refused and reported.
    QFile big(m_folder + "Huge.ini");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(kelto::IniFile::maxFileBytes + 1));
    big.close();
    EXPECT_FALSE(table.setLanguage("Huge"));
    EXPECT_EQ(s_reported.size(), 1u);

    EXPECT_EQ(table.currentLanguage(), "Deutsch");
    EXPECT_EQ(table.getPhrase(PhraseType::MFormCap), "Deutsch");
}

TEST(MultiLang, WithoutAFolderOnlyEnglishIsAvailable) {
    MultiLang table;
    EXPECT_EQ(table.currentLanguage(), "English");
    EXPECT_TRUE(table.listLanguages().isEmpty());
    EXPECT_FALSE(table.setLanguage("Deutsch"));
    EXPECT_EQ(kelto::getPhrase(PhraseType::MNoMoreFig), "You cannot add any more figures");
}
