#pragma once
#include "app/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// The installation's record "Pelvartonix.gcf": last folders, dialog filter
// indexes and the path of the current settings file. On disk exactly 864 bytes,
// little-endian, strings UTF-16 in fixed zero-filled fields.
struct GcfRecord {
    QString OpenFolder;     // at most 79 characters
    QString SaveFolder;     // at most 79 characters
    int32_t Reserved320 = 1;
    int32_t SaveFilterIndex = 1;
    uint8_t Reserved328 = 1;
    uint8_t Reserved329[4] = {0, 0, 0, 0};
    QString SettingsPath;   // at most 254 characters
    int32_t OpenFilterIndex = 1;
    double Reserved848 = 1.0;
    int32_t Reserved856 = 0;
};

constexpr int kGcfSize = 864;

extern GcfRecord Gcf;

// What the main window's open dialog starts with.
struct OpenDialogSettings {
    QString InitialDir;
    int32_t FilterIndex = 1;
};
extern OpenDialogSettings OpenDialogState;

QByteArray GcfToBytes(const GcfRecord& record);
GcfRecord GcfFromBytes(const QByteArray& bytes);  // bytes must be kGcfSize long

// Writes the record (with the open dialog's filter index); false, after telling
// the operator, when the file can't be written.
bool SaveGcf();
// The record's defaults, then SaveGcf.
bool DefaultGcf();
// Reads the record; a missing or short file is replaced by the defaults. One
// that is there but can't be read is reported and left alone: the defaults
// hold in memory, and the program's end writes nothing over it.
void LoadGcf();

// Settings files: one line "name := value" per saved control, in the dialog's
// order. Numbers are written with "." whatever the locale.
bool SaveKonfig(const QString& path);
// Reads a settings file into the settings; a missing file is reported and
// written from the current values. Lines that name no setting are ignored;
// a value that does not convert is skipped and the operator told which.
// A file that exists but can't be read (a folder, no permission, not text) is
// reported with the reason and left alone: false, nothing changes.
bool LoadKonfig(const QString& path);

QString CheckStateToText(CheckState state);
CheckState TextToCheckState(const QString& text);

// One line of a settings file, split into key and value: the key is everything
// before the first " ", ":" or "="; the value everything after it except those
// three characters. Reads up to and including the line's CR or LF.
void SplitSettingLine(const QByteArray& text, qsizetype& pos, QString& key, QString& value);
// The longest leading part of the text that reads as a number: sign, digits,
// one decimal separator ("." or ","), an exponent.
QString NumericPrefix(const QString& text);
// The number a settings file holds in the text; false when there is none.
bool SettingNumber(const QString& text, double& value);

// The settings dialog's life, without the window: what happens when it is
// created, shown, confirmed, cancelled and destroyed.
void SettingsFormCreate(const MachineFacts& machine);
void SettingsFormActivate(const MachineFacts& machine, bool showAll);
// True when the calibration changed: the machine's resolution is to be read again.
bool SettingsOk();
void SettingsCancel();
void SettingsSaveAs(const QString& path);
void SettingsLoadFrom(const QString& path);
// The record written at the program's end: never over a record that could not
// be read, and not at all when the file already holds it. False after telling
// the operator when it could not be written (the older file stays).
bool SettingsFormDestroy();
