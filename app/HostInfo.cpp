#include "app/HostInfo.h"

#include "Version.h"
#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/Translator.h"
#include "app/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <numbers>
#include <stdexcept>
#include <sys/utsname.h>

void VersionText(bool withRelease, bool withBuild, QString& text)
{
    text = QString::number(PELV_VERSION_MAJOR) + "." + QString::number(PELV_VERSION_MINOR);
    if (withRelease)
        text += "." + QString::number(PELV_VERSION_RELEASE);
    if (withBuild)
        text += "." + QString::number(PELV_VERSION_BUILD);
}

QString VersionText(bool withRelease, bool withBuild)
{
    QString text;
    VersionText(withRelease, withBuild, text);
    return text;
}

bool WindowsVersionText(QString& text)
{
    QString product = "Linux";
    QFile osRelease("/etc/os-release");
    if (osRelease.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&osRelease);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.startsWith("PRETTY_NAME=")) {
                product = line.mid(12);
                if (product.size() >= 2 && product.startsWith('"') && product.endsWith('"'))
                    product = product.mid(1, product.size() - 2);
                break;
            }
        }
    }
    QString release, version;
    struct utsname un;
    if (uname(&un) == 0) {
        release = QString::fromLocal8Bit(un.release);
        version = QString::fromLocal8Bit(un.version);
    }
    const QStringList parts = release.split('.');
    const QString majorMinor = parts.size() >= 2 ? parts[0] + "." + parts[1] : release;
    text = product + " [ver. " + majorMinor + "]" + "\r\n" + version;
    return true;
}

bool FindSideFile(const QString& drawingPath, QString& path)
{
    const QFileInfo info(drawingPath);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    const QString stem = info.path() + "/" + info.completeBaseName();
    path = stem + "_bok" + suffix;
    if (QFileInfo::exists(path))
        return true;
    path = stem + "_side" + suffix;
    return QFileInfo::exists(path);
}

namespace {
QString LangCode() { return Interfejs ? Interfejs->LangCode : QString("US"); }

bool HasOwnBrand()
{
    return !DealerBrandName.isEmpty() && DealerBrandName != QLatin1String("DRAVINOR");
}

// The file for the language, else the same for "US"; the last candidate is kept.
bool FirstExisting(const QString& prefix, const QString& suffix, QString& path)
{
    path = ProgramDir + prefix + LangCode() + suffix;
    if (QFileInfo::exists(path))
        return true;
    path = ProgramDir + prefix + "US" + suffix;
    return QFileInfo::exists(path);
}
}  // namespace

bool ManualPath(QString& path)
{
    if (HasOwnBrand()) {
        if (FirstExisting("Pelvartonix_manual_", "_" + DealerBrandName + ".pdf", path))
            return true;
        path.clear();
        return false;
    }
    return FirstExisting("Pelvartonix_manual_", ".pdf", path);
}

bool BrandCataloguePath(QString& path)
{
    if (DealerBrandName.isEmpty()) {
        path.clear();
        return false;
    }
    if (FirstExisting("Catalogue_", "_" + DealerBrandName + ".pdf", path))
        return true;
    path.clear();
    return false;
}

bool CataloguePath(QString& path)
{
    if (HasOwnBrand())
        return BrandCataloguePath(path);
    return FirstExisting("Catalogue_", ".pdf", path);
}

bool SamplesFolder(QString& path)
{
    if (LangCode() == QLatin1String("PL")) {
        path = ProgramDir + "Projekty probne";
        if (QFileInfo(path).isDir())
            return true;
    }
    path = ProgramDir + "Samples";
    return QFileInfo(path).isDir();
}

QString FileSizeTextForBytes(int64_t size)
{
    if (size < 1024)
        return QString::number(size) + "b";
    if (size < 1048576)
        return QString::number(static_cast<int64_t>(RoundEven(size / 1024.0))) + "KB";
    return QString::number(static_cast<int64_t>(RoundEven(size / 1048576.0))) + "MB";
}

QString FileSizeText(const QString& path)
{
    InputFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(("Cannot read file: " + path).toStdString());
    return FileSizeTextForBytes(file.size());
}

double DegToRad(double x) { return x * std::numbers::pi / 180.0; }
