#include "machine/FirmwareUpgrade.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/WholeFile.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int32_t kProgramAddress = 0x02000000;
constexpr int kEraseSteps = 100;
constexpr int kEraseStepMs = 150;
constexpr int kResetMs = 9000;

QString Text(const char* key) { return Tr("Upgrade_firmware", key); }
QString VersionText(uint16_t major, uint16_t minor) { return QString::number(major) + "." + QString::number(minor); }
}  // namespace

QString RomFilePath(const QString& programDir, const QString& modelCode, uint16_t firmwareMajor)
{
    QString file;
    if (modelCode == QLatin1String("Ve"))
        file = "Ve/Quormelt.rom";
    else if (firmwareMajor >= 2)
        file = "Ro/Quormelt162.rom";
    else
        file = "Ro/Quormelt81.rom";
    return programDir + "ROM/" + file;
}

FirmwareFile ReadFirmwareFile(const QString& path)
{
    FirmwareFile result;
    InputFile f(path);
    if (f.size() != kFirmwareFileBytes || !f.open(QIODevice::ReadOnly))
        return result;
    const QByteArray bytes = f.readAll();
    if (bytes.size() != kFirmwareFileBytes)
        return result;
    auto word = [&bytes](qsizetype i) {
        return static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    };
    result.major = word(0);
    result.minor = word(1);
    result.words.resize(kFirmwareProgramWords);
    for (int i = 0; i < kFirmwareProgramWords; ++i)
        result.words[i] = word(2 + i);
    result.valid = true;
    return result;
}

FirmwareUpgrade::FirmwareUpgrade(Machine& machine, std::function<void()> refind)
    : m_machine(machine), m_refind(std::move(refind))
{
}

void FirmwareUpgrade::SetStatus(const char* operation)
{
    m_view.status = operation ? Text("TrwaAktualizacja") + ":  " + Text(operation) : QString();
    Changed();
}

void FirmwareUpgrade::SetGauge(int64_t i)
{
    const int percent = static_cast<int>((i * 100 + (kFirmwareProgramWords - 1) / 2) / (kFirmwareProgramWords - 1));
    if (percent == m_view.gauge)
        return;
    m_view.gauge = percent;
    Changed();
}

void FirmwareUpgrade::Busy(bool on)
{
    m_view.busy = on;
    Changed();
}

void FirmwareUpgrade::Fail()
{
    UpgradeOk = false;
    m_view.status.clear();
    Busy(false);
}

bool FirmwareUpgrade::SendAddress()
{
    const bool sent = SendCommand(m_machine, Bytes({'S', 8}) + Int32ToBytes(kProgramAddress));
    UpgradeOk = UpgradeOk && sent;
    return sent;
}

bool FirmwareUpgrade::ReadWord(uint16_t& word, uint32_t* wide)
{
    ControllerLink& link = m_machine.Link();
    if (link.ReadString(17) != 0) {
        ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true);
        UpgradeOk = false;
        return false;
    }
    const ReplyBlock& r = link.Reply();
    word = static_cast<uint16_t>(r[6] | r[7] << 8);
    if (wide)
        *wide = static_cast<uint32_t>(ReplyInt32(r, 6));
    return true;
}

bool FirmwareUpgrade::LoadFile(FirmwareFile& file)
{
    file = ReadFirmwareFile(RomPath);
    if (file.valid)
        return true;
    // A missing, short or long file is refused before the controller is touched.
    ShowMessageBox(Text("brakPliku") + "\n" + RomPath, true);
    return false;
}

void FirmwareUpgrade::GetVersionClick()
{
    SendAddress();
    m_view.deviceVersion = ReadFirmwareVersion(m_machine);
    Changed();
}

std::optional<bool> FirmwareUpgrade::Blank()
{
    if (!SendAddress())
        return std::nullopt;
    uint16_t word = 0;
    uint32_t wide = 0;
    if (!ReadWord(word, &wide))
        return std::nullopt;
    return wide == 0xFFFF;
}

bool FirmwareUpgrade::IsBlanc() { return Blank().value_or(false); }

void FirmwareUpgrade::EraseProgramClick() { Erase(); }

bool FirmwareUpgrade::Erase()
{
    SetStatus("Kasuje");
    m_view.ticked[0] = true;
    Busy(true);
    const bool sent = SendCommand(m_machine, Bytes({'S', 9}));
    UpgradeOk = UpgradeOk && sent;
    if (!sent) {
        Fail();
        return false;
    }
    for (int step = 1; step <= kEraseSteps; ++step) {
        m_machine.Clock().Sleep(kEraseStepMs);
        m_view.gauge = step;
        Changed();
    }
    // A failed erase is shown; the write that follows and the verify decide.
    const std::optional<bool> blank = Blank();
    if (!blank) {
        Fail();
        return false;
    }
    m_view.verify = Text(*blank ? "KasowanieOK" : "KasowanieBlad");
    Busy(false);
    SetStatus(nullptr);
    return true;
}

void FirmwareUpgrade::WrtieProgramClick(bool fromButton)
{
    FirmwareFile file;
    if (!LoadFile(file))
        return Fail();
    Busy(true);
    const std::optional<bool> blank = Blank();
    if (!blank)
        return Fail();
    if (!*blank) {
        if (!Erase())
            return;  // the erase could not be sent or checked
        Busy(true);
    }
    if (!fromButton && !UpgradeOk)
        return Busy(false);
    SetStatus("Zapisuje");
    m_view.ticked[1] = true;
    m_view.verify.clear();
    m_view.gauge = 0;
    Changed();
    if (!SendAddress())
        return Fail();
    for (int i = 0; i < kFirmwareProgramWords; ++i) {
        // One failed word ends the write: its error box is the only one.
        if (!SendCommand(m_machine, Bytes({'S', 10}) + Int32ToBytes(file.words[i])))
            return Fail();
        SetGauge(i);
    }
    Busy(false);
    SetStatus(nullptr);
}

void FirmwareUpgrade::VerifyProgramClick()
{
    FirmwareFile file;
    if (!LoadFile(file))
        return Fail();
    m_view.verify.clear();
    SetStatus("Weryfikuje");
    m_view.ticked[2] = true;
    Busy(true);
    if (!SendAddress())
        return Fail();
    m_view.gauge = 0;
    for (int i = 0; i < kFirmwareProgramWords; ++i) {
        uint16_t word = 0;
        if (!ReadWord(word))
            return Fail();
        SetGauge(i);
        if (word != file.words[i]) {
            m_view.verify = Text("WeryfikacjaBledy");
            return Fail();
        }
    }
    m_view.verify = Text("WeryfikacjaOk");
    Busy(false);
    SetStatus(nullptr);
}

bool FirmwareUpgrade::ReadProgramClick()
{
    // The dump stands on its own: an earlier failed step does not stop it.
    UpgradeOk = true;
    SetStatus("Odczytuje");
    Busy(true);
    GetVersionClick();
    if (!UpgradeOk) {
        Fail();
        return false;
    }
    QByteArray bytes;
    bytes.reserve(kFirmwareFileBytes);
    auto put = [&bytes](uint16_t w) {
        bytes.append(static_cast<char>(w & 0xFF));
        bytes.append(static_cast<char>(w >> 8));
    };
    put(FirmwareMajor);
    put(FirmwareMinor);
    m_view.gauge = 0;
    if (!SendAddress()) {
        Fail();
        return false;
    }
    for (int i = 0; i < kFirmwareProgramWords; ++i) {
        uint16_t word = 0;
        if (!ReadWord(word)) {
            Fail();  // the file on disk stays as it was
            return false;
        }
        put(word);
        SetGauge(i);
    }
    QDir().mkpath(QFileInfo(RomPath).absolutePath());
    if (!ReportWrite(WriteWholeFile(RomPath, bytes))) {
        Fail();
        return false;
    }
    Busy(false);
    SetStatus(nullptr);
    return true;
}

void FirmwareUpgrade::ButtonResetClick()
{
    SetStatus("Restartuje");
    Busy(true);
    const bool sent = SendCommand(m_machine, Bytes({'S', 11}));
    UpgradeOk = UpgradeOk && sent;
    m_machine.Clock().Sleep(kResetMs);
    Busy(false);
    m_view.status = Text("TrwaAktualizacja");
    Changed();
    if (m_refind)
        m_refind();
    m_machine.Link().Write("X");
    GetVersionClick();
}

void FirmwareUpgrade::FormActivate(const QString& programDir)
{
    UpgradeOk = true;
    m_view = UpgradeView();
    GetVersionClick();
    RomPath = RomFilePath(programDir, PlotState.ModelCode, FirmwareMajor);
    m_view.fileHint = RomPath;
    const FirmwareFile file = ReadFirmwareFile(RomPath);
    m_fileValid = file.valid;
    if (file.valid) {
        FileVersionMajor = file.major;
        FileVersionMinor = file.minor;
        m_view.fileVersion = VersionText(file.major, file.minor);
    } else {
        m_view.fileVersion = Text("brakPliku");
    }
    // Without a whole firmware file there is nothing to upgrade with.
    m_view.upgradeEnabled = UpgradeOk && m_fileValid && FirmwareMajor != 0 && FirmwareMinor != 0 &&
                            FirmwareMajor < 10 && FirmwareAtLeast(1, 2);
    Changed();
}

bool FirmwareUpgrade::ButtonUpgradeClick()
{
    m_view.upgradeEnabled = false;
    m_view.status = Text("TrwaAktualizacja");
    Changed();
    UpgradeOk = true;
    if (VersionNumber(FileVersionMajor, FileVersionMinor) < VersionNumber(FirmwareMajor, FirmwareMinor) &&
        AskBeforeDiscarding(Text("downgrade"), MessageButtons::YesCancel) != mrYes) {
        m_view.upgradeEnabled = true;
        m_view.status.clear();
        Changed();
        return false;
    }
    WrtieProgramClick(false);
    if (UpgradeOk)
        VerifyProgramClick();
    if (UpgradeOk)
        GetVersionClick();
    if (!UpgradeOk) {
        m_view.upgradeEnabled = true;
        Changed();
        return false;
    }
    ShowMessageBox(Text("aktualizacjaOK1") + "\r\n\r\n" + Text("aktualizacjaOK2") + "\r\n" + Text("aktualizacjaOK3"),
                   false);
    return true;
}
