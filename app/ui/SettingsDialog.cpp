#include "app/ui/SettingsDialog.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "machine/MachineState.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QString RealFileDialog(QWidget* parent, const SettingsFileRequest& request)
{
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

SettingsFileChooser& FileChooser()
{
    static SettingsFileChooser chooser = RealFileDialog;
    return chooser;
}

// Settings files are ".vkf" files; the save dialog adds the extension.
const QString kSettingsFilter = QStringLiteral("Pelvartonix Config (*.vkf)");

// Runs f with the flag raised, so that signals of programmatic changes are not
// taken for the operator's.
template <typename F>
void Guarded(bool& flag, F f)
{
    const bool before = flag;
    flag = true;
    f();
    flag = before;
}

// Labels beside the edits are as high as an edit, so that the front and the
// side column of the cutting parameters line up row by row.
void MatchHeight(QWidget* w, int height) { w->setFixedHeight(height); }
}  // namespace

SettingsFileChooser TDlgkonfig::SetFileChooser(SettingsFileChooser chooser)
{
    SettingsFileChooser previous = FileChooser();
    FileChooser() = chooser ? std::move(chooser) : SettingsFileChooser(RealFileDialog);
    return previous;
}

TDlgkonfig::TDlgkonfig(QWidget* parent) : PlainForm("TDlgkonfig", parent)
{
    BuildControls();
    BuildLayout();
    Translate();
    Connect();

    // The store may change from anywhere (a settings file, another window):
    // the controls follow it.
    Settings().OnChanged = [this] { Refresh(); };
    SettingsFormCreate(CurrentMachineFacts());
    setWindowTitle(Gcf.SettingsPath);
    Refresh();
}

TDlgkonfig::~TDlgkonfig()
{
    Settings().OnChanged = nullptr;
    SettingsFormDestroy();
}

QWidget* TDlgkonfig::Control(const char* setting) const
{
    const auto it = m_bindings.find(setting);
    return it == m_bindings.end() ? nullptr : it->second.control;
}

QRadioButton* TDlgkonfig::Item(const char* setting, int index) const
{
    const auto it = m_bindings.find(setting);
    if (it == m_bindings.end() || index < 0 || index >= it->second.items.size())
        return nullptr;
    return it->second.items[index];
}

QLabel* TDlgkonfig::MakeLabel(const char* name, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void TDlgkonfig::Companion(const char* setting, QWidget* label) { m_bindings.at(setting).companions << label; }

QGroupBox* TDlgkonfig::MakeRadioGroup(const char* setting, int itemCount)
{
    auto* box = new QGroupBox(this);
    box->setObjectName(QString::fromLatin1(setting));
    auto* layout = new QVBoxLayout(box);
    Binding& b = m_bindings[setting];
    b.control = box;
    b.group = new QButtonGroup(box);
    for (int i = 0; i < itemCount; ++i) {
        auto* button = new QRadioButton(box);
        button->setObjectName(QString::fromLatin1(setting) + QString::number(i));
        b.group->addButton(button, i);
        b.items << button;
        layout->addWidget(button);
    }
    return box;
}

QCheckBox* TDlgkonfig::MakeCheckBox(const char* setting)
{
    auto* box = new QCheckBox(this);
    box->setObjectName(QString::fromLatin1(setting));
    m_bindings[setting].control = box;
    return box;
}

NumericEdit* TDlgkonfig::MakeEdit(const char* setting)
{
    const SettingEntry& e = Settings().At(setting);
    NumericEdit* edit = nullptr;
    if (e.kind == SettingKind::FloatEditU)
        edit = new TFloatEditU(this);
    else
        edit = new TFloatEdit(this);
    edit->setObjectName(QString::fromLatin1(setting));
    m_bindings[setting].control = edit;
    return edit;
}

void TDlgkonfig::BuildControls()
{
    // Every setting of the store gets its control, whatever page shows it.
    for (const SettingEntry& e : Settings().Entries()) {
        switch (e.kind) {
        case SettingKind::RadioGroup:
            MakeRadioGroup(e.name, e.itemCount);
            break;
        case SettingKind::CheckBox:
            MakeCheckBox(e.name);
            break;
        case SettingKind::FloatEdit:
        case SettingKind::FloatEditU:
            MakeEdit(e.name);
            break;
        case SettingKind::ScrollBar: {
            auto* bar = new QScrollBar(Qt::Horizontal, this);
            bar->setObjectName(QString::fromLatin1(e.name));
            bar->setPageStep(1);
            m_bindings[e.name].control = bar;
            break;
        }
        }
    }
}

void TDlgkonfig::BuildLayout()
{
    auto control = [this](const char* setting) { return m_bindings.at(setting).control; };
    const int rowHeight = control("szybkoscObrobki")->sizeHint().height();

    // A label with the edit it names, and the edit's unit label when it has one.
    auto labelled = [&](QGridLayout* grid, int row, const char* labelName, const char* setting,
                        QList<QLabel*>* unitList = nullptr, const char* unitName = nullptr) {
        QLabel* label = MakeLabel(labelName);
        grid->addWidget(label, row, 0);
        grid->addWidget(control(setting), row, 1);
        Companion(setting, label);
        if (unitList) {
            QLabel* unit = MakeLabel(unitName);
            grid->addWidget(unit, row, 2);
            unitList->append(unit);
            Companion(setting, unit);
        }
    };

    m_pages = new QTabWidget(this);
    m_pages->setObjectName("PageControl1");

    // The machine page: work mode, unit, feed, heater output and the cutting
    // parameters of both wires side by side.
    m_pageMachine = new QWidget;
    m_pageMachine->setObjectName("ploter");
    {
        auto* left = new QVBoxLayout;
        for (const char* g : {"Mode", "radiounit", "CatDir", "PowerOutput"})
            left->addWidget(control(g));
        left->addStretch();

        // Rows: speed, power, heating time, corner pause, then the front
        // wire's travel speed and the scale; columns: label, front wire, side
        // wire, unit. Every row of every column has the same height, so the
        // rows line up across the panels.
        const char* frontEdits[] = {"szybkoscObrobki", "work_power", "CzasRozgrzewania", "Pauza_w_kacie",
                                    "PrzeSpeed", "skala"};
        const char* sideEdits[] = {"szybkoscObrobkiBok", "work_power_Bok", "CzasRozgrzewaniaBok",
                                   "Pauza_w_kacie_Bok"};
        const char* rowLabels[] = {"Labelspeed", "Labelpower",       "Labelstarttime",
                                   "Labelpauza", "Labelprzestawcza", "LabelSkala"};
        auto column = [&](QWidget* panel) {
            auto* layout = panel ? new QVBoxLayout(panel) : new QVBoxLayout;
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(6);
            return layout;
        };
        auto row = [&](QVBoxLayout* layout, QWidget* w) {
            MatchHeight(w, rowHeight);
            layout->addWidget(w);
        };

        auto* labels = column(nullptr);
        row(labels, new QWidget(this));
        for (int i = 0; i < 6; ++i) {
            QLabel* label = MakeLabel(rowLabels[i]);
            row(labels, label);
            Companion(frontEdits[i], label);
        }

        auto* pFront = new QWidget(this);
        pFront->setObjectName("pFront");
        auto* front = column(pFront);
        m_lFront = MakeLabel("lFront");
        row(front, m_lFront);
        for (const char* name : frontEdits)
            row(front, control(name));

        m_pBok = new QWidget(this);
        m_pBok->setObjectName("pBok");
        auto* side = column(m_pBok);
        m_lBok = MakeLabel("lBok");
        row(side, m_lBok);
        for (const char* name : sideEdits)
            row(side, control(name));
        Companion("szybkoscObrobkiBok", m_lBok);

        auto* pUnits = new QWidget(this);
        auto* units = column(pUnits);
        row(units, new QWidget(this));
        for (int i = 0; i < 5; ++i) {
            // Only the two speeds have a unit; the other rows keep their place.
            if (i != 0 && i != 4) {
                row(units, new QWidget(this));
                continue;
            }
            QLabel* unit = MakeLabel(i == 0 ? "lUnitSpeed" : "lUnitPrzeSpeed");
            row(units, unit);
            m_speedUnitLabels << unit;
            Companion(frontEdits[i], unit);
        }

        // The shorter columns keep to the top rows.
        auto* wires = new QHBoxLayout;
        wires->addLayout(labels);
        wires->addWidget(pFront);
        wires->addWidget(m_pBok, 0, Qt::AlignTop);
        wires->addWidget(pUnits, 0, Qt::AlignTop);
        wires->addStretch();

        auto* right = new QVBoxLayout;
        right->addLayout(wires);
        for (const char* c : {"Wstrzymaj", "AddFrame", "MoveAfter"})
            right->addWidget(control(c));
        right->addStretch(1);

        auto* page = new QHBoxLayout(m_pageMachine);
        page->addLayout(left);
        page->addLayout(right, 1);
    }
    m_pages->addTab(m_pageMachine, QString());

    // The rotary page: which rotary axis, its direction and place, the
    // material on it, and the serial cutting angle.
    m_pageRotary = new QWidget;
    m_pageRotary->setObjectName("Tabsheet2");
    {
        auto* left = new QVBoxLayout;
        for (const char* g : {"StolikSwitch", "KierunekObrotow", "rgKatObrotu"})
            left->addWidget(control(g));
        left->addStretch();

        auto* grid = new QGridLayout;
        int row = 0;
        labelled(grid, row++, "Labelsrednica", "Srednicamaterialu", &m_lengthUnitLabels, "lUnitSrednica");
        labelled(grid, row++, "Labelilobr", "il_obr_rys");
        labelled(grid, row++, "Labelilkrok", "ilosckrokow");
        labelled(grid, row, "labelXwrzeciona", "Xwrzeciona", &m_lengthUnitLabels, "lUnitXwrzeciona");
        labelled(grid, row + 1, "Labelywrzeciona", "Ywrzeciona", &m_lengthUnitLabels, "lUnitYwrzeciona");
        m_pobierzWrzeciona = new QPushButton(this);
        m_pobierzWrzeciona->setObjectName("btnPobierzXYwrzeciona");
        grid->addWidget(m_pobierzWrzeciona, row, 3, 2, 1);
        row += 2;
        labelled(grid, row, "labelXStolika", "Xstolika", &m_lengthUnitLabels, "lUnitXstolika");
        labelled(grid, row + 1, "LabelYStolika", "Ystolika", &m_lengthUnitLabels, "lUnitYstolika");
        m_pobierzStolika = new QPushButton(this);
        m_pobierzStolika->setObjectName("btnPobierzXYstolika");
        grid->addWidget(m_pobierzStolika, row, 3, 2, 1);
        row += 2;
        grid->addWidget(control("dopasujKierunek"), row++, 0, 1, 4);
        grid->addWidget(control("Heavy"), row++, 0, 1, 4);
        grid->setRowStretch(row, 1);
        // The room the page has to spare goes past the buttons, so that they
        // keep to their edits and off the dialog's edge.
        grid->setColumnStretch(4, 1);

        // The tool offsets are kept and saved, but no cutting mode asks the
        // operator for them.
        m_pNarzedzia = new QWidget(this);
        m_pNarzedzia->setObjectName("pNarzedzia");
        auto* tool = new QGridLayout(m_pNarzedzia);
        labelled(tool, 0, "labelXNarzedzia", "Xnarzedzia", &m_lengthUnitLabels, "lUnitXnarzedzia");
        labelled(tool, 1, "labelYNarzedzia", "Ynarzedzia", &m_lengthUnitLabels, "lUnitYnarzedzia");
        m_pNarzedzia->hide();

        auto* right = new QVBoxLayout;
        right->addLayout(grid);
        right->addWidget(m_pNarzedzia);

        auto* page = new QHBoxLayout(m_pageRotary);
        page->addLayout(left);
        page->addLayout(right, 1);
    }
    m_pages->addTab(m_pageRotary, QString());

    // Everything else: homing, calibration, drawing accuracy, simulation speed.
    m_pageOther = new QWidget;
    m_pageOther->setObjectName("tabInne");
    {
        auto* page = new QVBoxLayout(m_pageOther);
        page->addWidget(control("rgBazowanie"));

        auto* calibration = new QGroupBox(this);
        calibration->setObjectName("gbKalibracja");
        auto* cal = new QGridLayout(calibration);
        // Axis letters need no translation.
        cal->addWidget(MakeLabel("lKalibracjaX", "X"), 0, 1, Qt::AlignHCenter);
        cal->addWidget(MakeLabel("lKalibracjaY", "Y"), 0, 2, Qt::AlignHCenter);
        cal->addWidget(MakeLabel("lKalibracjaFront"), 1, 0);
        cal->addWidget(MakeLabel("lKalibracjaBok"), 2, 0);
        cal->addWidget(control("feKalibracjaX"), 1, 1);
        cal->addWidget(control("feKalibracjaY"), 1, 2);
        cal->addWidget(control("feKalibracjaXp"), 2, 1);
        cal->addWidget(control("feKalibracjaYp"), 2, 2);
        cal->setColumnStretch(3, 1);
        page->addWidget(calibration);

        auto* grid = new QGridLayout;
        labelled(grid, 0, "Labelplt_accuracy", "fuPlt_accuracy", &m_lengthUnitLabels, "lUnitPlt_accuracy");
        grid->setColumnStretch(3, 1);
        page->addLayout(grid);

        auto* simulation = new QHBoxLayout;
        QLabel* title = MakeLabel("LabelSymulacja");
        QLabel* normal = MakeLabel("LabelSymulacjaNormalna");
        QLabel* fast = MakeLabel("LabelSymulacjaSzybka");
        simulation->addWidget(title);
        simulation->addWidget(normal);
        simulation->addWidget(control("sbWspSymulacji"), 1);
        simulation->addWidget(fast);
        for (QLabel* l : {title, normal, fast})
            Companion("sbWspSymulacji", l);
        page->addLayout(simulation);

        // Kept and saved with the others, but nothing reads it.
        page->addWidget(control("cbCheckForUpdate"));
        control("cbCheckForUpdate")->hide();
        page->addStretch();
    }
    m_pages->addTab(m_pageOther, QString());

    // Settings for a machine whose wires are not guarded against collision.
    m_pageSpecial = new QWidget;
    m_pageSpecial->setObjectName("tabSpecial");
    {
        auto* grid = new QGridLayout(m_pageSpecial);
        labelled(grid, 0, "lDystansYside", "feuDystansYside", &m_lengthUnitLabels, "lUnitDystansYside");
        grid->setColumnStretch(3, 1);
        grid->setRowStretch(1, 1);
    }
    m_pages->addTab(m_pageSpecial, QString());
    m_pages->setTabVisible(m_pages->indexOf(m_pageSpecial), !WiresCrashChecking);

    m_zapis = new QPushButton(this);
    m_zapis->setObjectName("zapis");
    m_odczyt = new QPushButton(this);
    m_odczyt->setObjectName("Odczyt");
    m_ok = new QPushButton(this);
    m_ok->setObjectName("Button1");
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName("cancel");
    m_cancel->setAutoDefault(false);
    for (QPushButton* b : {m_zapis, m_odczyt, m_pobierzStolika, m_pobierzWrzeciona})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(control("AutoSave"));
    buttons->addWidget(m_zapis);
    buttons->addWidget(m_odczyt);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* main = new QVBoxLayout(this);
    main->addWidget(m_pages);
    main->addLayout(buttons);
}

void TDlgkonfig::Translate()
{
    auto text = [this](const char* name, const QString& t) {
        QWidget* w = findChild<QWidget*>(QString::fromLatin1(name));
        if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(t);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            button->setText(t);
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            group->setTitle(t);
    };
    auto items = [this](const char* setting, const QStringList& texts) {
        const Binding& b = m_bindings.at(setting);
        for (int i = 0; i < b.items.size() && i < texts.size(); ++i)
            b.items[i]->setText(texts[i]);
    };

    m_pages->setTabText(m_pages->indexOf(m_pageMachine), Tr("Configuration", "ploter.caption"));
    m_pages->setTabText(m_pages->indexOf(m_pageRotary), Tr("Configuration", "Tabsheet2.caption"));
    m_pages->setTabText(m_pages->indexOf(m_pageOther), Tr("Configuration", "tabInne.caption"));
    m_pages->setTabText(m_pages->indexOf(m_pageSpecial), Tr("Configuration", "tabSpecial.caption"));

    text("Button1", Tr("Configuration", "Button1.caption"));
    text("cancel", Tr("Configuration", "cancel.caption"));
    text("zapis", Tr("Configuration", "zapis.caption"));
    text("Odczyt", Tr("Configuration", "Odczyt.caption"));
    text("btnPobierzXYstolika", Tr("Configuration", "btnPobierzXYstolika.Caption"));
    text("btnPobierzXYwrzeciona", Tr("Configuration", "btnPobierzXYwrzeciona.Caption"));

    text("AutoSave", Tr("Configuration", "AutoSave.caption"));
    text("Wstrzymaj", Tr("Configuration", "Wstrzymaj.caption"));
    text("AddFrame", Tr("Configuration", "AddFrame.caption"));
    text("MoveAfter", Tr("Configuration", "VePrzesunPoCieciu"));
    text("dopasujKierunek", Tr("Configuration", "dopasujKierunek.caption"));
    text("Heavy", Tr("Configuration", "heavy.caption"));
    text("cbCheckForUpdate", Tr("Configuration", "cbCheckForUpdate.caption"));

    text("Mode", Tr("Configuration", "Mode.caption"));
    items("Mode", {Tr("Configuration", "mode.2D"), Tr("Configuration", "mode.Obrotowe"),
                   Tr("Configuration", "mode.Seryjne"), Tr("Configuration", "mode.Toczenie"),
                   Tr("Configuration", "mode.Niezalezne"), Tr("Configuration", "mode.Prostopadle")});
    text("radiounit", Tr("Configuration", "radioUnit.caption"));
    items("radiounit", {UnitName(0), UnitName(1), UnitName(2)});
    text("CatDir", Tr("Configuration", "CatDir.caption"));
    items("CatDir", {Tr("Configuration", "catdir.Item0"), Tr("Configuration", "catdir.Item1"),
                     Tr("Configuration", "catdir.Item2")});
    text("PowerOutput", Tr("Configuration", "PowerOutput.Caption"));
    items("PowerOutput", {Tr("Configuration", "PowerOutput.Items0"), Tr("Configuration", "PowerOutput.Items1")});
    // The group chooses the rotary axis that is fitted: it is titled like its page.
    text("StolikSwitch", Tr("Configuration", "Tabsheet2.caption"));
    items("StolikSwitch", {Tr("Configuration", "stolikswitch.Item0"), Tr("Configuration", "stolikswitch.Item1"),
                           Tr("Configuration", "stolikswitch.Item2")});
    text("KierunekObrotow", Tr("Configuration", "KierunekObrotow.caption"));
    items("KierunekObrotow",
          {Tr("Configuration", "KierunekObrotow.Item0"), Tr("Configuration", "KierunekObrotow.Item1")});
    text("rgKatObrotu", " " + Tr("Configuration", "rgKatObrotu.caption") + " [" +
                            Tr("Configuration", "Seryjne.caption") + "] ");
    items("rgKatObrotu", {Tr("Configuration", "rgKatObrotuItem0"), Tr("Configuration", "rgKatObrotuItem1")});
    text("rgBazowanie", Tr("Configuration", "rgBazowanie.caption"));
    items("rgBazowanie", {Tr("Configuration", "rgBazowanie.items0"), Tr("Configuration", "rgBazowanie.items1")});
    text("gbKalibracja", Tr("Configuration", "gbKalibracja.caption"));

    text("Labelspeed", Tr("Configuration", "Labelspeed.caption"));
    text("Labelpower", Tr("Configuration", "Labelpower.caption"));
    text("Labelstarttime", Tr("Configuration", "Labelstarttime.caption"));
    text("Labelpauza", Tr("Configuration", "Labelpauza.caption"));
    text("Labelprzestawcza", Tr("Configuration", "Labelprzestawcza.caption"));
    text("LabelSkala", Tr("Configuration", "LabelSkala.caption"));
    text("Labelsrednica", Tr("Configuration", "Labelsrednica.caption"));
    text("Labelilobr", Tr("Configuration", "Labelilobr.caption"));
    text("Labelilkrok", Tr("Configuration", "Labelilkrok.caption"));
    text("labelXwrzeciona", Tr("Configuration", "labelXwrzeciona.caption"));
    text("Labelywrzeciona", Tr("Configuration", "Labelywrzeciona.caption"));
    text("labelXStolika", Tr("Configuration", "labelXStolika.caption"));
    text("LabelYStolika", Tr("Configuration", "LabelYStolika.caption"));
    text("labelXNarzedzia", Tr("Configuration", "labelXNarzedzia.caption"));
    text("labelYNarzedzia", Tr("Configuration", "labelYNarzedzia.caption"));
    text("Labelplt_accuracy", Tr("Configuration", "Labelplt_accuracy.caption"));
    text("LabelSymulacja", Tr("Configuration", "LabelSymulacja.caption"));
    text("LabelSymulacjaNormalna", Tr("Configuration", "LabelSymulacjaNormalna.caption"));
    text("LabelSymulacjaSzybka", Tr("Configuration", "LabelSymulacjaSzybka.caption"));
    text("lDystansYside", Tr("Configuration", "lDystansYside.caption"));

    // The wire panels are named as on the manual control panel.
    const QString front = Tr("Control", "KeyFront.caption");
    const QString side = Tr("Control", "VeKeyBack.caption");
    m_lFront->setText(front);
    m_lBok->setText(side);
    text("lKalibracjaFront", front);
    text("lKalibracjaBok", side);
}

void TDlgkonfig::Connect()
{
    for (auto& [name, b] : m_bindings) {
        const std::string setting = name;
        if (b.group) {
            connect(b.group, &QButtonGroup::idToggled, this, [this, setting](int id, bool checked) {
                if (checked && !m_refreshing)
                    Settings().SetItemIndex(setting, id);
            });
        } else if (auto* check = qobject_cast<QCheckBox*>(b.control)) {
            connect(check, &QCheckBox::stateChanged, this, [this, setting, check](int) {
                if (m_refreshing)
                    return;
                const Qt::CheckState s = check->checkState();
                Settings().SetCheckState(setting, s == Qt::Checked            ? CheckState::Checked
                                                  : s == Qt::PartiallyChecked ? CheckState::Grayed
                                                                              : CheckState::Unchecked);
            });
        } else if (auto* edit = qobject_cast<NumericEdit*>(b.control)) {
            connect(edit, &NumericEdit::valueEdited, this, [this, setting](double v) {
                if (m_refreshing)
                    return;
                Settings().SetValue(setting, v);
                // The store may keep another value (its own range): show what it kept.
                Refresh();
            });
        } else if (auto* bar = qobject_cast<QScrollBar*>(b.control)) {
            connect(bar, &QScrollBar::valueChanged, this, [this, setting](int v) {
                if (!m_refreshing)
                    Settings().SetPosition(setting, v);
            });
        }
    }
    connect(m_ok, &QPushButton::clicked, this, &TDlgkonfig::accept);
    connect(m_cancel, &QPushButton::clicked, this, &TDlgkonfig::reject);
    connect(m_zapis, &QPushButton::clicked, this, &TDlgkonfig::zapisClick);
    connect(m_odczyt, &QPushButton::clicked, this, &TDlgkonfig::OdczytClick);
    connect(m_pobierzStolika, &QPushButton::clicked, this, &TDlgkonfig::btnPobierzXYstolikaClick);
    connect(m_pobierzWrzeciona, &QPushButton::clicked, this, &TDlgkonfig::btnPobierzXYwrzecionaClick);
}

void TDlgkonfig::Refresh()
{
    Guarded(m_refreshing, [this] {
        TDlgkonfigModel& s = Settings();
        for (const SettingEntry& e : s.Entries()) {
            const auto it = m_bindings.find(e.name);
            if (it != m_bindings.end())
                RefreshOne(e, it->second);
        }
        RefreshUnitLabels();

        // The side wire's panel goes with its edits (off in independent cutting).
        m_pBok->setEnabled(s.At("szybkoscObrobkiBok").enabled);

        QString hint;
        const Binding& power = m_bindings.at("PowerOutput");
        if (s.ModeHint == 1 || s.ModeHint == 2)
            hint = power.items[s.ModeHint - 1]->text() + " : " + Tr("Configuration", "zalecane");
        m_bindings.at("Mode").control->setToolTip(hint);
    });
}

void TDlgkonfig::RefreshOne(const SettingEntry& e, Binding& b)
{
    b.control->setEnabled(e.enabled);
    for (QWidget* w : b.companions)
        w->setEnabled(e.enabled);
    // Controls kept out of sight stay there whatever the store says.
    if (b.control->objectName() != QLatin1String("cbCheckForUpdate")) {
        b.control->setHidden(!e.visible);
        for (QWidget* w : b.companions)
            w->setHidden(!e.visible);
    }

    switch (e.kind) {
    case SettingKind::RadioGroup: {
        const int index = static_cast<int>(e.value);
        // No selection is possible only with the group's exclusivity off.
        b.group->setExclusive(false);
        for (int i = 0; i < b.items.size(); ++i) {
            b.items[i]->setChecked(i == index);
            b.items[i]->setHidden(i >= e.itemCount);
        }
        b.group->setExclusive(true);
        break;
    }
    case SettingKind::CheckBox: {
        auto* check = static_cast<QCheckBox*>(b.control);
        const auto state = static_cast<CheckState>(static_cast<int>(e.value));
        check->setCheckState(state == CheckState::Checked   ? Qt::Checked
                             : state == CheckState::Grayed ? Qt::PartiallyChecked
                                                           : Qt::Unchecked);
        break;
    }
    case SettingKind::FloatEdit:
    case SettingKind::FloatEditU: {
        auto* edit = static_cast<NumericEdit*>(b.control);
        edit->SetMinValue(e.minValue);
        edit->SetMaxValue(e.maxValue);
        edit->SetIncrement(e.increment);
        if (e.kind == SettingKind::FloatEditU)
            static_cast<TFloatEditU*>(edit)->ApplyCurrentUnit();
        edit->SetDigit(e.digits);
        edit->SetValue(e.value);
        break;
    }
    case SettingKind::ScrollBar: {
        auto* bar = static_cast<QScrollBar*>(b.control);
        bar->setRange(static_cast<int>(e.minValue), static_cast<int>(e.maxValue));
        bar->setValue(static_cast<int>(e.value));
        break;
    }
    }
}

void TDlgkonfig::RefreshUnitLabels()
{
    const QString unit = UnitName(CurrentLengthUnit);
    for (QLabel* l : m_lengthUnitLabels)
        l->setText("[" + unit + "]");
    for (QLabel* l : m_speedUnitLabels)
        l->setText("[" + unit + Tr("Configuration", "naMinute"));
}

void TDlgkonfig::showEvent(QShowEvent* event)
{
    // A window restored by the system is no new showing: the snapshot of the
    // showing stays.
    if (!event->spontaneous()) {
        SettingsFormActivate(CurrentMachineFacts(), HasSwitch("showAll"));
        Refresh();
    }
    PlainForm::showEvent(event);
}

bool TDlgkonfig::CommitTyping()
{
    // OK by the keyboard or from the program leaves the field being typed in
    // without a focus change; what was typed still counts.
    for (QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget())
        if (auto* edit = qobject_cast<NumericEdit*>(w)) {
            if (isAncestorOf(edit) && !edit->LeaveField())
                return false;
            break;
        }
    // A field left with a text that is no number holds the dialog open until mended.
    for (NumericEdit* edit : findChildren<NumericEdit*>())
        if (!edit->TextReadable()) {
            edit->TellUnreadable();
            return false;
        }
    return true;
}

void TDlgkonfig::accept()
{
    if (!CommitTyping())
        return;
    if (SettingsOk() && m_machine)
        ReadResolution(*m_machine);
    PlainForm::accept();
}

void TDlgkonfig::reject()
{
    // Only a showing has a snapshot to return to.
    if (isVisible()) {
        SettingsCancel();
        Refresh();
    }
    PlainForm::reject();
}

void TDlgkonfig::done(int result)
{
    CurrentLengthUnit = Settings().ItemIndex("radiounit");
    PlainForm::done(result);
}

void TDlgkonfig::zapisClick()
{
    SettingsFileRequest request;
    request.save = true;
    request.folder = QFileInfo(Gcf.SettingsPath).absolutePath();
    request.filter = kSettingsFilter;
    request.defaultSuffix = "vkf";
    const QString path = FileChooser()(this, request);
    if (path.isEmpty())
        return;
    SettingsSaveAs(path);
    setWindowTitle(Gcf.SettingsPath);
}

void TDlgkonfig::OdczytClick()
{
    SettingsFileRequest request;
    request.title = Tr("Configuration", "opendialogkonfig.title");
    request.folder = QFileInfo(Gcf.SettingsPath).absolutePath();
    request.filter = kSettingsFilter;
    const QString path = FileChooser()(this, request);
    if (path.isEmpty())
        return;
    SettingsLoadFrom(path);
    setWindowTitle(Gcf.SettingsPath);
    Refresh();
}

void TDlgkonfig::ReadFrontPosition(const char* xSetting, const char* ySetting)
{
    // Homing and the position are read, never the last ones known.
    if (m_machine && !ReadStatusOrRefuse(*m_machine))
        return;
    if (!m_machine || !PlotState.Homed()) {
        // Positions before homing are counted from wherever the machine was
        // switched on: worthless as settings.
        ShowMessageBox(Tr("Configuration", "wykonajBazowaniePrzed"), true);
        return;
    }
    if (!ReadPositionsForMove(*m_machine))
        return;
    Settings().SetValue(xSetting, PlotState.FrontX / 100.0);
    Settings().SetValue(ySetting, PlotState.FrontY / 100.0);
    Refresh();
}

void TDlgkonfig::btnPobierzXYstolikaClick() { ReadFrontPosition("Xstolika", "Ystolika"); }

void TDlgkonfig::btnPobierzXYwrzecionaClick() { ReadFrontPosition("Xwrzeciona", "Ywrzeciona"); }
