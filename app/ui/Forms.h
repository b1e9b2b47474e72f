#pragma once

class QObject;
class TMainForm;
class TDlgkonfig;
class TNumPadForm;
class TPunkty_bazowe;
class TfMemoryInfo;
class TUpgradeProgramForm;
class TAboutBox;
class Tprzesun;
class Tinfoform;
class TfUsb;
class TTransArm;
class Tster;
class TfGenSer;
class TfModelInfo;
class TfDlgSeryjne;
class TfZaginacz;
class TfDlgDir;

// The program's windows, created once at start and reached through these.
extern TMainForm* MainForm;
extern TDlgkonfig* Dlgkonfig;
extern TNumPadForm* NumPadForm;
extern TPunkty_bazowe* Punkty_bazowe;
extern TfMemoryInfo* fMemoryInfo;
extern TUpgradeProgramForm* UpgradeProgramForm;
extern TAboutBox* AboutBox;
extern Tprzesun* przesun;
extern Tinfoform* infoform;
extern TfUsb* fUsb;
extern TTransArm* TransArm;
extern Tster* ster;
// The serial generator while it is shown (it is made afresh each time).
extern TfGenSer* fGenSer;
extern TfModelInfo* fModelInfo;
extern TfDlgSeryjne* fDlgSeryjne;
extern TfZaginacz* fZaginacz;
extern TfDlgDir* fDlgDir;

// Creates the windows in their fixed order (each may use the ones before it in
// its own creation). False when the program can't run (no usable language file).
bool CreateForms();
// Frees every window, the main window last.
void DestroyForms();

// Qt's own texts (file dialogs, standard buttons) in the language the
// program's texts come in: Qt's translation beside the program or Qt's own;
// English when neither is there. The translation lives as long as its owner.
void InstallQtTranslation(QObject* owner);
