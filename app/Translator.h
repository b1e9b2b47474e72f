#pragma once
#include <QDomDocument>
#include <QDomElement>
#include <QLocale>
#include <QString>
#include <cstdint>

// The one translator: chooses the language at start, loads and checks its language
// file ("Pelvartonix_" + code + ".xml" in the program folder) and looks texts up
// by section and key.
class tInterfejs {
public:
    QDomElement RootNode;
    bool Loaded = false;
    int32_t CountryCode = 1;
    bool RightToLeft = false;
    QString LangCode;

    // Chooses the language from the host's country and the language switches
    // and loads its file; Loaded tells whether that worked.
    tInterfejs();
    // The same with a given host country code (the locale's, in production).
    explicit tInterfejs(int32_t hostCountryCode);

    bool ChooseLanguage(int32_t hostCountryCode);
    bool LoadLanguageFile(const QString& code);

    // Attribute "str" of element key inside element section; "error" when any
    // of them is missing.
    void Translate(const QString& section, const QString& key, QString& text) const;
    QString Translate(const QString& section, const QString& key) const;

    // File name of the language file for a code, in the program folder.
    static QString LanguageFilePath(const QString& code);

private:
    QDomDocument m_document;
};

// The global instance, created by the main window first thing.
extern tInterfejs* Interfejs;

// Shorthand used by every window: the translation through the global translator,
// "error" when there is none yet.
QString Tr(const char* section, const char* key);

// The code of the language the windows speak: the chosen one when its file is
// there, else English (the file read in its place).
QString LanguageInUse();
// The locale of that language: numbers and dates in the windows are written as
// the language the operator reads writes them, whatever the host's locale.
// English before the translator exists.
QLocale LanguageLocale();

// Country code of the user's locale (territory of LC_ALL, LC_MESSAGES or LANG)
// as the telephone-style code the language table is keyed by; 0 for a country
// the table does not list (or a locale without one).
int32_t HostCountryCode();
int32_t CountryCodeForTerritory(const QString& territory);
