#include "app/ui/AppForms.h"

#include "app/Translator.h"

TfMemoryInfo::TfMemoryInfo(QWidget* parent) : PlainForm("TfMemoryInfo", parent)
{
    setWindowTitle(Tr("MemoryInfo", "caption"));
}

TAboutBox::TAboutBox(QWidget* parent) : PlainForm("TAboutBox", parent)
{
    setWindowTitle(Tr("About", "Caption"));
}

Tinfoform::Tinfoform(QWidget* parent) : PlainForm("Tinfoform", parent)
{
    setWindowTitle(QString(Tr("Main_window", "info.Caption")).remove('&'));
}

TfDlgDir::TfDlgDir(QWidget* parent) : PlainForm("TfDlgDir", parent) {}
