#include "app/Translator.h"
#include "tests/support/TestSupport.h"

#include <QDirIterator>
#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>
#include <map>

namespace {
using KeySet = QSet<QString>;  // "section/key"

KeySet KeysOf(const QString& path, std::map<QString, int>* perSection = nullptr)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QDomDocument doc;
    EXPECT_TRUE(static_cast<bool>(doc.setContent(&file))) << path.toStdString();
    KeySet keys;
    for (QDomElement s = doc.documentElement().firstChildElement(); !s.isNull(); s = s.nextSiblingElement())
        for (QDomElement k = s.firstChildElement(); !k.isNull(); k = k.nextSiblingElement()) {
            EXPECT_TRUE(k.hasAttribute("str")) << k.tagName().toStdString();
            EXPECT_FALSE(k.attribute("str").trimmed().isEmpty()) << (s.tagName() + "/" + k.tagName()).toStdString();
            keys.insert(s.tagName() + "/" + k.tagName());
            if (perSection)
                ++(*perSection)[s.tagName()];
        }
    return keys;
}

// Every section/key pair the program's sources ask the translator for.
KeySet KeysAskedByTheCode()
{
    static const QRegularExpression call(
        R"re(\b(?:Tr|Translate)\(\s*(?:QString\()?"([A-Za-z_0-9]+)"\)?\s*,\s*(?:QString\()?"([^"]+)")re");
    KeySet keys;
    for (const char* folder : {"app", "job", "machine", "production"}) {
        QDirIterator it(QString(PELV_SOURCE_DIR) + folder, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (auto m = call.globalMatch(text); m.hasNext();) {
                const auto match = m.next();
                keys.insert(match.captured(1) + "/" + match.captured(2));
            }
        }
    }
    return keys;
}
}  // namespace

TEST(LanguageFiles, EveryShippedFileHoldsTheSameCompleteKeySet)
{
    std::map<QString, int> perSection;
    const KeySet us = KeysOf(ShippedLanguageFile("US"), &perSection);
    const KeySet pl = KeysOf(ShippedLanguageFile("PL"));
    // The 341 texts of the original list, the message about figures that
    // can't be joined into one path, the three about settings files that
    // can't be read whole, the reasons a drawing can't be read, the job given
    // up for want of memory, the error that stopped an operation, the one
    // about a machine without access, the damaged command file and the factory
    // parameter file too long for the controller, and START with no wire
    // selected on a two-wire machine, the failed write with its reasons, and
    // the base points file that can't be read, the generator's step that
    // leaves no open profile, a start position past the controller's range,
    // START on a paused cut, a pause the machine did not make, closing while
    // the machine may still cut, a number a field cannot read, a cut the
    // lost link left that can't be continued, the failed write that left no
    // file, and a file that is no plain file.
    EXPECT_EQ(us.size(), 383);
    EXPECT_EQ(perSection.size(), 19u);
    const std::map<QString, int> expected = {
        {"Configuration", 74}, {"Main_window", 64}, {"Control", 46}, {"Duplication_parameters", 27},
        {"Upgrade_firmware", 22}, {"MemoryInfo", 17}, {"About", 11}, {"SerialCutFrom3D", 14},
        {"Independent_start_dialog", 12}, {"Project_window", 25}, {"Universal", 20}, {"Arch_cutting", 9},
        {"Serial_cut", 8}, {"SelectFolder", 7}, {"Info", 6}, {"Move_wire", 5}, {"ModelInfo", 5},
        {"Base_points", 8}, {"Perpendicular_start_dialog", 3}};
    EXPECT_EQ(perSection, expected);
    for (const QString& k : us - pl)
        ADD_FAILURE() << "missing in the Polish file: " << k.toStdString();
    for (const QString& k : pl - us)
        ADD_FAILURE() << "missing in the English file: " << k.toStdString();
}

TEST(LanguageFiles, EveryKeyTheCodeAsksForIsShipped)
{
    const KeySet asked = KeysAskedByTheCode();
    EXPECT_GT(asked.size(), 40) << "the scan of the sources found too little";
    for (const char* code : {"US", "PL"}) {
        const KeySet shipped = KeysOf(ShippedLanguageFile(code));
        for (const QString& k : asked)
            EXPECT_TRUE(shipped.contains(k)) << code << " lacks " << k.toStdString();
    }
}

TEST(LanguageFiles, ShippedFilesPassTheTranslatorsChecks)
{
    ScriptedPresenter boxes;
    TempProgramDir dir;
    for (int country : {1, 48}) {
        tInterfejs t(country);
        EXPECT_TRUE(t.Loaded) << country;
        EXPECT_NE(t.Translate("Main_window", "File1.Caption"), "error");
    }
    EXPECT_TRUE(boxes.shown.empty());
}
