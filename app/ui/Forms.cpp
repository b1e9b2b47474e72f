#include "app/ui/Forms.h"

#include "app/Globals.h"
#include "app/Translator.h"
#include "app/ui/AppForms.h"
#include "app/ui/MainForm.h"
#include "app/ui/SettingsDialog.h"
#include "app/widgets/NumPad.h"
#include "job/CutState.h"
#include "machine/Joystick.h"
#include "machine/Machine.h"
#include "machine/UsbLink.h"
#include "machine/ui/MachineForms.h"
#include "machine/ui/MoveForms.h"
#include "machine/ui/UpgradeForm.h"
#include "production/ui/ProductionForms.h"

#include <QCoreApplication>
#include <QHash>
#include <QAction>
#include <QToolButton>
#include <QLibraryInfo>
#include <QTranslator>

TMainForm* MainForm = nullptr;
TDlgkonfig* Dlgkonfig = nullptr;
// NumPadForm is defined with its class, which the numeric edits share it from.
TPunkty_bazowe* Punkty_bazowe = nullptr;
TfMemoryInfo* fMemoryInfo = nullptr;
TUpgradeProgramForm* UpgradeProgramForm = nullptr;
TAboutBox* AboutBox = nullptr;
Tprzesun* przesun = nullptr;
Tinfoform* infoform = nullptr;
TfUsb* fUsb = nullptr;
TTransArm* TransArm = nullptr;
Tster* ster = nullptr;
TfGenSer* fGenSer = nullptr;
TfModelInfo* fModelInfo = nullptr;
TfDlgSeryjne* fDlgSeryjne = nullptr;
TfZaginacz* fZaginacz = nullptr;
TfDlgDir* fDlgDir = nullptr;

namespace {
// Qt's name of the language of a language file's code ("pl" for "PL"); empty
// for English, which Qt speaks without a translation.
QString QtLanguageName(const QString& code)
{
    static const QHash<QString, QString> names = {{"PL", "pl"}, {"DE", "de"}, {"RU", "ru"}, {"FR", "fr"},
                                                  {"ES", "es"}, {"HU", "hu"}, {"IT", "it"}, {"SK", "sk"},
                                                  {"CN", "zh_CN"}, {"SA", "ar"}};
    return names.value(code);
}
}  // namespace

void InstallQtTranslation(QObject* owner)
{
    const QString name = QtLanguageName(LanguageInUse());
    if (name.isEmpty())
        return;
    auto* translator = new QTranslator(owner);
    const QString file = "qtbase_" + name;
    if (translator->load(file, ProgramDir) ||
        translator->load(file, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;  // Qt's texts stay English
}

bool CreateForms()
{
    MainForm = new TMainForm();
    if (!MainForm->Created()) {
        delete MainForm;
        MainForm = nullptr;
        return false;
    }
    // Before the other windows, so that theirs are translated from the start;
    // it goes with the main window.
    InstallQtTranslation(MainForm);
    QWidget* owner = MainForm;
    Dlgkonfig = new TDlgkonfig(owner);
    Dlgkonfig->SetMachine(&MainForm->AttachedMachine());
    NumPadForm = new TNumPadForm(owner);
    Punkty_bazowe = new TPunkty_bazowe(owner, MainForm->AttachedMachine(),
                                       [] { return ster ? &ster->Panel().Operations() : nullptr; });
    fMemoryInfo = new TfMemoryInfo(owner);
    // The controller is searched for again after a reset, through the link
    // that exists by then.
    UpgradeProgramForm = new TUpgradeProgramForm(owner, MainForm->AttachedMachine(),
                                                 [] { fUsb->Link().FindMachineAgain(); });
    AboutBox = new TAboutBox(owner);
    przesun = new Tprzesun(owner, MainForm->AttachedMachine());
    infoform = new Tinfoform(owner);
    fUsb = new TfUsb(owner, MainForm->AttachedMachine().Clock());
    MainForm->AttachUsbLink(fUsb->Link());
    TransArm = new TTransArm(owner, MainForm->AttachedMachine());
    ster = new Tster(owner, MainForm->AttachedMachine(), TransArm->Transfer(), {&AxisOffsetX, &AxisOffsetY});
    ster->SetSubWindows(przesun, Punkty_bazowe, UpgradeProgramForm);
    // The machine's keys and the end of a job reach the main window through
    // the panel's timer.
    ster->Panel().SetHooks({[] { MainForm->Start1Click(); }, [] { MainForm->Wstrzymaj1Click(); },
                            [] { MainForm->Kontynuacja1Click(); }, [] { MainForm->UpdateMenuItems(); },
                            [] { MainForm->ContinueSideCut(); }});
    ster->Panel().SetJoystick(std::make_unique<LinuxJoystick>());
    // STOP from the main window also cancels a restart "REPEAT" waits for.
    QObject::connect(MainForm->Wstrzymaj1, &QAction::triggered, ster, [] { ster->Panel().CancelRepeat(); });
    QObject::connect(MainForm->SpeedStop, &QToolButton::clicked, ster, [] { ster->Panel().CancelRepeat(); });
    fModelInfo = new TfModelInfo(owner);
    fDlgSeryjne = new TfDlgSeryjne(owner);
    fZaginacz = new TfZaginacz(owner);
    fDlgDir = new TfDlgDir(owner);
    return true;
}

void DestroyForms()
{
    // The panel's timer runs on the main window's machine clock: it goes first,
    // while the clock is still there. The other windows are children of the
    // main window and go with it.
    delete ster;
    ster = nullptr;
    delete MainForm;
    MainForm = nullptr;
    Dlgkonfig = nullptr;
    NumPadForm = nullptr;
    Punkty_bazowe = nullptr;
    fMemoryInfo = nullptr;
    UpgradeProgramForm = nullptr;
    AboutBox = nullptr;
    przesun = nullptr;
    infoform = nullptr;
    fUsb = nullptr;
    TransArm = nullptr;
    ster = nullptr;
    fGenSer = nullptr;
    fModelInfo = nullptr;
    fDlgSeryjne = nullptr;
    fZaginacz = nullptr;
    fDlgDir = nullptr;
}
