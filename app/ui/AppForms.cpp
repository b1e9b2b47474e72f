#include "app/ui/AppForms.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/HostInfo.h"
#include "app/JobInfo.h"
#include "app/MemoryInfo.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/WholeFile.h"
#include "app/ui/Forms.h"
#include "app/ui/MainForm.h"
#include "job/ui/MDIChild.h"
#include "machine/CommandLayer.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr const char* kMemoryLabels[] = {
    "lTotalPhysMem",      "lAvailPhysMem",       "lTotalPageFile",    "lAvailPageFile",     "lTotalVirtual",
    "lAvailVirtual",      "lHSTotalAddrSpace",   "lHSTotalUncommitted", "lHSTotalCommitted", "lHSTotalAllocated",
    "lHSTotalFree",       "lHSFreeSmall",        "lHSFreeBig",        "lHSUnused",          "lHSOverhead"};

QLabel* NamedLabel(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}
}  // namespace

TfMemoryInfo::TfMemoryInfo(QWidget* parent) : PlainForm("TfMemoryInfo", parent)
{
    setWindowTitle(Tr("MemoryInfo", "caption"));
    auto* grid = new QGridLayout;
    int row = 0;
    for (const char* name : kMemoryLabels) {
        grid->addWidget(NamedLabel(this, name), row, 0);
        QLabel* value = NamedLabel(this, QString::fromLatin1(name) + "Val");
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(value, row++, 1);
    }
    btnOdswiez = new QPushButton(this);
    btnOdswiez->setObjectName("btnOdswiez");
    connect(btnOdswiez, &QPushButton::clicked, this, &TfMemoryInfo::btnOdswiezClick);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(btnOdswiez, 0, Qt::AlignHCenter);
}

QLabel* TfMemoryInfo::ValueLabel(const QString& name) const { return findChild<QLabel*>(name + "Val"); }

void TfMemoryInfo::btnOdswiezClick()
{
    const MemoryFigures f = ReadMemoryFigures();
    const uint64_t values[] = {f.totalPhys,          f.availPhys,          f.totalPageFile,      f.availPageFile,
                               f.totalVirtual,       f.availVirtual,       f.heapTotalAddrSpace, f.heapTotalUncommitted,
                               f.heapTotalCommitted, f.heapTotalAllocated, f.heapTotalFree,      f.heapFreeSmall,
                               f.heapFreeBig,        f.heapUnused,         f.heapOverhead};
    for (size_t i = 0; i < std::size(kMemoryLabels); ++i)
        ValueLabel(kMemoryLabels[i])->setText(KilobyteText(values[i], LanguageLocale()));
}

void TfMemoryInfo::showEvent(QShowEvent* event)
{
    btnOdswiezClick();
    setWindowTitle(Tr("MemoryInfo", "caption"));
    for (const char* name : kMemoryLabels)
        findChild<QLabel*>(name)->setText(Tr("MemoryInfo", name));
    btnOdswiez->setText(Tr("MemoryInfo", "btnOdswiez.Caption"));
    PlainForm::showEvent(event);
}

void ShowMemoryInfo()
{
    TfMemoryInfo form(MainForm);
    form.exec();
}

TAboutBox::TAboutBox(QWidget* parent, Machine* machine) : PlainForm("TAboutBox", parent), m_machine(machine)
{
    setWindowTitle(Tr("About", "Caption"));
    Labelprog = NamedLabel(this, "Labelprog");
    Labelver = NamedLabel(this, "Labelver");
    newVer = NamedLabel(this, "newVer");
    ver = NamedLabel(this, "ver");
    Labelprog->setText(Tr("About", "labelprog.caption") + " Pelvartonix");
    Labelver->setText(Tr("About", "Labelver.caption"));

    GroupBox1 = new QGroupBox(Tr("About", "GroupBox1.caption"), this);
    GroupBox1->setObjectName("GroupBox1");
    // One row per value: a hidden row closes its gap.
    auto* rows = new QGridLayout(GroupBox1);
    int row = 0;
    auto addRow = [&](QLabel*& caption, const char* captionName, const QString& text, QLabel*& value,
                      const char* valueName) {
        caption = NamedLabel(GroupBox1, captionName);
        caption->setText(text);
        value = NamedLabel(GroupBox1, valueName);
        rows->addWidget(caption, row, 0);
        rows->addWidget(value, row++, 1);
    };
    addRow(Labelprod, "Labelprod", Tr("About", "Labelprod.caption"), prod, "prod");
    addRow(Labelmodel, "Labelmodel", Tr("About", "Labelmodel.caption"), model, "model");
    addRow(Labelobszar, "Labelobszar", Tr("About", "Labelobszar.caption"), obszarFront, "obszarFront");
    addRow(LabelObszarSide, "LabelObszarSide", Tr("Control", "VeKeyBack.caption"), obszarSide, "obszarSide");
    addRow(labelSzerokosc, "labelSzerokosc", Tr("Independent_start_dialog", "lSzerPlotera.caption"), szerokosc,
           "szerokosc");
    addRow(Labelprzebieg, "Labelprzebieg", Tr("About", "Labelprzebieg.caption"), przebieg, "przebieg");
    addRow(Labelilpl, "Labelilpl", Tr("About", "Labelilpl.caption"), ilpl, "ilpl");
    addRow(LabelARMwersja, "LabelARMwersja", "CPU ver. :", ARMwersja, "ARMwersja");
    rows->setColumnStretch(1, 1);

    pLogo = new QWidget(this);
    pLogo->setObjectName("pLogo");
    dealer = NamedLabel(pLogo, "dealer");
    (new QHBoxLayout(pLogo))->addWidget(dealer, 0, Qt::AlignCenter);
    pLink = new QWidget(this);
    pLink->setObjectName("pLink");
    lWWW = NamedLabel(pLink, "lWWW");
    lWWW->setCursor(Qt::PointingHandCursor);
    (new QHBoxLayout(pLink))->addWidget(lWWW, 0, Qt::AlignCenter);

    auto* head = new QGridLayout;
    head->addWidget(Labelprog, 0, 0, 1, 3);
    head->addWidget(Labelver, 1, 0);
    head->addWidget(newVer, 1, 1);
    head->addWidget(ver, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(GroupBox1);
    layout->addWidget(pLogo);
    layout->addWidget(pLink);

    m_brand = AboutBrandFor(DealerBrandName);
    lWWW->setText(m_brand.link);
    dealer->setToolTip(m_brand.link);
    pLink->setVisible(!m_brand.link.isEmpty());
    Labelprod->setVisible(m_brand.showMaker);
    prod->setVisible(m_brand.showMaker);
    QPixmap logo;
    // Only a plain file: a pipe in its place would hold the window's opening.
    const bool hasLogo = !m_brand.logoFile.isEmpty() && NotPlainFileReason(m_brand.logoFile).isEmpty() &&
                         logo.load(m_brand.logoFile);
    if (hasLogo)
        dealer->setPixmap(logo);
    pLogo->setVisible(hasLogo);
    lWWW->installEventFilter(this);
    dealer->installEventFilter(this);

    OpenLink = [](const QString& address) { QDesktopServices::openUrl(QUrl::fromUserInput(address)); };
}

void TAboutBox::Activate()
{
    setWindowTitle(Tr("About", "Caption"));
    newVer->setText(VersionText(true, true));
    ver->setText(BuildDateText);
    // The program's box asks the machine the main window talks to.
    Machine* machine = m_machine ? m_machine : MainForm ? &MainForm->AttachedMachine() : nullptr;
    const AboutMachineTexts t = machine ? ReadAboutMachine(*machine, HasSwitch("noXside")) : AboutWithoutMachine();
    prod->setText(t.prod);
    model->setText(t.model);
    obszarFront->setText(t.obszarFront);
    obszarSide->setText(t.obszarSide);
    szerokosc->setText(t.szerokosc);
    przebieg->setText(t.przebieg);
    ilpl->setText(t.ilpl);
    ARMwersja->setText(t.ARMwersja);
    labelSzerokosc->setVisible(t.showWidth);
    szerokosc->setVisible(t.showWidth);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    Activate();
    PlainForm::showEvent(event);
}

void TAboutBox::mousePressEvent(QMouseEvent* event)
{
    // A click anywhere on the box (the group's clicks come up to it) closes it,
    // with whichever button.
    event->accept();
    accept();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == lWWW || watched == dealer) && event->type() == QEvent::MouseButtonPress) {
        if (!m_brand.link.isEmpty() && OpenLink)
            OpenLink(m_brand.link);
        return true;
    }
    return PlainForm::eventFilter(watched, event);
}

Tinfoform::Tinfoform(QWidget* parent) : PlainForm("Tinfoform", parent)
{
    setWindowTitle(QString(Tr("Main_window", "info.Caption")).remove('&'));
    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const char* captionName, const char* key, QLabel*& value, const char* valueName) {
        QLabel* caption = NamedLabel(this, captionName);
        caption->setText(Tr("Info", key));
        value = NamedLabel(this, valueName);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row++, 1);
    };
    addRow("Labelfile", "Labelfile.caption", fname, "fname");
    addRow("Labelkonf", "Labelkonf.caption", konfigname, "konfigname");
    addRow("Labelszer", "Labelszer.caption", szerokosc, "szerokosc");
    addRow("Labelwys", "Labelwys.caption", wysokosc, "wysokosc");
    addRow("Labeldlug", "Labeldlug.caption", totlen, "totlen");
    addRow("Labeltime", "Labeltime.caption", total_time, "total_time");
    grid->setColumnStretch(1, 1);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void Tinfoform::Refresh()
{
    TMDIChild* child = MainForm ? MainForm->ActiveJob() : nullptr;
    if (!child)
        return;
    const TJob& job = child->Job();
    const TDlgkonfigModel& s = Settings();
    JobInfoInput in;
    in.widthSteps = job.JobWidth;
    in.heightSteps = job.JobHeight;
    in.totalLengthSteps = job.TotalLength;
    in.figureCount = job.FigureList.size();
    in.mode = s.Mode();
    in.skala = s.Skala();
    in.repeats = s.Value("ilosckrokow");
    in.unit = CurrentLengthUnit;
    in.cutSpeed = CurrentCutSpeed();
    const JobInfoTexts t = MakeJobInfo(in);
    fname->setText(child->windowTitle());
    konfigname->setText(Dlgkonfig ? Dlgkonfig->windowTitle() : QString());
    szerokosc->setText(t.width);
    wysokosc->setText(t.height);
    totlen->setText(t.length);
    total_time->setText(t.time);
}

void Tinfoform::showEvent(QShowEvent* event)
{
    Refresh();
    PlainForm::showEvent(event);
}
