#include "app/widgets/PlainForm.h"

#include "app/Translator.h"

PlainForm::PlainForm(const char* className, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(className));
    if (Interfejs && Interfejs->RightToLeft)
        setLayoutDirection(Qt::RightToLeft);
}

bool PlainForm::ShowModalOk() { return exec() == QDialog::Accepted; }
