#include "app/SettingsFiles.h"

#include "app/Globals.h"
#include "app/MainStatus.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/WholeFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <cstring>

GcfRecord Gcf;
OpenDialogSettings OpenDialogState;

namespace {
void PutInt32(QByteArray& b, int at, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

int32_t GetInt32(const QByteArray& b, int at)
{
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = u << 8 | static_cast<uint8_t>(b[at + i]);
    return static_cast<int32_t>(u);
}

// A zero-filled field of `chars` UTF-16 units; at most chars - 1 are copied so
// the text always ends with a zero.
void PutWide(QByteArray& b, int at, int chars, const QString& text)
{
    const QString cut = text.left(chars - 1);
    for (int i = 0; i < cut.size(); ++i) {
        const char16_t c = cut[i].unicode();
        b[at + 2 * i] = static_cast<char>(c & 0xFF);
        b[at + 2 * i + 1] = static_cast<char>(c >> 8);
    }
}

QString GetWide(const QByteArray& b, int at, int chars)
{
    QString text;
    for (int i = 0; i < chars; ++i) {
        const char16_t c = static_cast<char16_t>(static_cast<uint8_t>(b[at + 2 * i]) |
                                                 static_cast<uint8_t>(b[at + 2 * i + 1]) << 8);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

QString GcfPath() { return ProgramDir + "Pelvartonix.gcf"; }

// The record as read at the start could not be read although it is there:
// the program's end must not put the defaults in its place.
bool gcfUnread = false;

QString NumberText(double v) { return QString::number(v, 'g', 15); }
}  // namespace

QByteArray GcfToBytes(const GcfRecord& r)
{
    QByteArray b(kGcfSize, '\0');
    PutWide(b, 0, 80, r.OpenFolder);
    PutWide(b, 160, 80, r.SaveFolder);
    PutInt32(b, 320, r.Reserved320);
    PutInt32(b, 324, r.SaveFilterIndex);
    b[328] = static_cast<char>(r.Reserved328);
    for (int i = 0; i < 4; ++i)
        b[329 + i] = static_cast<char>(r.Reserved329[i]);
    PutWide(b, 334, 255, r.SettingsPath);
    PutInt32(b, 844, r.OpenFilterIndex);
    uint64_t bits = 0;
    std::memcpy(&bits, &r.Reserved848, 8);
    for (int i = 0; i < 8; ++i)
        b[848 + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    PutInt32(b, 856, r.Reserved856);
    return b;
}

GcfRecord GcfFromBytes(const QByteArray& b)
{
    GcfRecord r;
    r.OpenFolder = GetWide(b, 0, 80);
    r.SaveFolder = GetWide(b, 160, 80);
    r.Reserved320 = GetInt32(b, 320);
    r.SaveFilterIndex = GetInt32(b, 324);
    r.Reserved328 = static_cast<uint8_t>(b[328]);
    for (int i = 0; i < 4; ++i)
        r.Reserved329[i] = static_cast<uint8_t>(b[329 + i]);
    r.SettingsPath = GetWide(b, 334, 255);
    r.OpenFilterIndex = GetInt32(b, 844);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | static_cast<uint8_t>(b[848 + i]);
    std::memcpy(&r.Reserved848, &bits, 8);
    r.Reserved856 = GetInt32(b, 856);
    return r;
}

bool SaveGcf()
{
    Gcf.OpenFilterIndex = OpenDialogState.FilterIndex;
    const bool ok = ReportWrite(WriteWholeFile(GcfPath(), GcfToBytes(Gcf)));
    gcfUnread = gcfUnread && !ok;
    return ok;
}

bool DefaultGcf()
{
    Gcf = GcfRecord();
    Gcf.SettingsPath = ProgramDir + "Pelvartonix.vkf";
    OpenDialogState.FilterIndex = Gcf.OpenFilterIndex;
    return SaveGcf();
}

void LoadGcf()
{
    InputFile file(GcfPath());
    QByteArray bytes;
    gcfUnread = false;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(kGcfSize);
    if (bytes.size() == kGcfSize) {
        Gcf = GcfFromBytes(bytes);
    } else if (file.exists() && (!file.isOpen() || file.error() != QFileDevice::NoError)) {
        // There but unreadable (no permission, a disk error, a folder): a short
        // record is replaced, this one is the operator's to mend.
        ShowMessageBox(Tr("Configuration", "konfigNieczytelny") + "\r\n" + GcfPath() + "\r\n" + file.errorString(),
                       true);
        Gcf = GcfRecord();
        Gcf.SettingsPath = ProgramDir + "Pelvartonix.vkf";
        gcfUnread = true;
    } else {
        DefaultGcf();
    }
    OpenDialogState.InitialDir = Gcf.OpenFolder;
    OpenDialogState.FilterIndex = Gcf.OpenFilterIndex;
}

QString CheckStateToText(CheckState state)
{
    switch (state) {
    case CheckState::Checked:
        return "cbChecked";
    case CheckState::Grayed:
        return "cbGrayed";
    case CheckState::Unchecked:
        break;
    }
    return "cbUnchecked";
}

CheckState TextToCheckState(const QString& text)
{
    if (text == QLatin1String("cbChecked"))
        return CheckState::Checked;
    if (text == QLatin1String("cbGrayed"))
        return CheckState::Grayed;
    return CheckState::Unchecked;
}

bool SaveKonfig(const QString& path)
{
    QByteArray text;
    for (const SettingEntry& e : Settings().Entries()) {
        QString value;
        switch (e.kind) {
        case SettingKind::FloatEdit:
        case SettingKind::FloatEditU:
            value = NumberText(e.value);
            break;
        case SettingKind::CheckBox:
            value = CheckStateToText(static_cast<CheckState>(static_cast<int>(e.value)));
            break;
        case SettingKind::RadioGroup:
        case SettingKind::ScrollBar:
            value = QString::number(static_cast<int>(e.value));
            break;
        }
        text += QByteArray(e.name) + " := " + value.toLatin1() + "\r\n";
    }
    return ReportWrite(WriteWholeFile(path, text));
}

void SplitSettingLine(const QByteArray& text, qsizetype& pos, QString& key, QString& value)
{
    key.clear();
    value.clear();
    bool inValue = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '\r' || c == '\n')
            break;
        if (c == ' ' || c == ':' || c == '=') {
            inValue = true;
            continue;
        }
        (inValue ? value : key).append(QChar::fromLatin1(c));
    }
}

QString NumericPrefix(const QString& text)
{
    qsizetype i = 0;
    auto digits = [&] {
        const qsizetype start = i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
        return i > start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool any = digits();
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        any = digits() || any;
    }
    if (!any)
        return QString();
    qsizetype end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits())
            end = i;
    }
    return text.left(end);
}

bool SettingNumber(const QString& text, double& value)
{
    QString number = NumericPrefix(text);
    if (number.isEmpty())
        return false;
    number.replace(',', '.');
    bool ok = false;
    value = number.toDouble(&ok);
    return ok && std::isfinite(value);
}

namespace {
// A settings file is a short text of about forty lines; anything much larger
// or holding zero bytes is some other file picked by mistake.
constexpr qint64 kMaxSettingsFileSize = 1 << 20;

// The whole text of an existing settings file; false, with the reason, when it
// can't be read as one.
bool ReadSettingsText(const QString& path, QByteArray& text, QString& reason)
{
    const QFileInfo info(path);
    // Neither a folder nor a regular file (a pipe or a device): opening it may
    // wait for ever or read without end.
    if (info.exists() && !info.isDir() && !info.isFile()) {
        reason = Tr("Configuration", "konfigNieTekst");
        return false;
    }
    InputFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    text = file.read(kMaxSettingsFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
        return false;
    }
    if (text.size() > kMaxSettingsFileSize || text.contains('\0')) {
        reason = Tr("Configuration", "konfigNieTekst");
        return false;
    }
    return true;
}

// Settings set the way reading a settings file sets them: the heater powers
// meet the limits of the output read with them, and the output goes to the
// machine again.
template <typename F>
void AsLoading(TDlgkonfigModel& settings, F apply)
{
    settings.Loading = true;
    apply();
    settings.Loading = false;
    settings.LoadFinished();
    settings.PowerChanged = true;
}

// Applies the lines of a settings file; returns those that were not understood.
QStringList ApplySettingsText(TDlgkonfigModel& settings, const QByteArray& text)
{
    QStringList skipped;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype start = pos;
        QString key, value;
        SplitSettingLine(text, pos, key, value);
        const QString line = QString::fromLatin1(text.mid(start, pos - start)).trimmed();
        SettingEntry* e = settings.Find(key.toStdString());
        if (!e) {
            // A line naming no setting is left alone (a file of another
            // version), but a last line without its line end was cut off: the
            // file is not whole, and the operator should know.
            const char last = text.back();
            if (pos == text.size() && last != '\r' && last != '\n' && !key.isEmpty())
                skipped << line;
            continue;
        }
        double number = 0;
        bool ok = true;
        switch (e->kind) {
        case SettingKind::FloatEdit:
        case SettingKind::FloatEditU:
            ok = SettingNumber(value, number);
            if (ok)
                settings.SetValue(e->name, number);
            break;
        case SettingKind::CheckBox:
            settings.SetCheckState(e->name, TextToCheckState(value));
            break;
        case SettingKind::RadioGroup: {
            const int index = value.toInt(&ok);
            const std::string_view name = e->name;
            // An unknown unit reads as millimetres; a work mode this machine
            // doesn't offer (a file of another machine) as plain cutting.
            if (ok && (name == "radiounit" || name == "Mode") && (index < 0 || index >= e->itemCount)) {
                settings.SetItemIndex(e->name, 0);
                break;
            }
            ok = ok && index >= -1 && index < e->itemCount;  // -1: nothing chosen
            if (ok)
                settings.SetItemIndex(e->name, index);
            break;
        }
        case SettingKind::ScrollBar: {
            const int position = value.toInt(&ok);
            ok = ok && position >= e->minValue && position <= e->maxValue;
            if (ok)
                settings.SetPosition(e->name, position);
            break;
        }
        }
        if (!ok)
            skipped << line;
    }
    return skipped;
}
}  // namespace

bool LoadKonfig(const QString& path)
{
    TDlgkonfigModel& settings = Settings();
    bool read = true;
    AsLoading(settings, [&] {
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
            ShowMessageBox(path, false, Tr("Configuration", "brakKonfiga"));
            SaveKonfig(path);
            return;
        }
        QByteArray text;
        QString reason;
        if (!ReadSettingsText(path, text, reason)) {
            // The file is the operator's: it stays as it is until they save.
            ShowMessageBox(Tr("Configuration", "konfigNieczytelny") + "\r\n" + path + "\r\n" + reason, true);
            read = false;
            return;
        }
        const QStringList skipped = ApplySettingsText(settings, text);
        if (!skipped.isEmpty())
            ShowMessageBox(Tr("Configuration", "konfigPominieteWiersze") + "\r\n" + path + "\r\n" +
                               skipped.join("\r\n"),
                           true);
    });
    return read;
}

namespace {
// What the last showing of the dialog found: Cancel returns to these values.
// They are kept here, never in a file: the operator's settings files change
// only when they are saved.
struct Showing {
    bool modeTakenAway = false;
    std::vector<double> values;
};
Showing showing;
}  // namespace

void SettingsFormCreate(const MachineFacts& machine)
{
    TDlgkonfigModel& s = Settings();
    // Only the speeds: the heater powers are bounded once the dialog is shown,
    // by the output read from the file.
    s.ApplySpeedLimits(machine);
    const QFileInfo program(ProgramDir + "Pelvartonix");
    BuildDateText = program.exists() ? LanguageLocale().toString(program.lastModified().date(), QLocale::ShortFormat)
                                     : QString("Nieznana");
    showing = Showing();
    LoadGcf();
    LoadKonfig(Gcf.SettingsPath);
    SetMainStatusText(QString());
    CurrentLengthUnit = s.ItemIndex("radiounit");
    PointTolerance = RoundEven(s.Value("fuPlt_accuracy") * 40.0);
}

void SettingsFormActivate(const MachineFacts& machine, bool showAll)
{
    TDlgkonfigModel& s = Settings();
    s.ApplyMachineLimits(machine);
    showing.modeTakenAway = s.PruneModes(machine, showAll);
    s.updateactiv();
    showing.values = s.Values();
    // A work mode that this machine no longer offers changes the mode: the
    // job windows of the old mode must go, even when the dialog is cancelled.
    s.ModeChanged = showing.modeTakenAway;
    s.CalibrationChanged = false;
}

bool SettingsOk()
{
    TDlgkonfigModel& s = Settings();
    const bool calibration = s.CalibrationChanged;
    SaveGcf();
    if (s.Checked("AutoSave"))
        SaveKonfig(Gcf.SettingsPath);
    PointTolerance = RoundEven(s.Value("fuPlt_accuracy") * 40.0);
    return calibration;
}

void SettingsCancel()
{
    TDlgkonfigModel& s = Settings();
    // Each value set again in the order of a settings file, so that what the
    // edits' reactions changed (forced values, ranges) is undone as well.
    if (!showing.values.empty())
        AsLoading(s, [&] { s.SetValues(showing.values); });
    s.ModeChanged = showing.modeTakenAway;
}

void SettingsSaveAs(const QString& path)
{
    if (SaveKonfig(path))
        Gcf.SettingsPath = path;
}

void SettingsLoadFrom(const QString& path)
{
    // A file that can't be read leaves the settings as they were, and so the
    // file they belong to.
    if (LoadKonfig(path))
        Gcf.SettingsPath = path;
}

bool SettingsFormDestroy()
{
    if (gcfUnread)
        return false;
    Gcf.OpenFilterIndex = OpenDialogState.FilterIndex;
    return ReportWrite(WriteWholeFileIfChanged(GcfPath(), GcfToBytes(Gcf)));
}
