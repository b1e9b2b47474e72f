#include "app/SerialFiles.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

int SerialFileTable::NumberOf(const QString& fileName)
{
    const QString stem = QFileInfo(fileName).completeBaseName();
    if (stem.isEmpty())
        return -1;
    int number = 0;
    for (QChar c : stem) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c.unicode() - '0');
        if (number >= kSize)
            return -1;
    }
    return number;
}

void SerialFileTable::Clear()
{
    for (QString& name : m_names)
        name.clear();
}

void SerialFileTable::Place(const QString& fileName)
{
    const int number = NumberOf(fileName);
    if (number >= 0)
        m_names[static_cast<size_t>(number)] = fileName;
}

void SerialFileTable::Fill(const QString& folder, const QString& extension)
{
    QStringList names;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        if (("." + info.suffix()).compare(extension, Qt::CaseInsensitive) == 0)
            names << info.fileName();
    names.sort();
    for (const QString& name : names)
        Place(name);
}
