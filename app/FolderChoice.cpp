#include "app/FolderChoice.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"

#include <QDir>
#include <QFileInfo>
#include <string_view>

bool ValidFolderName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const char c : std::string_view(kForbiddenFolderChars))
        if (name.contains(QLatin1Char(c)))
            return false;
    return true;
}

QString CreateNewFolder(const QString& parent, const QString& proposedName, const NewFolderPrompts& prompts)
{
    // Without a folder to put it in nothing is made (never one at the root).
    if (parent.isEmpty())
        return QString();
    QString name = proposedName;
    for (;;) {
        if (!prompts.askName(name))
            return QString();
        if (ValidFolderName(name))
            break;
        ShowMessageBox(Tr("SelectFolder", "msgNiepoprawnaNazwaFolderu") + "\r\n\r\n" + name + "\r\n\r\n" +
                           Tr("SelectFolder", "msgZnakiNiedozwolone") + " :  " + QLatin1String(kForbiddenFolderChars),
                       true);
    }
    const QString path = (parent.endsWith('/') ? parent : parent + '/') + name;
    if (QFileInfo::exists(path)) {
        if (prompts.beep)
            prompts.beep();
        ShowMessageBox(Tr("SelectFolder", "folderJuzIstnieje") + "\r\n" + path, true);
        return QString();
    }
    if (!QDir(parent).mkdir(name)) {
        ShowMessageBox(Tr("SelectFolder", "bladTworzeniaFolderu") + "\r\n" + path, true);
        return QString();
    }
    return path;
}
