#pragma once
#include <QString>
#include <functional>

// Characters a new folder's name may not hold. Linux forbids only "/", but the
// folders are also read from other systems, where all nine are refused.
inline constexpr char kForbiddenFolderChars[] = "\\/:*?\"<>|";

// Not empty and none of the forbidden characters.
bool ValidFolderName(const QString& name);

// What the new-folder command needs from its window: the input box (false when
// the operator cancels; `name` comes in as proposed and goes out as typed) and
// the beep.
struct NewFolderPrompts {
    std::function<bool(QString& name)> askName;
    std::function<void()> beep;
};

// Asks for a name until it is valid or the operator cancels, then creates the
// folder inside `parent`. Refused names, an existing folder and a failed
// creation are told in error boxes. Returns the new folder's path, empty when
// none was made.
QString CreateNewFolder(const QString& parent, const QString& proposedName, const NewFolderPrompts& prompts);
