#pragma once
#include "machine/Machine.h"

#include <QString>
#include <QVector>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// The controller's program as the maker ships it: two version words, then the
// program words from the flash's first address on, all little-endian.
constexpr int kFirmwareProgramWords = 65537;
constexpr qint64 kFirmwareFileBytes = 2 * (2 + kFirmwareProgramWords);

// Where the firmware for the attached model lies under the program folder.
QString RomFilePath(const QString& programDir, const QString& modelCode, uint16_t firmwareMajor);

// A firmware file read whole. Anything but the exact size is no firmware file:
// a truncated file must never reach an erased controller.
struct FirmwareFile {
    bool valid = false;
    uint16_t major = 0, minor = 0;
    QVector<uint16_t> words;
};
FirmwareFile ReadFirmwareFile(const QString& path);

// Versions as numbers that order them: 1.10 comes after 2.2 never.
inline int VersionNumber(uint16_t major, uint16_t minor) { return major * 100 + minor; }

// What the upgrade window shows; the window repaints it whenever it changes,
// also in the middle of the long loops.
struct UpgradeView {
    QString status;         // `pStatus`
    QString verify;         // `pVerify`
    int gauge = 0;          // 0..100
    std::array<bool, 3> ticked{};  // erase, write, verify
    QString deviceVersion;  // `ActualDeviceVer`
    QString fileVersion;    // `NewVerFromFile`
    QString fileHint;
    bool upgradeEnabled = false;
    bool busy = false;      // the hourglass
};

// Replaces the controller's program with the firmware file, and the service
// steps: erase, write, verify, dump the controller's program, reset. Runs on
// the caller's thread from start to end; the waits run on the machine's clock.
class FirmwareUpgrade {
public:
    // `refind` searches the bus for the controller again after its reset.
    FirmwareUpgrade(Machine& machine, std::function<void()> refind);
    void SetChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    // Each showing starts afresh: versions read again, the file looked at.
    void FormActivate(const QString& programDir);
    // The whole upgrade; true when it succeeded (the window then closes).
    bool ButtonUpgradeClick();

    void GetVersionClick();
    bool IsBlanc();
    void EraseProgramClick();
    // `fromButton`: the service button itself, which writes even after an
    // earlier step failed.
    void WrtieProgramClick(bool fromButton = true);
    void VerifyProgramClick();
    // The controller's program into the firmware file; true when the file
    // was written whole (otherwise the older file stays and the operator is told).
    bool ReadProgramClick();
    void ButtonResetClick();

    bool UpgradeOk = true;
    uint16_t FileVersionMajor = 0, FileVersionMinor = 0;
    QString RomPath;
    const UpgradeView& View() const { return m_view; }

private:
    bool SendAddress();
    // The erase; false when it could not be sent or checked.
    bool Erase();
    // Whether the program memory reads erased; nothing when the controller
    // did not answer.
    std::optional<bool> Blank();
    // Reads reply 17; false (with one message) when the controller did not answer.
    bool ReadWord(uint16_t& word, uint32_t* wide = nullptr);
    bool LoadFile(FirmwareFile& file);
    void SetStatus(const char* operation);
    void SetGauge(int64_t i);
    void Busy(bool on);
    void Fail();
    void Changed()
    {
        if (m_changed)
            m_changed();
    }

    Machine& m_machine;
    std::function<void()> m_refind;
    std::function<void()> m_changed;
    UpgradeView m_view;
    bool m_fileValid = false;
};
