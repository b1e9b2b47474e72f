#include "tests/support/TestSupport.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Translator.h"

#include <QFile>
#include <gtest/gtest.h>

ScriptedPresenter::ScriptedPresenter() : m_previous(CurrentMessagePresenter()) { SetMessagePresenter(this); }

ScriptedPresenter::~ScriptedPresenter() { SetMessagePresenter(m_previous); }

void ScriptedPresenter::Show(const MessageRequest& request) { shown.push_back(request); }

int ScriptedPresenter::Ask(const MessageRequest& request)
{
    asked.push_back(request);
    if (answers.empty())
        return mrCancel;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ShippedLanguageFile(const QString& code)
{
    return QString(PELV_PROGRAM_DIR) + "Pelvartonix_" + code + ".xml";
}

TempProgramDir::TempProgramDir(bool withLanguageFiles) : m_previous(ProgramDir)
{
    EXPECT_TRUE(m_dir.isValid());
    ProgramDir = Path();
    if (!withLanguageFiles)
        return;
    for (const char* code : {"US", "PL"})
        EXPECT_TRUE(QFile::copy(ShippedLanguageFile(code), File(QString("Pelvartonix_") + code + ".xml")));
}

TempProgramDir::~TempProgramDir() { ProgramDir = m_previous; }

QString TempProgramDir::Path() const { return m_dir.path() + "/"; }

QString TempProgramDir::Write(const QString& name, const QByteArray& content) const
{
    QFile file(File(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    return file.fileName();
}

ScopedTranslator::ScopedTranslator(const QString& lang) : m_previous(Interfejs)
{
    const QStringList saved = CommandLineParameters();
    SetCommandLine({lang});
    Interfejs = new tInterfejs(1);
    SetCommandLine(saved);
    EXPECT_TRUE(Interfejs->Loaded);
}

ScopedTranslator::~ScopedTranslator()
{
    delete Interfejs;
    Interfejs = m_previous;
}

// Font and platform libraries keep caches for the life of the process; they are
// not leaks of the program.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}
