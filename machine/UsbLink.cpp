#include "machine/UsbLink.h"

#include "app/Translator.h"

#include <algorithm>
#include <optional>

int32_t UsbWriteRetries = 0;
int32_t UsbReadFailures = 0;

namespace {
constexpr int kReportBytes = 1 + ReportPayloadLength;  // report ID, payload
constexpr int kRetryPauseMs = 500;
constexpr int kReadAttempts = 10;
constexpr size_t kStringBufferBytes = 255;

// Model codes in the order they are tested.
constexpr const char* kModelCodes[] = {"Ve", "Ky", "Zu", "Qa", "Jy"};

bool LooksLikeMachine(const TJvHidDevice& d)
{
    if (d.VendorName != QLatin1String("Dravinor"))
        return false;
    return std::any_of(std::begin(kModelCodes), std::end(kModelCodes),
                       [&d](const char* code) { return d.ProductName.startsWith(QLatin1String(code)); });
}
}  // namespace

UsbLink::UsbLink(HidBus& bus, MachineClock& clock, StatusSink status)
    : m_clock(clock), m_status(std::move(status)), m_controller(bus)
{
    FormCreate();
}

UsbLink::~UsbLink() { FormDestroy(); }

void UsbLink::FormCreate()
{
    m_machineFound = false;
    // The first assignment runs the handler at once, before any device is lent.
    m_controller.SetOnDeviceChange([this](TJvHidDeviceController&) { JvHidDeviceController1DeviceChange(); });
    m_controller.SetOnEnumerate(
        [this](TJvHidDevice& device, int index) { return JvHidDeviceController1Enumerate(device, index); });
    m_controller.Enumerate();
    m_report.fill(0);
    Write(QByteArray("X"));
    ShowLinkState();
}

void UsbLink::FormDestroy()
{
    m_active = nullptr;
    m_controller.SetOnDeviceChange(nullptr);
    m_controller.SetOnEnumerate(nullptr);
    for (auto& record : m_deviceList)
        m_controller.CheckIn(record);
    m_deviceList.clear();
    m_controller.CheckIn(m_kept);
}

bool UsbLink::DravinorRoExist()
{
    if (m_machineFound)
        return true;
    m_active = nullptr;
    for (const auto& record : m_deviceList)
        if (record->Accessible && LooksLikeMachine(*record)) {
            m_active = record.get();
            m_machineFound = true;
            m_attached = record->DevInst;
            return true;
        }
    return false;
}

bool UsbLink::MachineWithoutAccess() const
{
    return std::any_of(m_deviceList.begin(), m_deviceList.end(),
                       [](const auto& r) { return !r->Accessible && LooksLikeMachine(*r); });
}

int UsbLink::SendReport()
{
    uint32_t written = 0;
    // What to make of a failed write: 0 when the report counts as sent, the
    // failure's code otherwise; nullopt when nothing reached the controller.
    const auto outcome = [this]() -> std::optional<int> {
        switch (m_active->LastDelivery()) {
        case ReportDelivery::Whole:
        case ReportDelivery::Unknown:
            // The controller has it (or may have it): sent again it would run
            // twice, so it counts as sent, after a pause for the device.
            m_clock.Sleep(kRetryPauseMs);
            ++UsbWriteRetries;
            return 0;
        case ReportDelivery::Part:
            // A damaged command reached the controller: nothing after it can
            // be trusted to mean what it says.
            return m_active->LastError();
        case ReportDelivery::Nothing:
            break;
        }
        return std::nullopt;
    };
    if (m_active->WriteFile(m_report.data(), kReportBytes, written)) {
        m_bytesWritten = written;
        return 0;
    }
    if (const auto result = outcome())
        return *result;
    const int failed = m_active->LastError();
    const HidIdentity meantFor = m_active->DevInst;
    // Nothing reached the controller: give the device a moment and send the
    // report once more. The wait may let a device change run, which can send
    // a report of its own and drop the record. A machine that came back
    // meanwhile is a new connection, just greeted: the rest of a command begun
    // on the one before is no command for it.
    const auto report = m_report;
    m_clock.Sleep(kRetryPauseMs);
    ++UsbWriteRetries;
    if (!DravinorRoExist() || !(m_active->DevInst == meantFor))
        return failed;
    std::copy(report.begin(), report.begin() + kReportBytes, m_report.begin());
    if (m_active->WriteFile(m_report.data(), kReportBytes, written)) {
        m_bytesWritten = written;
        return 0;
    }
    if (m_active->LastDelivery() == ReportDelivery::Whole || m_active->LastDelivery() == ReportDelivery::Unknown)
        return 0;  // paused and counted already
    return m_active->LastError();
}

int UsbLink::Write(const QByteArray& s)
{
    m_bytesWritten = 0;
    if (!DravinorRoExist())
        return -1;
    m_report[0] = 0;
    const auto bytes = reinterpret_cast<const uint8_t*>(s.constData());
    const int n = static_cast<int>(s.size());
    if (n <= ReportPayloadLength) {
        std::copy(bytes, bytes + n, m_report.begin() + 1);
        m_report[static_cast<size_t>(n) + 1] = 0;
        return SendReport();
    }
    // Longer commands go as several reports; the last keeps the stale bytes
    // of the one before after the command's end. A report that fails ends the
    // command: the controller must not take its rest for a command of its own.
    for (int at = 0; at < n; at += ReportPayloadLength) {
        const int len = std::min(ReportPayloadLength, n - at);
        std::copy(bytes + at, bytes + at + len, m_report.begin() + 1);
        if (const int code = SendReport())
            return code;
    }
    return 0;
}

int UsbLink::ReadString(int index)
{
    int lastError = 0;
    if (DravinorRoExist() && m_active->OpenFile()) {
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            std::vector<uint8_t> body;
            const int code = m_active->Handle()->ReadString(index, kStringBufferBytes, body);
            if (code == 0) {
                m_reply.fill(0);
                std::copy_n(body.begin(), std::min(body.size(), m_reply.size()), m_reply.begin());
                return 0;
            }
            lastError = code;
            ++UsbReadFailures;
        }
    }
    m_reply.fill(0);
    m_machineFound = false;
    m_active = nullptr;
    return lastError > 0 ? lastError : -1;
}

void UsbLink::FindMachineAgain()
{
    const int changes = m_deviceChanges;
    m_controller.DeviceChange();  // runs the handler when the list changed
    if (m_deviceChanges == changes)
        JvHidDeviceController1DeviceChange();
}

void UsbLink::JvHidDeviceController1DeviceChange()
{
    ++m_deviceChanges;
    const std::optional<HidIdentity> before = m_attached;
    // The machine's record stays lent while the machine stays, so a change
    // elsewhere on the bus neither closes it in the middle of an exchange nor
    // greets the machine again.
    for (auto& record : m_deviceList)
        if (before && record->DevInst == *before && record->IsPluggedIn)
            m_kept = std::move(record);
    m_active = nullptr;
    m_machineFound = false;
    for (auto& record : m_deviceList)
        record.reset();
    m_deviceList.clear();

    m_controller.Enumerate();
    m_controller.CheckIn(m_kept);  // only when the enumeration did not meet it

    if (!DravinorRoExist())
        m_attached.reset();
    else if (!(before && *before == m_active->DevInst))
        Write(QByteArray("X"));
    ShowLinkState();
    if (m_linkChanged)
        m_linkChanged(m_machineFound);
}

bool UsbLink::JvHidDeviceController1Enumerate(TJvHidDevice& device, int index)
{
    if (m_kept && &device == m_kept.get())
        m_deviceList.push_back(std::move(m_kept));
    else if (auto record = m_controller.CheckOutByIndex(index))
        m_deviceList.push_back(std::move(record));
    return true;
}

void UsbLink::ShowLinkState()
{
    if (!m_status)
        return;
    if (m_machineFound)
        m_status(Tr("Control", "polaczony"));
    else if (MachineWithoutAccess())
        m_status(Tr("Control", "brakDostepu"));
    else
        m_status(Tr("Control", "brakLacznosci"));
}

bool UsbLink::DeviceStrings(QString& manufacturer, QString& product, QString& serial)
{
    if (!DravinorRoExist() || !m_active)
        return false;
    manufacturer = m_active->VendorName;
    product = m_active->ProductName;
    serial = m_active->SerialNumber;
    return true;
}
