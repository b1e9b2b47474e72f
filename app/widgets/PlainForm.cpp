#include "app/widgets/PlainForm.h"

#include "app/Translator.h"

#include <algorithm>

PlainForm::PlainForm(const char* className, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(className));
    if (Interfejs && Interfejs->RightToLeft)
        setLayoutDirection(Qt::RightToLeft);
}

bool PlainForm::ShowModalOk() { return exec() == QDialog::Accepted; }

void KeepWidthWhenBold(QWidget* caption)
{
    const QFont normal = caption->font();
    SetBold(caption, true);
    const int bold = caption->sizeHint().width();
    caption->setFont(normal);
    caption->setMinimumWidth(std::max(caption->minimumWidth(), bold));
}

void SetBold(QWidget* caption, bool bold)
{
    QFont f = caption->font();
    f.setBold(bold);
    caption->setFont(f);
}
