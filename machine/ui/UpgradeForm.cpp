#include "machine/ui/UpgradeForm.h"

#include "app/Globals.h"
#include "app/Translator.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

namespace {
QString Text(const char* key) { return Tr("Upgrade_firmware", key); }

// The progress as a pie that fills clockwise from twelve o'clock.
class PieGauge : public QWidget {
public:
    explicit PieGauge(QWidget* parent) : QWidget(parent) { setFixedSize(64, 64); }
    void SetProgress(int percent)
    {
        if (percent == m_percent)
            return;
        m_percent = percent;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
        p.setPen(palette().color(QPalette::WindowText));
        p.setBrush(palette().color(QPalette::Base));
        p.drawEllipse(r);
        p.setBrush(palette().color(QPalette::Highlight));
        p.drawPie(r, 90 * 16, -m_percent * 360 * 16 / 100);
        p.drawText(rect(), Qt::AlignCenter, QString::number(m_percent) + "%");
    }

private:
    int m_percent = 0;
};
}  // namespace

TUpgradeProgramForm::TUpgradeProgramForm(QWidget* parent, Machine& machine, std::function<void()> refind)
    : PlainForm("TUpgradeProgramForm", parent), m_upgrade(std::make_unique<FirmwareUpgrade>(machine, std::move(refind)))
{
    setWindowTitle(Text("caption"));
    auto* layout = new QGridLayout(this);

    auto* client = new QWidget(this);
    client->setObjectName("pKlienta");
    auto* clientLayout = new QGridLayout(client);
    clientLayout->addWidget(new QLabel(Text("biezacaWerSter"), client), 0, 0);
    m_deviceVersion = new QLabel(client);
    m_deviceVersion->setObjectName("ActualDeviceVer");
    clientLayout->addWidget(m_deviceVersion, 0, 1);
    clientLayout->addWidget(new QLabel(Text("aktualizacjaDoWer"), client), 1, 0);
    m_fileVersion = new QLabel(client);
    m_fileVersion->setObjectName("NewVerFromFile");
    clientLayout->addWidget(m_fileVersion, 1, 1);
    m_steps = new QListWidget(client);
    m_steps->setObjectName("clbOperacja");
    m_steps->setSelectionMode(QAbstractItemView::NoSelection);
    m_steps->setFocusPolicy(Qt::NoFocus);
    for (const char* key : {"Kasowanie", "Zapis", "Weryfikacja"}) {
        auto* item = new QListWidgetItem(Text(key), m_steps);
        // Read-only: only the upgrade ticks them.
        item->setFlags(Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    m_steps->setMaximumHeight(70);
    clientLayout->addWidget(m_steps, 2, 0);
    auto* gauge = new PieGauge(client);
    gauge->setObjectName("Gauge");
    m_gauge = gauge;
    clientLayout->addWidget(gauge, 2, 1);
    m_verify = new QLabel(client);
    m_verify->setObjectName("pVerify");
    clientLayout->addWidget(m_verify, 3, 0, 1, 2);
    ButtonUpgrade = new QPushButton(Text("ButtonUpgrade.caption"), client);
    ButtonUpgrade->setObjectName("ButtonUpgrade");
    ButtonUpgrade->setDefault(true);
    ButtonUpgrade->setEnabled(false);
    clientLayout->addWidget(ButtonUpgrade, 4, 0, 1, 2);
    layout->addWidget(client, 0, 0);

    m_status = new QLabel(this);
    m_status->setObjectName("pStatus");
    m_status->setFrameShape(QFrame::Panel);
    layout->addWidget(m_status, 1, 0);

    // The service steps, for the maker's technicians only.
    pSerwisowy = new QWidget(this);
    pSerwisowy->setObjectName("pSerwisowy");
    auto* service = new QHBoxLayout(pSerwisowy);
    FirmwareUpgrade& up = *m_upgrade;
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"ReadProgram", [&up] { up.ReadProgramClick(); }},
        {"EraseProgram", [&up] { up.EraseProgramClick(); }},
        {"WrtieProgram", [&up] { up.WrtieProgramClick(true); }},
        {"VerifyProgram", [&up] { up.VerifyProgramClick(); }},
        {"GetVersion", [&up] { up.GetVersionClick(); }},
        {"ButtonReset", [&up] { up.ButtonResetClick(); }},
    };
    for (const auto& [name, click] : steps) {
        auto* b = new QPushButton(QString::fromLatin1(name), pSerwisowy);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, click);
        service->addWidget(b);
    }
    pSerwisowy->hide();
    layout->addWidget(pSerwisowy, 2, 0);

    connect(ButtonUpgrade, &QPushButton::clicked, this, [this] {
        if (m_upgrade->ButtonUpgradeClick())
            close();
    });
    m_upgrade->SetChanged([this] { ShowUpgrade(); });
}

TUpgradeProgramForm::~TUpgradeProgramForm() = default;

void TUpgradeProgramForm::showEvent(QShowEvent* event)
{
    PlainForm::showEvent(event);
    FormActivate();
}

void TUpgradeProgramForm::FormActivate() { m_upgrade->FormActivate(ProgramDir); }

void TUpgradeProgramForm::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    if (event->key() == Qt::Key_F12 && (event->modifiers() & all) == all) {
        pSerwisowy->setVisible(!pSerwisowy->isVisible());
        return;
    }
    PlainForm::keyPressEvent(event);  // Escape closes the dialog
}

void TUpgradeProgramForm::ShowUpgrade()
{
    const UpgradeView& v = m_upgrade->View();
    m_status->setText(v.status);
    m_verify->setText(v.verify);
    static_cast<PieGauge*>(m_gauge)->SetProgress(v.gauge);
    for (int i = 0; i < 3; ++i)
        m_steps->item(i)->setCheckState(v.ticked[static_cast<size_t>(i)] ? Qt::Checked : Qt::Unchecked);
    m_deviceVersion->setText(v.deviceVersion);
    m_fileVersion->setText(v.fileVersion);
    m_fileVersion->setToolTip(v.fileHint);
    ButtonUpgrade->setEnabled(v.upgradeEnabled);
    if (v.busy && !QApplication::overrideCursor())
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!v.busy && QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    // The upgrade runs without the event loop: what changed is painted now.
    if (isVisible())
        repaint();
}
