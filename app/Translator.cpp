#include "app/Translator.h"

#include "Version.h"
#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MessageBoxes.h"
#include "app/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <cstdlib>

tInterfejs* Interfejs = nullptr;

namespace {
const char* const kTitle = "Pelvartonix";
const char* const kConfigError = "Configuration error";
// A country code outside the language table.
constexpr int32_t kOtherCountry = 0;

struct CountryRow {
    int32_t code;
    const char* lang;
    const char* territory;
    const char* locale;
};

// Windows country code, language code, the locale territory that stands for
// it, and the locale whose numbers and dates go with the language.
const CountryRow kCountries[] = {
    {1, "US", "US", "en_US"},   {7, "RU", "RU", "ru_RU"},   {33, "FR", "FR", "fr_FR"},
    {34, "ES", "ES", "es_ES"},  {36, "HU", "HU", "hu_HU"},  {39, "IT", "IT", "it_IT"},
    {40, "RO", "RO", "ro_RO"},  {48, "PL", "PL", "pl_PL"},  {49, "DE", "DE", "de_DE"},
    {86, "CN", "CN", "zh_CN"},  {421, "SK", "SK", "sk_SK"}, {966, "SA", "SA", "ar_SA"},
};

struct LanguageSwitch {
    const char* names[3];
    const char* lang;
    int32_t code;
};

// Tested in this order; the last one present wins.
const LanguageSwitch kSwitches[] = {
    {{"USA", "US", "GB"}, "US", 1},
    {{"POLSKA", "PL", nullptr}, "PL", 48},
    {{"DE", nullptr, nullptr}, "DE", 49},
    {{"RU", nullptr, nullptr}, "RU", 7},
    {{"CN", nullptr, nullptr}, "CN", 86},
    {{"SK", nullptr, nullptr}, "SK", 421},
    {{"ITALY", "IT", nullptr}, "IT", 39},
    {{"SPAIN", "ESPANOL", "ES"}, "ES", 34},
    {{"SA", nullptr, nullptr}, "SA", 966},
    {{"HU", nullptr, nullptr}, "HU", 36},
    {{"RO", nullptr, nullptr}, "RO", 40},
    {{"FR", nullptr, nullptr}, "FR", 33},
};

// A language file is three levels deep (interface, section, key); a few more
// leave room for comments of structure, far more is no language file, and the
// document parser would take minutes over it.
constexpr int kMaxLanguageDepth = 8;

bool NestedTooDeep(const QByteArray& bytes)
{
    QXmlStreamReader reader(bytes);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxLanguageDepth)
                return true;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

QString LanguageVersion()
{
    return QString::number(PELV_VERSION_MAJOR) + "." + QString::number(PELV_VERSION_MINOR);
}
}  // namespace

tInterfejs::tInterfejs() : tInterfejs(HostCountryCode()) {}

tInterfejs::tInterfejs(int32_t hostCountryCode)
{
    RightToLeft = false;
    Loaded = ChooseLanguage(hostCountryCode);
}

bool tInterfejs::ChooseLanguage(int32_t hostCountryCode)
{
    CountryCode = hostCountryCode;
    DealerBrandName.clear();
    LangCode = "US";
    bool known = false;
    for (const CountryRow& row : kCountries) {
        if (row.code == CountryCode) {
            LangCode = row.lang;
            known = true;
            break;
        }
    }
    if (!known)
        CountryCode = 1;
    else if (CountryCode == 1)
        DealerBrandName = "VOSKAR";

    for (const LanguageSwitch& sw : kSwitches) {
        for (const char* name : sw.names) {
            if (name && HasSwitch(name)) {
                LangCode = sw.lang;
                CountryCode = sw.code;
                break;
            }
        }
    }
    return LoadLanguageFile(LangCode);
}

QString tInterfejs::LanguageFilePath(const QString& code)
{
    return ProgramDir + kTitle + "_" + code + ".xml";
}

bool tInterfejs::LoadLanguageFile(const QString& code)
{
    RootNode = QDomElement();
    m_document = QDomDocument();

    QString path = LanguageFilePath(code);
    if (!QFileInfo::exists(path)) {
        path = LanguageFilePath("US");
        if (!QFileInfo::exists(path)) {
            ShowMessageBox("Application could't work without file: \r\n" + path, true, kConfigError);
            return false;
        }
    }

    InputFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessageBox("Application could't work without file: \r\n" + path, true, kConfigError);
        return false;
    }
    // A file that does not parse has no usable root: the same message as a
    // missing root, rather than an exception that ends the program silently.
    const QByteArray bytes = file.readAll();
    QDomDocument document;
    if (NestedTooDeep(bytes) || !document.setContent(bytes) || document.documentElement().isNull()) {
        ShowMessageBox("Corruption detected in file: \r\n" + path, true, kConfigError);
        return false;
    }
    const QDomElement root = document.documentElement();
    if (root.tagName() != QLatin1String("interface") || !root.hasAttribute("name") ||
        !root.hasAttribute("version")) {
        ShowMessageBox("Invalid file structure: \r\n" + path, true, kConfigError);
        return false;
    }
    if (root.attribute("name").compare(kTitle, Qt::CaseInsensitive) != 0 ||
        root.attribute("version") != LanguageVersion()) {
        ShowMessageBox("Incompatibile file version: \r\n" + path, true, kConfigError);
        return false;
    }
    m_document = document;
    RootNode = root;
    return true;
}

void tInterfejs::Translate(const QString& section, const QString& key, QString& text) const
{
    text.clear();
    const QDomElement sectionElement = RootNode.firstChildElement(section);
    const QDomElement keyElement = sectionElement.firstChildElement(key);
    if (sectionElement.isNull() || keyElement.isNull() || !keyElement.hasAttribute("str")) {
        text = "error";
        return;
    }
    text = keyElement.attribute("str");
}

QString tInterfejs::Translate(const QString& section, const QString& key) const
{
    QString text;
    Translate(section, key, text);
    return text;
}

QString Tr(const char* section, const char* key)
{
    if (!Interfejs)
        return "error";
    return Interfejs->Translate(QLatin1String(section), QLatin1String(key));
}

QString LanguageInUse()
{
    if (!Interfejs || !QFileInfo::exists(tInterfejs::LanguageFilePath(Interfejs->LangCode)))
        return QStringLiteral("US");
    return Interfejs->LangCode;
}

QLocale LanguageLocale()
{
    const QString code = LanguageInUse();
    for (const CountryRow& row : kCountries)
        if (code == QLatin1String(row.lang))
            return QLocale(QLatin1String(row.locale));
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

int32_t CountryCodeForTerritory(const QString& territory)
{
    for (const CountryRow& row : kCountries)
        if (territory.compare(QLatin1String(row.territory), Qt::CaseInsensitive) == 0)
            return row.code;
    // Any other country: English, without the dealer brand of the US.
    return kOtherCountry;
}

int32_t HostCountryCode()
{
    // The locale that decides the language of messages, as the C library picks it.
    QString locale;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            locale = QString::fromLocal8Bit(value);
            break;
        }
    }
    // language[_TERRITORY][.codeset][@modifier]
    const qsizetype underscore = locale.indexOf('_');
    if (underscore < 0)
        return kOtherCountry;
    QString territory = locale.mid(underscore + 1);
    for (QChar stop : {QChar('.'), QChar('@')}) {
        const qsizetype at = territory.indexOf(stop);
        if (at >= 0)
            territory.truncate(at);
    }
    return CountryCodeForTerritory(territory);
}
