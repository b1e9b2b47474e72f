#include "production/ui/ProductionForms.h"

#include "app/HostInfo.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "app/widgets/WindowRules.h"
#include "job/ui/JobView.h"
#include "production/ProfileBender.h"
#include "production/SerialGenerator.h"
#include "production/ui/RAWview.h"
#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/SettingsFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cmath>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <array>
#include <stdexcept>

namespace {

QLabel* NamedLabel(QWidget* owner, const char* name, const QString& text = QString())
{
    auto* label = new QLabel(text, owner);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// A read-only value, right-aligned in a sunken panel.
QLabel* ValuePanel(QWidget* owner, const char* name)
{
    QLabel* panel = NamedLabel(owner, name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panel->setMinimumWidth(90);
    return panel;
}

// A length in millimetres in the unit chosen in the settings, with that unit's
// decimals, then a blank.
QString LengthText(int unit, double mm)
{
    return FloatToStrF(MmToUnit(unit, mm), ffFixed, 7, UnitDecimalsFor(unit)) + QLatin1Char(' ');
}

}  // namespace

namespace {

QPushButton* NamedButton(QWidget* owner, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, owner);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QCheckBox* NamedCheckBox(QWidget* owner, const char* name, const QString& text, bool checked)
{
    auto* c = new QCheckBox(text, owner);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    return c;
}

}  // namespace

TfGenSer::TfGenSer(QWidget* parent, GenSerJobHooks jobs) : PlainForm("TfGenSer", parent), m_jobs(std::move(jobs))
{
    setWindowTitle(Tr("Main_window", "miGenSeryjnego3D.caption"));
    resize(534, 615);
    setMinimumSize(329, 576);

    gbModel3D = new QGroupBox(this);
    gbModel3D->setObjectName("gbModel3D");
    // The menu caption without its accelerator mark, which a label has no use for.
    lPlik = NamedLabel(gbModel3D, "lPlik", QString(Tr("Main_window", "File1.Caption")).remove('&'));
    ePlik = new QLineEdit(gbModel3D);
    ePlik->setObjectName("ePlik");
    ePlik->setReadOnly(true);
    btnPlikRaw = NamedButton(gbModel3D, "btnPlikRaw", QStringLiteral("..."));
    btnModelInfo = NamedButton(gbModel3D, "btnModelInfo", QStringLiteral("i"));
    auto* fileRow = new QHBoxLayout(gbModel3D);
    fileRow->addWidget(lPlik);
    fileRow->addWidget(ePlik, 1);
    fileRow->addWidget(btnPlikRaw);
    fileRow->addWidget(btnModelInfo);

    RAWview1 = new TRAWview(this);
    RAWview1->setObjectName("RAWview1");
    RAWview1->Model_KrokObrotu = 0.5;
    RAWview1->Model_KrokSkali = 0.0001;
    RAWview1->Model_KrokPrzesuwu = 0.01;
    RAWview1->Model_KrokSkaliRolka = 0.08;
    RAWview1->Model_Material = 1.0;
    RAWview1->UkladWsp = true;
    RAWview1->TrybPracy = tpPrzegladRAWtermSeryjne;
    QPalette black = RAWview1->palette();
    black.setColor(QPalette::Window, Qt::black);
    RAWview1->setPalette(black);
    RAWview1->setAutoFillBackground(true);

    lIloscObrotow = NamedLabel(this, "lIloscObrotow", Tr("Configuration", "Labelilkrok.caption"));
    feIloscObrotow = new TFltEdit(this);
    feIloscObrotow->setObjectName("feIloscObrotow");
    feIloscObrotow->SetMinValue(1);
    feIloscObrotow->SetMaxValue(180);
    feIloscObrotow->SetIncrement(1);
    feIloscObrotow->SetDigit(0);
    feIloscObrotow->SetValue(18);
    cbOdcinajPoZakonczeniu = NamedCheckBox(this, "cbOdcinajPoZakonczeniu",
                                           Tr("SerialCutFrom3D", "cbOdcinajPoZakonczeniu.caption"), true);
    cbOdcinajPoZakonczeniu->setToolTip(Tr("SerialCutFrom3D", "cbOdcinajPoZakonczeniu.hint"));
    cbZamkniOknoAut = NamedCheckBox(this, "cbZamkniOknoAut", Tr("SerialCutFrom3D", "cbZamkniOknoAut.caption"), true);
    cbZostawZamknieteFig = NamedCheckBox(this, "cbZostawZamknieteFig",
                                         QStringLiteral("Zostaw zamknięte, wewnętrzne figury"), false);
    cbZostawZamknieteFig->setVisible(false);
    btnAnuluj = NamedButton(this, "btnAnuluj", Tr("Configuration", "cancel.caption"));
    btnGeneruj = NamedButton(this, "btnGeneruj", Tr("SerialCutFrom3D", "btnGeneruj.caption"));
    btnGeneruj->setDefault(true);

    sb = new QStatusBar(this);
    sb->setObjectName("sb");
    sb->setSizeGripEnabled(false);
    for (QLabel*& panel : sbPanels) {
        panel = new QLabel(sb);
        panel->setFixedWidth(300);
        sb->addWidget(panel);
    }

    auto* controls = new QGridLayout;
    controls->addWidget(lIloscObrotow, 0, 0);
    controls->addWidget(feIloscObrotow, 0, 1);
    controls->addWidget(cbOdcinajPoZakonczeniu, 1, 0, 1, 3);
    controls->addWidget(cbZamkniOknoAut, 2, 0, 1, 3);
    controls->addWidget(cbZostawZamknieteFig, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnAnuluj);
    buttons->addWidget(btnGeneruj);
    controls->addLayout(buttons, 4, 0, 1, 3);
    controls->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(gbModel3D);
    layout->addWidget(RAWview1, 1);
    layout->addLayout(controls);
    layout->addWidget(sb);

    connect(btnPlikRaw, &QPushButton::clicked, this, &TfGenSer::btnPlikRawClick);
    connect(btnModelInfo, &QPushButton::clicked, this, &TfGenSer::btnModelInfoClick);
    connect(btnGeneruj, &QPushButton::clicked, this, &TfGenSer::btnGenerujClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &TfGenSer::btnAnulujClick);

    SerialGeneratorHooks hooks;
    hooks.NewJob = [this](const QString& caption) -> TJob* {
        TMDIChild* child = m_jobs.NewJobWindow ? m_jobs.NewJobWindow() : nullptr;
        if (!child)
            return nullptr;
        child->SetCaption(caption);
        return &child->Job();
    };
    hooks.CloseAllJobs = [this] {
        if (m_jobs.CloseAllClick)
            m_jobs.CloseAllClick();
    };
    hooks.TileJobs = [this] {
        if (m_jobs.Tile)
            m_jobs.Tile();
    };
    hooks.ShowModel = [this] {
        RAWview1->LadujListeRAW(ModelTriangles, ModelInfoRec.xmin, ModelInfoRec.ymin, ModelInfoRec.zmin,
                                ModelInfoRec.xmax, ModelInfoRec.ymax, ModelInfoRec.zmax);
    };
    hooks.LockViewer = [this](bool locked) {
        RAWview1->Locked = locked;
        if (!locked)
            RAWview1->PokazScene();
    };
    hooks.ResetViewerTurn = [this] { RAWview1->ResetujPrzeksztalcenia(); };
    hooks.TurnViewer = [this](int dx) {
        RAWview1->Nawigacja(1, dx, 0);
        RAWview1->PokazScene();
    };
    hooks.Beep = [] { QApplication::beep(); };
    // Closed outright: a close the operator asked for during a step may still
    // be showing its refusal, and a close inside it would be ignored.
    hooks.CloseWindow = [this] { done(QDialog::Rejected); };
    hooks.Changed = [this] { ShowState(); };
    m_generator = new TSerialGenerator(std::move(hooks), this);

    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    for (QWidget* w : std::initializer_list<QWidget*>{lPlik, lIloscObrotow, cbOdcinajPoZakonczeniu, cbZamkniOknoAut,
                                                      cbZostawZamknieteFig})
        KeepWidthWhenBold(w);
    ShowState();
}

TfGenSer::~TfGenSer()
{
    // The generator goes first: it may call back into the controls.
    delete m_generator;
    m_generator = nullptr;
}

void TfGenSer::ShowState()
{
    if (!m_generator)
        return;
    const TSerialGenerator& g = *m_generator;
    btnPlikRaw->setEnabled(g.FileButtonEnabled);
    feIloscObrotow->setEnabled(g.StepCountEnabled);
    btnGeneruj->setEnabled(g.GenerateEnabled);
    btnModelInfo->setEnabled(g.ModelInfoEnabled);
    sbPanels[0]->setText(g.Status[0]);
    sbPanels[1]->setText(g.Status[1]);
    if (g.ProgressShown && !ProgressBar)
        CreateProgressBar();
    if (!g.ProgressShown && ProgressBar) {
        delete ProgressBar;
        ProgressBar = nullptr;
    }
    if (ProgressBar) {
        ProgressBar->setRange(0, g.ProgressMax);
        ProgressBar->setValue(g.ProgressPosition);
    }
}

void TfGenSer::CreateProgressBar()
{
    delete ProgressBar;
    ProgressBar = new QProgressBar(sb);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(0, 2, sbPanels[0]->width(), sb->height() - 2);
    ProgressBar->show();
}

void TfGenSer::btnPlikRawClick()
{
    if (!btnPlikRaw->isEnabled())
        return;
    QFileDialog OpenDialog(this, Tr("SerialCutFrom3D", "wybierzPlikModelu"),
                           Gcf.OpenFolder.isEmpty() ? ProgramDir : Gcf.OpenFolder);
    OpenDialog.setObjectName("OpenDialog");
    OpenDialog.setDefaultSuffix("raw");
    OpenDialog.setFileMode(QFileDialog::ExistingFile);
    OpenDialog.setNameFilters({Tr("Universal", "wszystkiePliki") + " (*.dxf *.raw)",
                               Tr("SerialCutFrom3D", "plikDXF3D") + " (*.dxf)",
                               Tr("SerialCutFrom3D", "plikRhino") + " (*.raw)"});
    QString name;
    if (OpenDialog.exec() == QDialog::Accepted && !OpenDialog.selectedFiles().isEmpty())
        name = OpenDialog.selectedFiles().first();
    m_generator->ChooseModelFile(name);
    if (!name.isEmpty() && !ModelInfoRec.FileName.isEmpty()) {
        ePlik->setText(name);
        ePlik->setToolTip(name);
    }
}

void TfGenSer::btnModelInfoClick()
{
    if (!btnModelInfo->isEnabled() || ModelInfoRec.FileName.isEmpty() || ePlik->text().isEmpty())
        return;
    const QPoint origin = RAWview1->mapToGlobal(QPoint());
    ShowModelInfo(origin.x(), origin.y(), ModelInfoRec);
}

void TfGenSer::btnGenerujClick()
{
    if (!btnGeneruj->isEnabled())
        return;
    if (!feIloscObrotow->LeaveField() || !feIloscObrotow->CheckIntValue())
        return;
    m_generator->CutOffWhenDone = cbOdcinajPoZakonczeniu->isChecked();
    m_generator->CloseWhenDone = cbZamkniOknoAut->isChecked();
    m_generator->KeepClosedFigures = cbZostawZamknieteFig->isChecked();
    m_generator->btnGenerujClick(static_cast<int>(std::lround(feIloscObrotow->GetValue())));
}

void TfGenSer::btnAnulujClick() { m_generator->btnAnulujClick(); }

void TfGenSer::reject()
{
    if (m_generator && !m_generator->CloseQuery())
        return;
    PlainForm::reject();
}

void TfGenSer::closeEvent(QCloseEvent* event)
{
    if (m_generator && !m_generator->CloseQuery()) {
        event->ignore();
        return;
    }
    PlainForm::closeEvent(event);
}

void TfGenSer::showEvent(QShowEvent* event)
{
    TntFormShow();
    PlainForm::showEvent(event);
    btnPlikRaw->setFocus();
}

void TfGenSer::TntFormShow()
{
    if (HasSwitch("touchPanel"))
        EnableTouchInput(this);
}

bool TfGenSer::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key->key() == Qt::Key_F3) {
            btnPlikRawClick();
            return true;
        }
        if (key->key() == Qt::Key_F12) {
            const auto all = Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier;
            if ((key->modifiers() & all) == all)
                cbZostawZamknieteFig->setVisible(!cbZostawZamknieteFig->isVisible());
            return true;
        }
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == gbModel3D)
            btnModelInfoClick();
        else if (watched == ePlik || watched == RAWview1)
            btnPlikRawClick();
        break;
    case QEvent::Resize:
        if (watched == RAWview1) {
            RAWview1->DostosujDoRozmiaruOkna();
            RAWview1->PokazScene();
        }
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        // The caption of what has the focus is bold.
        const bool in = event->type() == QEvent::FocusIn;
        if (watched == btnPlikRaw)
            SetBold(lPlik, in);
        else if (watched == feIloscObrotow)
            SetBold(lIloscObrotow, in);
        else if (watched == cbOdcinajPoZakonczeniu || watched == cbZamkniOknoAut || watched == cbZostawZamknieteFig)
            SetBold(static_cast<QWidget*>(watched), in);
        break;
    }
    default:
        break;
    }
    return PlainForm::eventFilter(watched, event);
}

void ShowGenSer(int x, int y, GenSerJobHooks jobs, QWidget* parent, TfGenSer** shown)
{
    // A fresh window each time: no model or series is carried over.
    GenSerFileName.clear();
    TfGenSer form(parent, std::move(jobs));
    // The corner of its frame, title bar and borders included, by its
    // laid-out size; the window rules keep it on the screen.
    form.adjustSize();
    const QSize outer = form.size().grownBy(WindowRules::FrameMargins(&form));
    form.move(std::max(0, x - outer.width()), std::max(0, y - outer.height()));
    if (shown)
        *shown = &form;
    form.exec();
    if (shown)
        *shown = nullptr;
}


TfModelInfo::TfModelInfo(QWidget* parent) : PlainForm("TfModelInfo", parent)
{
    setWindowTitle(Tr("ModelInfo", "caption"));
    lZrodlo = NamedLabel(this, "lZrodlo");
    pZrodlo = ValuePanel(this, "pZrodlo");
    pZrodlo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lRozmiarPliku = NamedLabel(this, "lRozmiarPliku");
    lSzerokoscX = NamedLabel(this, "lSzerokoscX");
    pSzerokoscX = ValuePanel(this, "pSzerokoscX");
    lSzerokoscXJm = NamedLabel(this, "lSzerokoscXJm");
    lDlugoscY = NamedLabel(this, "lDlugoscY");
    pDlugoscY = ValuePanel(this, "pDlugoscY");
    lDlugoscYJm = NamedLabel(this, "lDlugoscYJm");
    lWysokoscZ = NamedLabel(this, "lWysokoscZ");
    pWysokoscZ = ValuePanel(this, "pWysokoscZ");
    lWysokoscZJm = NamedLabel(this, "lWysokoscZJm");
    pXmin = ValuePanel(this, "pXmin");
    pXmax = ValuePanel(this, "pXmax");
    pYmin = ValuePanel(this, "pYmin");
    pYmax = ValuePanel(this, "pYmax");
    pZmin = ValuePanel(this, "pZmin");
    pZmax = ValuePanel(this, "pZmax");
    lXminJm = NamedLabel(this, "lXminJm");
    lXmaxJm = NamedLabel(this, "lXmaxJm");
    lYminJm = NamedLabel(this, "lYminJm");
    lYmaxJm = NamedLabel(this, "lYmaxJm");
    lZminJm = NamedLabel(this, "lZminJm");
    lZmaxJm = NamedLabel(this, "lZmaxJm");
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TfModelInfo::btnOKClick);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lZrodlo, 0, 0);
    grid->addWidget(pZrodlo, 0, 1, 1, 4);
    grid->addWidget(lRozmiarPliku, 1, 1, 1, 4);
    const std::array<std::array<QLabel*, 3>, 3> sizes{{{lSzerokoscX, pSzerokoscX, lSzerokoscXJm},
                                                       {lDlugoscY, pDlugoscY, lDlugoscYJm},
                                                       {lWysokoscZ, pWysokoscZ, lWysokoscZJm}}};
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c)
            grid->addWidget(sizes[i][c], 2 + i, c);
    grid->addWidget(NamedLabel(this, "lMin", QStringLiteral("min")), 5, 1);
    grid->addWidget(NamedLabel(this, "lMax", QStringLiteral("max")), 5, 3);
    const std::array<std::array<QLabel*, 4>, 3> extents{{{pXmin, lXminJm, pXmax, lXmaxJm},
                                                         {pYmin, lYminJm, pYmax, lYmaxJm},
                                                         {pZmin, lZminJm, pZmax, lZmaxJm}}};
    const char* const axes[3] = {"X:", "Y:", "Z:"};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(QString::fromLatin1(axes[i]), this), 6 + i, 0);
        for (int c = 0; c < 4; ++c)
            grid->addWidget(extents[i][c], 6 + i, 1 + c);
    }
    grid->addWidget(btnOK, 9, 0, 1, 5, Qt::AlignHCenter);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void TfModelInfo::showEvent(QShowEvent* event)
{
    TntFormShow();
    PlainForm::showEvent(event);
}

void TfModelInfo::TntFormShow()
{
    SetFormUnits(this);
    const int unit = Settings().ItemIndex("radiounit");
    const QString unitText = QStringLiteral(" [") + UnitName(unit) + QLatin1Char(']');
    for (QLabel* label : {lSzerokoscXJm, lDlugoscYJm, lWysokoscZJm, lXminJm, lXmaxJm, lYminJm, lYmaxJm, lZminJm,
                          lZmaxJm})
        label->setText(unitText);
    setWindowTitle(Tr("ModelInfo", "caption"));
    lZrodlo->setText(Tr("ModelInfo", "lZrodlo.Caption"));
    lSzerokoscX->setText(Tr("ModelInfo", "lSzerokoscX.Caption"));
    lDlugoscY->setText(Tr("ModelInfo", "lDlugoscY.Caption"));
    lWysokoscZ->setText(Tr("ModelInfo", "lWysokoscZ.Caption"));

    pZrodlo->setText(QFileInfo(Model.FileName).fileName());
    pZrodlo->setToolTip(Model.FileName);
    // The file may have gone since it was read: its size is left blank then.
    QString size;
    try {
        size = FileSizeText(Model.FileName);
    } catch (const std::runtime_error&) {
    }
    lRozmiarPliku->setText(size);
    pSzerokoscX->setText(LengthText(unit, Model.xmax - Model.xmin));
    pDlugoscY->setText(LengthText(unit, Model.ymax - Model.ymin));
    pWysokoscZ->setText(LengthText(unit, Model.zmax - Model.zmin));
    pXmin->setText(LengthText(unit, Model.xmin));
    pXmax->setText(LengthText(unit, Model.xmax));
    pYmin->setText(LengthText(unit, Model.ymin));
    pYmax->setText(LengthText(unit, Model.ymax));
    pZmin->setText(LengthText(unit, Model.zmin));
    pZmax->setText(LengthText(unit, Model.zmax));
}

void TfModelInfo::btnOKClick() { accept(); }

void ShowModelInfo(int left, int top, const TModel& model)
{
    TfModelInfo form;
    form.move(left, top);
    form.Model = model;
    form.exec();
}

TfZaginacz::TfZaginacz(QWidget* parent) : PlainForm("TfZaginacz", parent)
{
    setWindowTitle(Tr("Arch_cutting", "caption"));
    lSzerMat = NamedLabel(this, "lSzerMat", Tr("Arch_cutting", "lSzerMat.caption"));
    lGlebokoscNaciecJm = NamedLabel(this, "lGlebokoscNaciecJm", "[" + UnitName(CurrentLengthUnit) + "]");
    feuGlebokoscNaciec = new TFloatEditU(this);
    feuGlebokoscNaciec->setObjectName("feuGlebokoscNaciec");
    feuGlebokoscNaciec->SetMinValue(0);
    feuGlebokoscNaciec->SetMaxValue(9999);
    feuGlebokoscNaciec->SetFfFormat(ffFixed);
    // Each unit steps by a round amount of its own; the unit's decimals (1 for
    // mm, 2 for inches, 3 for feet) come with it.
    if (CurrentLengthUnit == 1)
        feuGlebokoscNaciec->SetIncrement(UnitToMm(1, 1));
    else if (CurrentLengthUnit == 2)
        feuGlebokoscNaciec->SetIncrement(UnitToMm(2, 0.1));
    else
        feuGlebokoscNaciec->SetIncrement(100);
    feuGlebokoscNaciec->ApplyCurrentUnit();

    btnGeneruj = new QPushButton(Tr("Arch_cutting", "btnGeneruj.caption"), this);
    btnGeneruj->setObjectName("btnGeneruj");
    btnGeneruj->setDefault(true);
    btnAnuluj = new QPushButton(Tr("Configuration", "cancel.caption"), this);
    btnAnuluj->setObjectName("btnAnuluj");
    btnAnuluj->setAutoDefault(false);
    connect(btnGeneruj, &QPushButton::clicked, this, &TfZaginacz::btnGenerujClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &TfZaginacz::btnAnulujClick);
    for (QWidget* w : {static_cast<QWidget*>(feuGlebokoscNaciec), static_cast<QWidget*>(btnGeneruj),
                       static_cast<QWidget*>(btnAnuluj)})
        w->installEventFilter(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lSzerMat, 0, 0);
    grid->addWidget(feuGlebokoscNaciec, 0, 1);
    grid->addWidget(lGlebokoscNaciecJm, 0, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnGeneruj);
    buttons->addWidget(btnAnuluj);
    grid->addLayout(buttons, 1, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

bool TfZaginacz::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
        if (watched == feuGlebokoscNaciec && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (!feuGlebokoscNaciec->LeaveField())
                return true;
            btnGeneruj->setFocus();
            btnGenerujClick();
            return true;
        }
    }
    return PlainForm::eventFilter(watched, event);
}

void TfZaginacz::btnGenerujClick()
{
    // What is still being typed counts.
    if (!feuGlebokoscNaciec->LeaveField())
        return;
    const double depth = feuGlebokoscNaciec->GetValue();
    if (!SourceJob)
        return;
    ProfileBender bender(&SourceJob->Job());
    if (!bender.CheckSourceCurve(depth)) {
        feuGlebokoscNaciec->setFocus();
        return;
    }
    if (ResultJob)
        ResultJob->CloseWindow();
    ResultJob = nullptr;
    TMDIChild* result = NewJobWindow ? NewJobWindow() : nullptr;
    if (!result)
        return;
    ResultJob = result;
    const QString sourceCaption = SourceJob->windowTitle();
    result->SetCaption(sourceCaption + " : " + Tr("Arch_cutting", "caption"));
    result->Job().InputFileType = SourceJob->Job().InputFileType;
    auto* resultFrame = qobject_cast<QMdiSubWindow*>(result->parentWidget());
    if (resultFrame)
        resultFrame->showMaximized();
    NotchesOverlap = bender.BuildStripJob(result->Job(), depth) ? 1 : 0;
    result->View()->update();
    if (!NotchesOverlap) {
        accept();
        return;
    }
    // The faulty strip stays beside its source for a look; a new Generate replaces it.
    const QString invalid = Tr("Arch_cutting", "blednyPrzebieg");
    result->SetCaption("!!! " + invalid + " !!!  " + sourceCaption);
    auto* sourceFrame = qobject_cast<QMdiSubWindow*>(SourceJob->parentWidget());
    if (resultFrame && sourceFrame) {
        resultFrame->showNormal();
        resultFrame->setGeometry(sourceFrame->geometry());
    }
    ShowMessageBox(Tr("Arch_cutting", "bledneParametryDlaKrzywej") + "\r\n\r\n" + Tr("Arch_cutting", "zmienParametry") +
                       " '" + Tr("Arch_cutting", "lSzerMat.caption") + "' ",
                   true, Tr("Arch_cutting", "caption") + " : " + invalid);
    feuGlebokoscNaciec->setFocus();
}

void TfZaginacz::btnAnulujClick() { reject(); }

void ShowZaginacz(TMDIChild* source, std::function<TMDIChild*()> newJobWindow)
{
    if (!source)
        return;
    TfZaginacz form(source->window());
    form.SourceJob = source;
    form.NewJobWindow = std::move(newJobWindow);
    form.exec();
}
