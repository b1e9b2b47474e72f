#include "machine/ui/MachineForms.h"

#include "app/CommandLine.h"
#include "app/MainStatus.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Globals.h"
#include "machine/SimulatedMachine.h"
#include "machine/Transmission.h"
#include "machine/UsbLink.h"
#include "machine/WireSelection.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QBitmap>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>


TfUsb::TfUsb(QWidget* parent, MachineClock& clock, std::unique_ptr<HidBus> bus)
    : PlainForm("TfUsb", parent), m_bus(bus ? std::move(bus) : ProgramHidBus(clock))
{
    m_link = std::make_unique<UsbLink>(*m_bus, clock, [](const QString& text) { SetMainStatusText(text); });
}

// The link goes before the bus whose devices it holds open.
TfUsb::~TfUsb() { m_link.reset(); }

bool TfUsb::MachineFound() const { return m_link->MachineFoundFlag(); }

TTransArm::TTransArm(QWidget* parent, Machine& machine)
    : PlainForm("TTransArm", parent), m_transmission(std::make_unique<Transmission>(machine))
{
}

TTransArm::~TTransArm() = default;

bool TTransArm::start(const QString& file)
{
    return m_transmission->Start(file.isEmpty() ? ProgramDir + "out.cn" : file);
}

void TTransArm::stop() { m_transmission->Stop(); }

bool TTransArm::Running() const { return m_transmission->Running(); }

namespace {
// The direction buttons in the order of JogButton, with their glyphs' files
// and the marks they show without them.
struct JogButtonInfo {
    const char* name;
    const char* icon;
    const char* mark;
};
constexpr JogButtonInfo kJogButtons[12] = {
    {"kul", "Arrow66c_UL_red.bmp", "\u2196"}, {"ku", "Arrow66c_U_red.bmp", "\u2191"},
    {"kur", "Arrow66c_UR_red.bmp", "\u2197"}, {"kl", "Arrow66c_L_red.bmp", "\u2190"},
    {"kr", "Arrow66c_R_red.bmp", "\u2192"},   {"kdl", "Arrow66c_DL_red.bmp", "\u2199"},
    {"kd", "Arrow66c_D_red.bmp", "\u2193"},   {"kdr", "Arrow66c_DR_red.bmp", "\u2198"},
    {"kwu", nullptr, "\u21bb"},               {"kwd", nullptr, "\u21ba"},
    {"ksl", "Arrow66c_L_green.bmp", "\u25c0"}, {"ksr", "Arrow66c_R_green.bmp", "\u25b6"}};
constexpr const char* kHeaterIcon = "Led_off_on_66c_x4.bmp";
constexpr const char* kStopIcon = "StopMK3.bmp";

bool MovesX(JogButton b)
{
    switch (b) {
    case JogButton::kl:
    case JogButton::kr:
    case JogButton::kul:
    case JogButton::kur:
    case JogButton::kdl:
    case JogButton::kdr: return true;
    default: return false;
    }
}

QGroupBox* Group(const QString& title, QWidget* parent) { return new QGroupBox(title, parent); }
}  // namespace

Tster::Tster(QWidget* parent, Machine& machine, Transmission& transfer, AxisOffsetRefs offsets)
    : PlainForm("Tster", parent),
      m_panel(std::make_unique<ControlPanel>(machine, Settings(), HasSwitch("noXside"), offsets)),
      m_input(std::make_unique<PanelInput>(machine, Settings(), *m_panel))
{
    setWindowTitle(Tr("Control", "caption"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    BuildControls();

    m_panel->SetWindow({[this] { return isActiveWindow(); },
                        [this] { return m_lastInput.isValid() && m_lastInput.elapsed() < ControlPanel::kLinkIntervalMs; },
                        [this] {
                            // Said where it stays: the operator sees why the panel went.
                            close();
                            SetMainStatusText(Tr("Control", "ploterBrakLacznosci"));
                        }});
    m_panel->SetChanged([this] { ShowPanel(); });
    PanelInputWindow window;
    window.clearFocus = [this] {
        if (QWidget* focus = focusWidget())
            focus->clearFocus();
    };
    window.toggleUpgradePanel = [this] { pUpgradeFirmware->setVisible(pUpgradeFirmware->isHidden()); };
    window.toggleServicePanel = [this] { pSerwis->setVisible(pSerwis->isHidden()); };
    window.showMoveWindow = [this] {
        if (m_moveWindow)
            m_moveWindow->ShowModalOk();
    };
    window.showBasePoints = [this] {
        if (m_basePoints)
            m_basePoints->ShowModalOk();
    };
    m_input->SetWindow(std::move(window));
    transfer.SetSettlePause([this] { return m_panel->Operations().SettlePause(); });
    m_panel->Operations().SetCutLinkLost([&transfer] { transfer.PauseLostCut(); });
    m_panel->Create();
    m_panel->SetCurrentScale();
    ApplyLayout();
    if (m_panel->Layout().touchPanel)
        ApplyTouchLayout();
    ShowPanel();
}

// A jog still running when the panel goes is stopped first.
Tster::~Tster() { m_input->FocusLost(); }

void Tster::SetSubWindows(PlainForm* moveWindow, PlainForm* basePoints, PlainForm* upgrade)
{
    m_moveWindow = moveWindow;
    m_basePoints = basePoints;
    m_upgrade = upgrade;
}

QLabel* Tster::NewLabel(QGridLayout* grid, int row, int column, int span)
{
    auto* label = new QLabel(this);
    grid->addWidget(label, row, column, 1, span);
    return label;
}

void Tster::BuildControls()
{
    auto* main = new QGridLayout(this);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // Positions of the three carriages, each with its wire box.
    GroupBox1 = Group(Tr("Control", "groupBox1.caption"), this);
    auto* positions = new QVBoxLayout(GroupBox1);
    auto carriage = [&](QWidget*& panel, QLabel*& caption, QCheckBox*& box, QLabel*& x, QLabel*& y,
                        const char* captionKey, QLabel** xCaption) {
        panel = new QWidget(GroupBox1);
        auto* grid = new QGridLayout(panel);
        grid->setContentsMargins(0, 0, 0, 0);
        caption = new QLabel(Tr("Control", captionKey), panel);
        box = new QCheckBox(panel);
        auto* xLabel = new QLabel("X", panel);
        if (xCaption)
            *xCaption = xLabel;
        x = new QLabel(panel);
        y = new QLabel(panel);
        x->setMinimumWidth(70);
        y->setMinimumWidth(70);
        grid->addWidget(box, 0, 0);
        grid->addWidget(caption, 0, 1);
        grid->addWidget(xLabel, 0, 2);
        grid->addWidget(x, 0, 3);
        grid->addWidget(new QLabel("Y", panel), 0, 4);
        grid->addWidget(y, 0, 5);
        positions->addWidget(panel);
    };
    carriage(pWspFront, LFront, KeyFront, wmxf, wmyf, "KeyFront.caption", nullptr);
    carriage(pWspBack, LBack, KeyBack, wmxb, wmyb, "RoKeyBack.caption", nullptr);
    carriage(pWspSide, LSide, KeySide, wmxp, wmyp, "VeKeyBack.caption", &lSideX);
    main->addWidget(GroupBox1, 0, 0, 1, 3);

    // The direction buttons around STOP.
    auto* pad = new QGridLayout;
    for (size_t i = 0; i < m_jog.size(); ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(kJogButtons[i].name);
        b->setText(QString::fromUtf8(kJogButtons[i].mark));
        b->setMinimumSize(44, 44);
        b->setFocusPolicy(Qt::NoFocus);
        m_jog[i] = b;
    }
    const std::pair<JogButton, const char*> hints[] = {
        {JogButton::kl, "kl.Hint"},   {JogButton::kr, "kr.Hint"},   {JogButton::ku, "ku.Hint"},
        {JogButton::kd, "kd.Hint"},   {JogButton::kwd, "kwd.Hint"}, {JogButton::kwu, "kwu.Hint"},
        {JogButton::ksl, "ksl.Hint"}, {JogButton::ksr, "ksr.Hint"}};
    for (const auto& [button, key] : hints)
        JogButtonOf(button)->setToolTip(Tr("Control", key));
    kstop = new QToolButton(this);
    kstop->setText("STOP");
    kstop->setMinimumSize(44, 44);
    kstop->setFocusPolicy(Qt::NoFocus);
    pad->addWidget(JogButtonOf(JogButton::kul), 0, 0);
    pad->addWidget(JogButtonOf(JogButton::ku), 0, 1);
    pad->addWidget(JogButtonOf(JogButton::kur), 0, 2);
    pad->addWidget(JogButtonOf(JogButton::kl), 1, 0);
    pad->addWidget(kstop, 1, 1);
    pad->addWidget(JogButtonOf(JogButton::kr), 1, 2);
    pad->addWidget(JogButtonOf(JogButton::kdl), 2, 0);
    pad->addWidget(JogButtonOf(JogButton::kd), 2, 1);
    pad->addWidget(JogButtonOf(JogButton::kdr), 2, 2);
    main->addLayout(pad, 1, 0, 2, 1);

    // The rotary axes: two buttons and the angle each.
    auto rotary = [&](QGroupBox*& group, const char* key, JogButton first, JogButton second, QLabel*& angle,
                      int column) {
        group = Group(Tr("Configuration", key), this);
        auto* grid = new QGridLayout(group);
        grid->addWidget(JogButtonOf(first), 0, 0);
        grid->addWidget(JogButtonOf(second), 0, 1);
        angle = NewLabel(grid, 1, 0, 2);
        main->addWidget(group, 1, column);
    };
    rotary(GroupWrzeciono, "stolikswitch.Item0", JogButton::kwu, JogButton::kwd, wmw, 1);
    rotary(GroupStolik, "stolikswitch.Item1", JogButton::ksl, JogButton::ksr, wms, 2);

    // Heating: the heater button, the wire's state, the current and the tension.
    GroupPower = Group(Tr("Control", "GroupPower.Caption"), this);
    auto* power = new QGridLayout(GroupPower);
    k_zalwyl = new QToolButton(GroupPower);
    k_zalwyl->setCheckable(true);
    k_zalwyl->setText("I/O");
    k_zalwyl->setMinimumSize(44, 44);
    k_zalwyl->setFocusPolicy(Qt::NoFocus);
    k_zalwyl->setToolTip(Tr("Control", "k_zalwyl.Hint"));
    power->addWidget(k_zalwyl, 0, 0);
    stan_drutu = NewLabel(power, 0, 1);
    stan_drutu->setStyleSheet("color: red");
    main->addWidget(GroupPower, 2, 1, 1, 2);

    // The speed, the heater current and the tension: a slider and its value each.
    auto sliderGroup = [&](QGroupBox*& group, const QString& title, QSlider*& slider, int minimum, int maximum,
                           QLabel*& value, int row) {
        group = Group(title, this);
        auto* grid = new QGridLayout(group);
        slider = new QSlider(Qt::Horizontal, group);
        slider->setRange(minimum, maximum);
        grid->addWidget(slider, 0, 0);
        value = NewLabel(grid, 0, 1);
        value->setMinimumWidth(50);
        main->addWidget(group, row, 0, 1, 3);
        return grid;
    };
    sliderGroup(Szybkosc, Tr("Control", "szybkosc"), VScroll, 20, 3000, speedlabel, 3);
    VScroll->setValue(100);
    QGridLayout* current =
        sliderGroup(BoxAmper, Tr("Control", "BoxAmper.Caption") + "  [ A ]", PScroll, 0, 40, PowerLabel, 4);
    gRealPower2 = new QProgressBar(BoxAmper);
    gRealPower2->setTextVisible(false);
    current->addWidget(gRealPower2, 1, 0);
    lRealPower = NewLabel(current, 1, 1);
    sliderGroup(NaciagBox, Tr("Control", "NaciagBox.Caption") + "  [ N ]", ScrollNaciag, 0, 100, LabelNaciag, 5);

    auto* buttons = new QHBoxLayout;
    Bazuj = new QPushButton(Tr("Control", "bazuj.caption"), this);
    Base = new QPushButton(Tr("Control", "base.Caption"), this);
    keyprzesun = new QPushButton(Tr("Control", "keyprzesun.caption"), this);
    sbWyrownajBackToFront = new QPushButton("B\u2192F", this);
    sbWyrownajBackToFront->setToolTip(Tr("Control", "sbWyrownajBackToFront.Hint"));
    zamknij = new QPushButton(Tr("Control", "zamknij.caption"), this);
    for (QPushButton* b : {Bazuj, Base, keyprzesun, sbWyrownajBackToFront, zamknij}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    main->addLayout(buttons, 6, 0, 1, 3);
    lWersjaARMa = new QLabel(this);
    main->addWidget(lWersjaARMa, 7, 0, 1, 3);

    // The hidden panels: the firmware (Alt+E) and the service (Ctrl+Shift+Alt+F12).
    pUpgradeFirmware = new QWidget(this);
    auto* upgrade = new QHBoxLayout(pUpgradeFirmware);
    btnUpgrade = new QPushButton(Tr("Control", "btnUpgrade.caption"), pUpgradeFirmware);
    btnRestoreEPROM = new QPushButton(Tr("Control", "btnRestoreEPROM.caption"), pUpgradeFirmware);
    upgrade->addWidget(btnUpgrade);
    upgrade->addWidget(btnRestoreEPROM);
    pUpgradeFirmware->hide();
    main->addWidget(pUpgradeFirmware, 8, 0, 1, 3);
    pSerwis = new QWidget(this);
    auto* service = new QGridLayout(pSerwis);
    chwilowa = new QProgressBar(pSerwis);
    chwilowa->setRange(1, 3000);
    chwilowa->setTextVisible(false);
    service->addWidget(chwilowa, 0, 0);
    chwilowaLabel = NewLabel(service, 0, 1);
    LabelNaciagRzeczywisty = NewLabel(service, 1, 0);
    UsbError = NewLabel(service, 1, 1);
    // The diagnostics the status timer keeps: motion, job, START, STOP, heater.
    pTestowy = new QWidget(pSerwis);
    auto* diagnostics = new QGridLayout(pTestowy);
    const char* names[] = {"cbSbRun", "cbSbWork", "cbSbZadanieStartu", "cbSbZadanieStopu", "cbSbPower"};
    for (size_t i = 0; i < m_diagnostics.size(); ++i) {
        m_diagnostics[i] = new QCheckBox(names[i], pTestowy);
        m_diagnostics[i]->setEnabled(false);
        diagnostics->addWidget(m_diagnostics[i], 0, static_cast<int>(i));
    }
    lSelPwr = NewLabel(diagnostics, 1, 0, 2);
    lSelSpeed = NewLabel(diagnostics, 1, 2, 2);
    lValPwr = NewLabel(diagnostics, 1, 4);
    service->addWidget(pTestowy, 2, 0, 1, 2);
    pSerwis->hide();
    main->addWidget(pSerwis, 9, 0, 1, 3);

    // The wire boxes.
    const std::pair<QCheckBox*, ControlPanel::WireBox> boxes[] = {{KeyFront, ControlPanel::WireBox::Front},
                                                                  {KeyBack, ControlPanel::WireBox::Back},
                                                                  {KeySide, ControlPanel::WireBox::Side}};
    for (const auto& [box, which] : boxes)
        connect(box, &QCheckBox::clicked, this, [this, which = which](bool checked) {
            m_panel->SetWireBox(which, checked);
            ShowPanel();
        });
    // The sliders: the operator's moves only, not the panel showing its model.
    connect(VScroll, &QSlider::valueChanged, this, [this](int v) { m_panel->VScrollChange(v); });
    connect(PScroll, &QSlider::valueChanged, this, [this](int v) { m_panel->PScrollChange(v); });
    connect(ScrollNaciag, &QSlider::sliderReleased, this, [this] { m_panel->NaciagEditExit(ScrollNaciag->value()); });
    connect(ScrollNaciag, &QSlider::valueChanged, this, [this](int v) {
        if (!ScrollNaciag->isSliderDown())
            m_panel->NaciagEditExit(v);
    });
    connect(k_zalwyl, &QToolButton::clicked, this, [this] { m_panel->k_zalwylClick(); });
    // The joystick's heater button clicks the heater button.
    m_panel->SetHeaterClick([this] { m_panel->k_zalwylClick(); });
    connect(sbWyrownajBackToFront, &QPushButton::clicked, this, [this] { m_panel->sbWyrownajBackToFrontClick(); });
    connect(kstop, &QToolButton::clicked, this, [this] { m_panel->Operations().kstopClick(); });
    connect(Bazuj, &QPushButton::clicked, this, [this] { m_panel->Operations().bazujClick(); });
    connect(Base, &QPushButton::clicked, this, [this] { m_input->BaseClick(); });
    connect(keyprzesun, &QPushButton::clicked, this, [this] { m_input->keyprzesunClick(); });
    connect(zamknij, &QPushButton::clicked, this, &QWidget::close);
    connect(btnUpgrade, &QPushButton::clicked, this, [this] {
        if (m_upgrade)
            m_upgrade->ShowModalOk();
    });
    connect(btnRestoreEPROM, &QPushButton::clicked, this,
            [this] { m_panel->Operations().btnRestoreEPROMClick(ProgramDir); });

    // Key preview: the panel sees every key before its controls.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void Tster::ApplyLayout()
{
    const TsterLayout layout = m_panel->Layout();
    sbWyrownajBackToFront->setVisible(layout.alignButton);
    for (QWidget* w : std::initializer_list<QWidget*>{LBack, LFront, KeyBack, KeyFront, pWspSide})
        w->setVisible(layout.wireBoxes);
    pWspBack->setVisible(layout.backPanel);
    NaciagBox->setVisible(layout.tensionPanel);
    GroupWrzeciono->setVisible(layout.spindleGroup);
    lSideX->setVisible(layout.sideX);
    wmxp->setVisible(layout.sideX);
    ScrollNaciag->setMaximum(layout.tensionMax);
    lWersjaARMa->setText(layout.armVersion);
}

void Tster::ApplyTouchLayout()
{
    QFont big = font();
    big.setPointSize(10);
    big.setBold(true);
    setFont(big);
    for (QWidget* panel : {pWspFront, pWspBack, pWspSide})
        panel->setMinimumSize(300, 50);
    for (QCheckBox* box : {KeyFront, KeyBack, KeySide})
        box->setStyleSheet("QCheckBox::indicator { width: 30px; height: 30px; }");
    for (QLabel* label : findChildren<QLabel*>())
        label->setMinimumHeight(20);
    GroupWrzeciono->setMinimumHeight(140);
    GroupStolik->setMinimumSize(200, 140);
    for (QToolButton* b : m_jog)
        b->setFixedSize(70, 70);
    k_zalwyl->setFixedSize(70, 70);
    kstop->setFixedSize(70, 70);
    for (QGroupBox* g : {Szybkosc, BoxAmper})
        g->setMinimumHeight(75);
    for (QSlider* slider : {VScroll, PScroll})
        slider->setMinimumHeight(45);
    setMinimumWidth(628);
    LoadButtonIcons();
}

void Tster::LoadButtonIcons()
{
    const QString folder = ProgramDir + "Ikony/";
    QStringList files = {kHeaterIcon, kStopIcon};
    for (const JogButtonInfo& b : kJogButtons)
        if (b.icon)
            files << b.icon;
    for (const QString& file : files)
        if (!QFileInfo::exists(folder + file))
            return;  // one missing glyph leaves every button as it is
    // The colour of a glyph's bottom left corner is transparent.
    auto load = [&](const char* file) {
        QPixmap pixmap(folder + file);
        const QImage image = pixmap.toImage();
        if (!image.isNull())
            pixmap.setMask(pixmap.createMaskFromColor(image.pixelColor(0, image.height() - 1)));
        return pixmap;
    };
    auto glyph = [&](QToolButton* button, const char* file) {
        const QPixmap pixmap = load(file);
        button->setIcon(QIcon(pixmap));
        button->setIconSize(pixmap.size());
    };
    for (size_t i = 0; i < m_jog.size(); ++i)
        if (kJogButtons[i].icon)
            glyph(m_jog[i], kJogButtons[i].icon);
    glyph(kstop, kStopIcon);
    kstop->setText(QString());
    // The heater's strip holds four glyphs: off, disabled, pressed, on.
    const QPixmap strip = load(kHeaterIcon);
    const int w = strip.width() / 4;
    QIcon heater;
    heater.addPixmap(strip.copy(0, 0, w, strip.height()), QIcon::Normal, QIcon::Off);
    heater.addPixmap(strip.copy(w, 0, w, strip.height()), QIcon::Disabled, QIcon::Off);
    heater.addPixmap(strip.copy(3 * w, 0, w, strip.height()), QIcon::Normal, QIcon::On);
    k_zalwyl->setIcon(heater);
    k_zalwyl->setIconSize(QSize(w, strip.height()));
    for (QToolButton* b : m_jog)
        if (!b->icon().isNull())
            b->setText(QString());
    k_zalwyl->setText(QString());
}

bool Tster::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        if (watched == this) {
            m_panel->Activate();
            m_input->Activated();
            ApplyLayout();
        }
        break;
    case QEvent::WindowDeactivate:
        if (watched == this) {
            m_input->FocusLost();
            m_panel->PanelDeactivated();
            m_panel->Deactivate();
        }
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        m_lastInput.start();
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers();
        const KeyShift shift{mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::AltModifier),
                             mods.testFlag(Qt::ControlModifier)};
        const int code = PanelKeyCode(key->key(), mods.testFlag(Qt::KeypadModifier));
        // A key a control ignores comes here again from its parent: the
        // panel's handling of it is idempotent, its own keys stop at the first.
        const bool own = event->type() == QEvent::KeyPress ? m_input->KeyDown(code, shift, key->isAutoRepeat())
                                                           : m_input->KeyUp(code, shift, key->isAutoRepeat());
        if (own)
            return true;
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        m_lastInput.start();
        auto* mouse = static_cast<QMouseEvent*>(event);
        for (size_t i = 0; i < m_jog.size(); ++i) {
            if (watched != m_jog[i] || mouse->button() != Qt::LeftButton)
                continue;
            if (event->type() == QEvent::MouseButtonPress) {
                if (m_jog[i]->isEnabled())
                    m_input->ButtonDown(static_cast<JogButton>(i), mouse->buttons() == Qt::LeftButton);
            } else {
                m_input->ButtonUp(static_cast<JogButton>(i));
            }
        }
        break;
    }
    case QEvent::MouseMove: m_lastInput.start(); break;
    default: break;
    }
    return PlainForm::eventFilter(watched, event);
}

void Tster::hideEvent(QHideEvent* event)
{
    m_input->FocusLost();
    PlainForm::hideEvent(event);
}

void Tster::ShowPanel()
{
    const TsterModel& wires = WireSelection();
    const TsterView& view = m_panel->View();
    const std::pair<QCheckBox*, bool> boxes[] = {
        {KeyFront, wires.KeyFront}, {KeyBack, wires.KeyBack}, {KeySide, wires.KeySide}};
    for (const auto& [box, checked] : boxes) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
        box->setEnabled(view.idleControlsEnabled);
    }
    const std::pair<QLabel*, const QString*> labels[] = {
        {wmxf, &view.wmxf}, {wmyf, &view.wmyf}, {wmxb, &view.wmxb}, {wmyb, &view.wmyb},
        {wmxp, &view.wmxp}, {wmyp, &view.wmyp}, {wms, &view.wms}, {wmw, &view.wmw},
        {stan_drutu, &view.stan_drutu}, {speedlabel, &view.speedlabel}, {PowerLabel, &view.PowerLabel},
        {lRealPower, &view.lRealPower}, {LabelNaciag, &view.LabelNaciag},
        {LabelNaciagRzeczywisty, &view.LabelNaciagRzeczywisty}, {UsbError, &view.UsbError},
        {chwilowaLabel, &view.chwilowaLabel}, {lSelPwr, &view.lSelPwr}, {lSelSpeed, &view.lSelSpeed},
        {lValPwr, &view.lValPwr}};
    for (const auto& [label, text] : labels)
        label->setText(*text);
    const bool diagnostics[] = {view.cbSbRun, view.cbSbWork, view.cbSbZadanieStartu, view.cbSbZadanieStopu,
                                view.cbSbPower};
    for (size_t i = 0; i < m_diagnostics.size(); ++i)
        m_diagnostics[i]->setChecked(diagnostics[i]);
    if (!view.GroupBox1Caption.isEmpty())
        GroupBox1->setTitle(view.GroupBox1Caption);
    if (!view.GroupStolikCaption.isEmpty())
        GroupStolik->setTitle(view.GroupStolikCaption);
    if (!view.SzybkoscCaption.isEmpty())
        Szybkosc->setTitle(view.SzybkoscCaption);

    for (size_t i = 0; i < m_jog.size(); ++i)
        m_jog[i]->setEnabled(MovesX(static_cast<JogButton>(i)) ? view.xButtonsEnabled : view.idleControlsEnabled);
    for (QWidget* w : std::initializer_list<QWidget*>{k_zalwyl, Bazuj, keyprzesun})
        w->setEnabled(view.idleControlsEnabled);
    sbWyrownajBackToFront->setEnabled(view.sbWyrownajBackToFrontEnabled);
    {
        const QSignalBlocker quiet(k_zalwyl);
        k_zalwyl->setChecked(view.heaterOn);
    }
    {
        const QSignalBlocker quiet(VScroll);
        VScroll->setMaximum(std::max(20, view.VScrollMax));
        VScroll->setValue(view.VScrollPosition);
        VScroll->setSingleStep(view.VScrollSmallStep);
        VScroll->setPageStep(view.VScrollLargeStep);
    }
    {
        const QSignalBlocker quiet(PScroll);
        PScroll->setMaximum(view.PScrollMax);
        PScroll->setValue(view.PScrollPosition);
    }
    if (!ScrollNaciag->isSliderDown()) {
        const QSignalBlocker quiet(ScrollNaciag);
        ScrollNaciag->setValue(view.ScrollNaciagPosition);
    }
    gRealPower2->setMaximum(std::max(1, view.PScrollMax));
    gRealPower2->setValue(std::clamp(view.gRealPower2, 0, gRealPower2->maximum()));
    gRealPower2->setStyleSheet(view.gRealPowerRed ? "QProgressBar::chunk { background: #ff0000; }"
                                                  : "QProgressBar::chunk { background: #00ff00; }");
    chwilowa->setValue(view.chwilowa);
}
