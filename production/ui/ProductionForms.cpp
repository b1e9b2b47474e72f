#include "production/ui/ProductionForms.h"

#include "app/Translator.h"

TfGenSer::TfGenSer(QWidget* parent) : PlainForm("TfGenSer", parent)
{
    setWindowTitle(Tr("Main_window", "miGenSeryjnego3D.caption"));
    setModal(false);
}

TfModelInfo::TfModelInfo(QWidget* parent) : PlainForm("TfModelInfo", parent)
{
    setWindowTitle(Tr("ModelInfo", "caption"));
}

TfZaginacz::TfZaginacz(QWidget* parent) : PlainForm("TfZaginacz", parent)
{
    setWindowTitle(Tr("Arch_cutting", "caption"));
}
