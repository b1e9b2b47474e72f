#include "machine/ui/MaterialDialog.h"

#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

TfFigNaMat::TfFigNaMat(QWidget* parent, Machine& machine, TJob& job, std::function<void(bool)> busyCursor)
    : PlainForm("TfFigNaMat", parent), m_logic(machine, Settings(), job, std::move(busyCursor))
{
    setWindowTitle(QString::fromUtf8("Ustawienia materiału"));
    auto* grid = new QGridLayout(this);
    auto label = [&](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto edit = [&](const char* name) {
        auto* e = new TFloatEditU(this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    lSzerPlotera = label("lSzerPlotera");
    pSzerPlotera = label("pSzerPlotera");
    pSzerPlotera->setFrameShape(QFrame::Panel);
    pSzerPlotera->setFrameShadow(QFrame::Sunken);
    lSzerPloteraJm = label("lSzerPloteraJm");
    lSzerMat = label("lSzerMat");
    feuSzerMat = edit("feuSzerMat");
    lSzerMatJm = label("lSzerMatJm");
    lOdlMatOdFrontu = label("lOdlMatOdFrontu");
    feuOdlMatOdFrontu = edit("feuOdlMatOdFrontu");
    lOdlMatOdFrontuJm = label("lOdlMatOdFrontuJm");
    grid->addWidget(lSzerPlotera, 0, 0);
    grid->addWidget(pSzerPlotera, 0, 1);
    grid->addWidget(lSzerPloteraJm, 0, 2);
    grid->addWidget(lSzerMat, 1, 0);
    grid->addWidget(feuSzerMat, 1, 1);
    grid->addWidget(lSzerMatJm, 1, 2);
    grid->addWidget(lOdlMatOdFrontu, 2, 0);
    grid->addWidget(feuOdlMatOdFrontu, 2, 1);
    grid->addWidget(lOdlMatOdFrontuJm, 2, 2);
    auto* buttons = new QHBoxLayout;
    btnDalej = new QPushButton("&Start", this);
    btnDalej->setObjectName("btnDalej");
    btnDalej->setDefault(true);
    btnAnuluj = new QPushButton(this);
    btnAnuluj->setObjectName("btnAnuluj");
    buttons->addStretch();
    buttons->addWidget(btnDalej);
    buttons->addWidget(btnAnuluj);
    grid->addLayout(buttons, 3, 0, 1, 3);
    connect(btnDalej, &QPushButton::clicked, this, &TfFigNaMat::btnDalejClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TfFigNaMat::~TfFigNaMat() = default;

void TfFigNaMat::FormCreate()
{
    const char* section = "Independent_start_dialog";
    setWindowTitle(Tr(section, "fFigNaMat.caption"));
    lSzerPlotera->setText(Tr(section, "lSzerPlotera.caption"));
    lSzerMat->setText(Tr(section, "lSzerMat.caption"));
    lOdlMatOdFrontu->setText(Tr(section, "lOdlMatOdFrontu.caption"));
    btnAnuluj->setText(Tr("Base_points", "anuluj.Caption"));
    btnDalej->setText(Tr("Main_window", "Start1.Caption"));

    const int32_t unit = CurrentLengthUnit;
    pSzerPlotera->setText(FloatToStrF(MmToUnit(unit, MachineWidth), ffFixed, 7, UnitDecimalsFor(unit)));
    const QString unitLabel = "[" + UnitName(unit) + "]";
    for (QLabel* l : {lSzerPloteraJm, lSzerMatJm, lOdlMatOdFrontuJm})
        l->setText(unitLabel);

    const int decimals = unit == 1 ? 2 : unit == 2 ? 3 : 1;
    const double step = unit == 1 ? 25.4 : unit == 2 ? 30.48 : 100.0;
    for (TFloatEditU* e : {feuSzerMat, feuOdlMatOdFrontu}) {
        e->SetMinValue(0);
        e->SetMaxValue(MachineWidth);
        e->SetIncrement(step);
        e->SetDigit(decimals);
        e->installEventFilter(this);
    }
    feuSzerMat->SetValue(MaterialWidth > 0 ? MaterialWidth : 500.0);
    feuOdlMatOdFrontu->SetValue(MaterialFrontOffset > 0 ? MaterialFrontOffset : 0.0);
    feuSzerMat->ApplyCurrentUnit();
    feuOdlMatOdFrontu->ApplyCurrentUnit();
}

void TfFigNaMat::btnDalejClick()
{
    // What is typed but not yet left counts.
    if (!feuSzerMat->LeaveField() || !feuOdlMatOdFrontu->LeaveField())
        return;
    if (m_logic.btnDalejClick(feuSzerMat->GetValue(), feuOdlMatOdFrontu->GetValue()))
        accept();
}

bool TfFigNaMat::feuSzerMatKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        btnDalejClick();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return false;
}

bool TfFigNaMat::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == feuSzerMat || watched == feuOdlMatOdFrontu) && event->type() == QEvent::KeyPress &&
        feuSzerMatKeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return PlainForm::eventFilter(watched, event);
}

void TfFigNaMat::keyPressEvent(QKeyEvent* event)
{
    if (!feuSzerMatKeyDown(event))
        PlainForm::keyPressEvent(event);
}

void TfFigNaMat::done(int result)
{
    m_logic.Closed(result == QDialog::Accepted);
    PlainForm::done(result);
}

bool ShowMaterialDialog(QWidget* parent, Machine& machine, TJob& job, std::function<void(bool)> busyCursor)
{
    if (!IsMergedTwoProfileJob(job)) {
        ShowMessageBox(Tr("Main_window", "RoiloscFigurJednakowa"), true);
        return false;
    }
    TfFigNaMat dialog(parent, machine, job, std::move(busyCursor));
    return dialog.ShowModalOk();
}
