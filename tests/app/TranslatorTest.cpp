#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Translator.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
QByteArray LanguageFile(const QString& name, const QString& version, const QByteArray& body = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<interface name=\"" + name.toUtf8() + "\" version=\"" +
           version.toUtf8() + "\">" + body + "</interface>\n";
}

QString CurrentVersion()
{
    // The version every shipped file carries.
    QFile f(ShippedLanguageFile("US"));
    f.open(QIODevice::ReadOnly);
    const QByteArray text = f.readAll();
    const qsizetype at = text.indexOf("version=\"", text.indexOf("<interface")) + 9;
    return QString::fromUtf8(text.mid(at, text.indexOf('"', at) - at));
}

class TranslatorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetCommandLine({});
        DealerBrandName.clear();
    }
    ScriptedPresenter boxes;
};
}  // namespace

TEST_F(TranslatorTest, CountryCodeChoosesLanguageAndBrand)
{
    TempProgramDir dir;
    tInterfejs pl(48);
    EXPECT_TRUE(pl.Loaded);
    EXPECT_EQ(pl.LangCode, "PL");
    EXPECT_EQ(pl.CountryCode, 48);
    EXPECT_TRUE(DealerBrandName.isEmpty());

    tInterfejs us(1);
    EXPECT_EQ(us.LangCode, "US");
    EXPECT_EQ(DealerBrandName, "VOSKAR");

    tInterfejs uk(44);
    EXPECT_EQ(uk.LangCode, "US");
    EXPECT_EQ(uk.CountryCode, 1);
    EXPECT_TRUE(DealerBrandName.isEmpty()) << "an unknown country has no dealer brand";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TranslatorTest, LastLanguageSwitchInTestOrderWins)
{
    TempProgramDir dir;
    SetCommandLine({"de", "pl"});
    tInterfejs t(48);
    EXPECT_EQ(t.LangCode, "DE");
    EXPECT_EQ(t.CountryCode, 49);
    EXPECT_TRUE(t.Loaded) << "no German file: the US file serves";

    SetCommandLine({"Polska"});
    tInterfejs p(1);
    EXPECT_EQ(p.LangCode, "PL");
    EXPECT_EQ(p.CountryCode, 48);
    EXPECT_EQ(DealerBrandName, "VOSKAR") << "a switch does not change the brand";
    EXPECT_EQ(p.Translate("Universal", "blad"), QString::fromUtf8("Błąd"));
}

TEST_F(TranslatorTest, MissingLanguageFallsBackToUsAndKeepsItsCode)
{
    TempProgramDir dir;
    tInterfejs sk(421);
    EXPECT_TRUE(sk.Loaded);
    EXPECT_EQ(sk.LangCode, "SK");
    EXPECT_EQ(sk.Translate("Universal", "blad"), "Error");
}

TEST_F(TranslatorTest, NoLanguageFileAtAllIsReported)
{
    TempProgramDir dir(false);
    tInterfejs t(48);
    EXPECT_FALSE(t.Loaded);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes.shown[0].caption, "Configuration error");
    EXPECT_EQ(boxes.shown[0].text, "Application could't work without file: \r\n" + dir.File("Pelvartonix_US.xml"));
}

TEST_F(TranslatorTest, FilesThatFailTheChecksAreRefusedWithTheirReason)
{
    TempProgramDir dir(false);
    const QString path = dir.File("Pelvartonix_US.xml");
    // Well formed and of the right version, but nested as no language file
    // is: refused before the document is built.
    const QByteArray deep = "<?xml version=\"1.0\"?><interface name=\"Pelvartonix\" version=\"" +
                            CurrentVersion().toUtf8() + "\"><Universal>" + QByteArray("<a>").repeated(100000) +
                            QByteArray("</a>").repeated(100000) + "</Universal></interface>";
    struct Case {
        QByteArray content;
        QString message;
    } cases[] = {
        {deep, "Corruption detected in file: \r\n"},
        {"<interface name=\"Pelvartonix\" version=\"1.0\"><Universal>", "Corruption detected in file: \r\n"},
        {"", "Corruption detected in file: \r\n"},
        {"<?xml version=\"1.0\"?><Interface name=\"Pelvartonix\" version=\"" + CurrentVersion().toUtf8() + "\"/>",
         "Invalid file structure: \r\n"},
        {"<?xml version=\"1.0\"?><interface name=\"Pelvartonix\"/>", "Invalid file structure: \r\n"},
        {LanguageFile("Other", CurrentVersion()), "Incompatibile file version: \r\n"},
        {LanguageFile("Pelvartonix", CurrentVersion() + ".1"), "Incompatibile file version: \r\n"},
    };
    for (const Case& c : cases) {
        boxes.shown.clear();
        dir.Write("Pelvartonix_US.xml", c.content);
        tInterfejs t(1);
        EXPECT_FALSE(t.Loaded) << c.content.left(80).constData();
        ASSERT_EQ(boxes.shown.size(), 1u) << c.content.left(80).constData();
        EXPECT_EQ(boxes.shown[0].text, c.message + path);
        EXPECT_EQ(t.Translate("Universal", "blad"), "error");
    }
}

TEST_F(TranslatorTest, LookupFindsSectionAndKeyExactly)
{
    TempProgramDir dir(false);
    dir.Write("Pelvartonix_US.xml",
              LanguageFile("PELVARTONIX", CurrentVersion(),
                           "<Main_window><AddFrame.caption str=\"Frame\"/><Empty/>"
                           "<x.y str=\"\"/></Main_window>"));
    tInterfejs t(1);
    ASSERT_TRUE(t.Loaded) << "the name is compared without regard to case";
    EXPECT_EQ(t.Translate("Main_window", "AddFrame.caption"), "Frame");
    EXPECT_EQ(t.Translate("Main_window", "AddFrame.Caption"), "error");
    EXPECT_EQ(t.Translate("main_window", "AddFrame.caption"), "error");
    EXPECT_EQ(t.Translate("Main_window", "Empty"), "error");
    EXPECT_EQ(t.Translate("Main_window", "x.y"), "");
    QString out = "stale";
    t.Translate("Nowhere", "key", out);
    EXPECT_EQ(out, "error");
}

TEST_F(TranslatorTest, TerritoryOfTheLocaleGivesTheCountryCode)
{
    EXPECT_EQ(CountryCodeForTerritory("PL"), 48);
    EXPECT_EQ(CountryCodeForTerritory("sa"), 966);
    EXPECT_EQ(CountryCodeForTerritory("US"), 1);
    EXPECT_EQ(CountryCodeForTerritory("GB"), 0) << "a country the table does not list";

    const char* saved[3];
    const char* vars[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string keep[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = std::getenv(vars[i]);
        if (saved[i])
            keep[i] = saved[i];
        unsetenv(vars[i]);
    }
    setenv("LANG", "pl_PL.UTF-8", 1);
    EXPECT_EQ(HostCountryCode(), 48);
    setenv("LC_MESSAGES", "de_DE@euro", 1);
    EXPECT_EQ(HostCountryCode(), 49) << "messages' locale before LANG";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(HostCountryCode(), 0);

    // The locale chooses the language of the program as it starts.
    TempProgramDir dir;
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    {
        tInterfejs uk;
        EXPECT_EQ(uk.LangCode, "US");
        EXPECT_EQ(uk.CountryCode, 1);
        EXPECT_TRUE(DealerBrandName.isEmpty()) << "only the US carries the dealer brand";
    }
    setenv("LC_ALL", "pl_PL.UTF-8", 1);
    {
        tInterfejs pl;
        EXPECT_EQ(pl.LangCode, "PL");
        EXPECT_EQ(pl.Translate("Universal", "uwaga"), QString::fromUtf8("Uwaga"));
    }
    setenv("LC_ALL", "en_US.UTF-8", 1);
    {
        tInterfejs us;
        EXPECT_EQ(DealerBrandName, "VOSKAR");
    }
    for (int i = 0; i < 3; ++i) {
        if (saved[i])
            setenv(vars[i], keep[i].c_str(), 1);
        else
            unsetenv(vars[i]);
    }
}
