#pragma once
#include "app/MessageBoxes.h"

#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <vector>

// Records every box the program shows and answers its questions from a script.
class ScriptedPresenter : public MessagePresenter {
public:
    ScriptedPresenter();
    ~ScriptedPresenter() override;

    void Show(const MessageRequest& request) override;
    int Ask(const MessageRequest& request) override;

    std::vector<MessageRequest> shown;
    std::vector<MessageRequest> asked;
    std::deque<int> answers;  // next answers to questions; Cancel when empty

private:
    MessagePresenter* m_previous;
};

// A program folder of its own for one test: the shipped language files copied
// into a temporary folder that ProgramDir points at.
class TempProgramDir {
public:
    TempProgramDir(bool withLanguageFiles = true);
    ~TempProgramDir();

    QString Path() const;  // with trailing separator
    QString File(const QString& name) const { return Path() + name; }
    // Writes a file into the folder (text as UTF-8).
    QString Write(const QString& name, const QByteArray& content) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Path of a shipped language file as the build laid it beside the program.
QString ShippedLanguageFile(const QString& code);

// A translator over the shipped language file of a code, installed as the global one.
class ScopedTranslator {
public:
    explicit ScopedTranslator(const QString& lang = "US");
    ~ScopedTranslator();

private:
    TempProgramDir m_dir;
    class tInterfejs* m_previous;
};
