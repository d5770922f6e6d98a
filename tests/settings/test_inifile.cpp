#include "base/error.h"
#include "settings/inifile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kelto::IniFile;

namespace {

QString valueOf(const IniFile& ini, const char* section, const char* key) {
    return ini.value(QString::fromUtf8(section), QString::fromUtf8(key)).value_or("<missing>");
}

} // namespace

TEST(IniFile, ParsesWindowsStyleFiles) {
    // Byte-order mark, CRLF line ends, comments, blanks around '=' and quoted values.
    const QByteArray bytes = "\xEF\xBB\xBF; comment\r\n"
                             "orphan=ignored\r\n"
                             "[Language]\r\n"
                             "  MFormCap =  Kelto  \r\n"
                             "# another comment\r\n"
                             "MFrameNum=\" Frame \"\r\n"
                             "Quoted='single'\r\n"
                             "Half=\"open\r\n"
                             "no equals sign\r\n"
                             "=no key\r\n"
                             "Empty=\r\n"
                             "Eq=a=b";
    const IniFile ini = IniFile::fromBytes(bytes);
    EXPECT_EQ(ini.sectionNames(), QStringList{"Language"});
    EXPECT_EQ(valueOf(ini, "Language", "MFormCap"), "Kelto");
    EXPECT_EQ(valueOf(ini, "Language", "MFrameNum"), " Frame ");
    EXPECT_EQ(valueOf(ini, "Language", "Quoted"), "single");
    EXPECT_EQ(valueOf(ini, "Language", "Half"), "\"open");
    EXPECT_EQ(valueOf(ini, "Language", "Empty"), "");
    EXPECT_EQ(valueOf(ini, "Language", "Eq"), "a=b");
    EXPECT_EQ(valueOf(ini, "Language", "orphan"), "<missing>");
    EXPECT_EQ(ini.keys("Language"),
              (QStringList{"MFormCap", "MFrameNum", "Quoted", "Half", "Empty", "Eq"}));
}

TEST(IniFile, LookupIgnoresCaseAndFirstKeyWins) {
    const IniFile ini = IniFile::fromBytes("[A]\nKey=1\nkey=2\n[b]\nx=3\n[a]\nKEY=4\nother=5\n");
    EXPECT_EQ(valueOf(ini, "a", "KEY"), "1");
    EXPECT_EQ(valueOf(ini, "A", "Other"), "5"); // a repeated section continues the first
    EXPECT_EQ(valueOf(ini, "B", "X"), "3");
    EXPECT_EQ(ini.sectionNames(), (QStringList{"A", "b"}));
}

TEST(IniFile, DecodesUtf8ElseLatin1) {
    const IniFile utf8 = IniFile::fromBytes("[S]\nk=Fran\xC3\xA7"
                                            "ais \xE2\x82\xAC\n");
    EXPECT_EQ(valueOf(utf8, "S", "k"), QString::fromUtf8("Français €"));
    // The same text in an 8-bit code page is not valid UTF-8 and falls back to Latin-1.
    const IniFile latin1 = IniFile::fromBytes("[S]\nk=Fran\xE7"
                                              "ais\n");
    EXPECT_EQ(valueOf(latin1, "S", "k"), QString::fromUtf8("Français"));
}

TEST(IniFile, WriteThenReadKeepsOrderAndValues) {
    IniFile ini;
    ini.setValue("First", "b", "  padded  ");
    ini.setValue("First", "a", "\"quoted\"");
    ini.setValue("Second", "z", QString::fromUtf8("Grüße"));
    ini.setValue("First", "B", "replaced"); // same key, other case: replaced in place
    ini.setValue("Second", "line", "one\r\ntwo\nthree");
    ini.setValue("First", "c", "");

    const QByteArray bytes = ini.toBytes();
    EXPECT_EQ(bytes, QString::fromUtf8("[First]\nb=replaced\na=\"\"quoted\"\"\nc=\n\n"
                                       "[Second]\nz=Grüße\nline=one two three\n")
                         .toUtf8());
    const IniFile back = IniFile::fromBytes(bytes);
    EXPECT_EQ(valueOf(back, "First", "b"), "replaced");
    EXPECT_EQ(valueOf(back, "First", "a"), "\"quoted\"");
    EXPECT_EQ(valueOf(back, "Second", "z"), QString::fromUtf8("Grüße"));

    IniFile padded;
    padded.setValue("S", "k", "  padded  ");
    EXPECT_EQ(valueOf(IniFile::fromBytes(padded.toBytes()), "S", "k"), "  padded  ");
}

TEST(IniFile, LoadAndSaveThroughFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("x.ini");
    EXPECT_FALSE(IniFile::load(path).has_value());

    IniFile ini;
    ini.setValue("S", "k", "v");
    ini.save(path);
    const auto loaded = IniFile::load(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(valueOf(*loaded, "S", "k"), "v");

    // Saving into a folder that does not exist fails loudly instead of pretending to succeed.
    EXPECT_THROW(ini.save(dir.filePath("missing/x.ini")), kelto::KeltoError);

    QFile big(dir.filePath("big.ini"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(IniFile::maxFileBytes + 1));
    big.close();
    EXPECT_THROW(IniFile::load(big.fileName()), kelto::KeltoError);
}
