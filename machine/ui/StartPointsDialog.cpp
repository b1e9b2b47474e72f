#include "machine/ui/StartPointsDialog.h"

#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "machine/MachineConstants.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* Panel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

TFloatEditU* Edit(QWidget* parent, const char* name)
{
    auto* e = new TFloatEditU(parent);
    e->setObjectName(name);
    return e;
}

QGroupBox* Group(QWidget* parent, const char* name, TFloatEditU* x, TFloatEditU* y, QLabel* maxX, QLabel* maxY)
{
    auto* g = new QGroupBox(parent);
    g->setObjectName(name);
    auto* grid = new QGridLayout(g);
    grid->addWidget(new QLabel("X", g), 0, 0);
    grid->addWidget(x, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("\u2264"), g), 0, 2);
    grid->addWidget(maxX, 0, 3);
    grid->addWidget(new QLabel("Y", g), 1, 0);
    grid->addWidget(y, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("\u2264"), g), 1, 2);
    grid->addWidget(maxY, 1, 3);
    return g;
}
}  // namespace

TfVeStartDlg::TfVeStartDlg(QWidget* parent, StartPointWindows windows)
    : PlainForm("fVeStartDlg", parent), m_windows(std::move(windows))
{
    setWindowTitle("Punkty startowe");
    feuFx = Edit(this, "feuFx");
    feuFy = Edit(this, "feuFy");
    feuSx = Edit(this, "feuSx");
    feuSy = Edit(this, "feuSy");
    pMaxFx = Panel(this, "pMaxFx");
    pMaxFy = Panel(this, "pMaxFy");
    pMaxSx = Panel(this, "pMaxSx");
    pMaxSy = Panel(this, "pMaxSy");
    gbFront = Group(this, "gbFront", feuFx, feuFy, pMaxFx, pMaxFy);
    gbBack = Group(this, "gbBack", feuSx, feuSy, pMaxSx, pMaxSy);
    btnDalej = new QPushButton("&Start", this);
    btnDalej->setObjectName("btnDalej");
    btnAnuluj = new QPushButton(this);
    btnAnuluj->setObjectName("btnAnuluj");
    // Enter in an edit is handled by the edits' own key handler, never by a
    // default button that would skip the check.
    btnDalej->setAutoDefault(false);
    btnAnuluj->setAutoDefault(false);

    auto* groups = new QHBoxLayout;
    groups->addWidget(gbFront);
    groups->addWidget(gbBack);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnDalej);
    buttons->addWidget(btnAnuluj);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);

    connect(btnDalej, &QPushButton::clicked, this, &TfVeStartDlg::btnDalejClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    for (TFloatEditU* e : {feuFx, feuFy, feuSx, feuSy})
        e->installEventFilter(this);
    FormCreate();
}

void TfVeStartDlg::FormCreate()
{
    setWindowTitle(Tr("Perpendicular_start_dialog", "fVeStartDlg.Caption"));
    const QString unit = " [" + UnitName(CurrentLengthUnit) + "] ";
    gbFront->setTitle(Tr("Control", "KeyFront.caption") + unit);
    gbBack->setTitle(Tr("Control", "VeKeyBack.caption") + unit);
    btnAnuluj->setText(Tr("Base_points", "anuluj.Caption"));
    btnDalej->setText(Tr("Main_window", "Start1.Caption"));

    const StartPointLimitTexts limits = StartPointLimits();
    pMaxFx->setText(limits.maxFx);
    pMaxFy->setText(limits.maxFy);
    pMaxSx->setText(limits.maxSx);
    pMaxSy->setText(limits.maxSy);

    // The step is one round length of the unit.
    const double step = CurrentLengthUnit == 1 ? 25.4 : CurrentLengthUnit == 2 ? 30.48 : 100.0;
    const StartPointValues now = CarriagePositions();
    const struct {
        TFloatEditU* edit;
        int32_t max;
        double value;
    } edits[] = {{feuFx, FrontLimitX, now.frontX},
                 {feuFy, FrontLimitY, now.frontY},
                 {feuSx, SideLimitX, now.sideX},
                 {feuSy, SideLimitY, now.sideY}};
    for (const auto& e : edits) {
        e.edit->SetIncrement(step);
        e.edit->SetMinValue(0);
        e.edit->SetMaxValue(e.max);
        e.edit->SetValue(e.value);
        e.edit->ApplyCurrentUnit();
    }
}

StartPointValues TfVeStartDlg::Values() const
{
    return {feuFx->GetValue(), feuFy->GetValue(), feuSx->GetValue(), feuSy->GetValue()};
}

bool TfVeStartDlg::CheckStartPoints()
{
    for (TFloatEditU* e : {feuFx, feuFy, feuSx, feuSy})
        if (!e->LeaveField())
            return false;
    switch (::CheckStartPoints(Settings(), m_windows, Values())) {
    case StartPointsResult::Accepted:
        return true;
    case StartPointsResult::FrontOutside:
        feuFx->setFocus();
        return false;
    case StartPointsResult::SideOutside:
        feuSx->setFocus();
        return false;
    case StartPointsResult::FrontClosed:
    case StartPointsResult::SideClosed:
        // Nothing is left to start: the pair is broken.
        reject();
        return false;
    }
    return false;
}

void TfVeStartDlg::btnDalejClick()
{
    if (!CheckStartPoints())
        return;
    StoreStartPoints(Values());
    accept();
}

bool TfVeStartDlg::eventFilter(QObject* watched, QEvent* event)
{
    // feuSyKeyDown: the key handler of all four edits.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto* edit = qobject_cast<TFloatEditU*>(watched); edit && !edit->LeaveField())
                return true;
            btnDalej->setFocus();
            btnDalejClick();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return PlainForm::eventFilter(watched, event);
}

bool ShowStartPointsDialog(QWidget* parent, const StartPointWindows& windows)
{
    if (StartPointWindowsOpen(windows) != StartPointsResult::Accepted)
        return false;
    TfVeStartDlg dialog(parent, windows);
    return dialog.ShowModalOk();
}
