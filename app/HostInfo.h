#pragma once
#include <QString>
#include <cstdint>

// The program's version: major.minor, then ".release" and ".build" when asked.
void VersionText(bool withRelease, bool withBuild, QString& text);
QString VersionText(bool withRelease, bool withBuild);

// The operating system's name and version for messages. Every system this
// program builds for is suitable, so the answer is always true.
bool WindowsVersionText(QString& text);

// Companion side-view drawing: name + "_bok" + extension, else name + "_side" +
// extension, in the drawing's folder. True when the returned candidate exists.
bool FindSideFile(const QString& drawingPath, QString& path);

// Documents beside the program, chosen by language and dealer brand.
bool ManualPath(QString& path);
bool BrandCataloguePath(QString& path);
bool CataloguePath(QString& path);
bool SamplesFolder(QString& path);

// "123b", "12KB", "3MB"; throws std::runtime_error when the file can't be read.
QString FileSizeText(const QString& path);
QString FileSizeTextForBytes(int64_t size);

double DegToRad(double x);
