#include "production/ui/DuplicateDialog.h"

#include "app/CommandLine.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "job/Geometry.h"
#include "job/ui/JobView.h"
#include "job/ui/MDIChild.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfParDup* fParDup = nullptr;

namespace {
QString Text(const char* key) { return Tr("Duplication_parameters", key); }

QLabel* Label(QWidget* parent, const char* name, const char* key = nullptr)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    if (key)
        l->setText(Text(key));
    return l;
}

// A read-only field: sunken text the operator can't change.
QLabel* Field(QWidget* parent, const char* name)
{
    auto* l = Label(parent, name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(90);
    return l;
}

QPushButton* Button(QWidget* parent, const char* name, const char* key)
{
    auto* b = new QPushButton(Text(key), parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

TFltEdit* CountEdit(QWidget* parent, const char* name, double value)
{
    auto* e = new TFltEdit(parent);
    e->setObjectName(name);
    e->SetMinValue(0);
    e->SetMaxValue(1e9);
    e->SetDigit(0);  // as typed: half an element shows as such
    e->SetValue(value);
    return e;
}

TFltEditU* LengthEdit(QWidget* parent, const char* name)
{
    auto* e = new TFltEditU(parent);
    e->setObjectName(name);
    e->SetMinValue(0);
    e->SetMaxValue(1e9);
    return e;
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }
}  // namespace

TfParDup::TfParDup(QWidget* parent, TMDIChild* pattern, NewJobWindowHook newJobWindow)
    : PlainForm("fParDup", parent), PatternWindow(pattern), m_newJobWindow(std::move(newJobWindow))
{
    setWindowTitle(Text("fParDup.caption"));
    Decimals = UnitDecimalsFor(CurrentLengthUnit);

    gbWzorzec = new QGroupBox(Text("gbWzorzec.Caption"), this);
    gbWzorzec->setObjectName("gbWzorzec");
    lPlik = Label(gbWzorzec, "lPlik", "lPlik.Caption");
    lWymiary = Label(gbWzorzec, "lWymiary", "lWymiary.Caption");
    lSzerokosc = Label(gbWzorzec, "lSzerokosc", "lSzerokosc.Caption");
    lWysokosc = Label(gbWzorzec, "lWysokosc", "lWysokosc.Caption");
    ePlik = new QLineEdit(gbWzorzec);
    ePlik->setObjectName("ePlik");
    ePlik->setReadOnly(true);
    pWzorzecSzerokosc = Field(gbWzorzec, "pWzorzecSzerokosc");
    pWzorzecWysokosc = Field(gbWzorzec, "pWzorzecWysokosc");

    lIloscElemWWierszu = Label(this, "lIloscElemWWierszu", "lIloscElemWWierszu.Caption");
    lIloscWierszy = Label(this, "lIloscWierszy", "lIloscWierszy.Caption");
    lPrzesuniecieMdzyElem1 = Label(this, "lPrzesuniecieMdzyElem1", "lPrzesuniecieMdzyElem1.Caption");
    lPrzesuniecieMdzyElem2 = Label(this, "lPrzesuniecieMdzyElem2", "lPrzesuniecieMdzyElem2.Caption");
    lPrzesMdzyWierszami1 = Label(this, "lPrzesMdzyWierszami1", "lPrzesMdzyWierszami1.Caption");
    lPrzesMdzyWierszami2 = Label(this, "lPrzesMdzyWierszami2", "lPrzesMdzyWierszami2.Caption");
    lSzerCalegoProj = Label(this, "lSzerCalegoProj", "lSzerCalegoProj.Caption");
    lWysCalegoProj = Label(this, "lWysCalegoProj", "lWysCalegoProj.Caption");
    lOdlMdzyEl_i_laczPionowym = Label(this, "lOdlMdzyEl_i_laczPionowym", "lOdlMdzyEl_i_laczPionowym.Caption");
    lOdlMdzyEl_i_laczPoziomym = Label(this, "lOdlMdzyEl_i_laczPoziomym", "lOdlMdzyEl_i_laczPoziomym.Caption");
    pCalySzer = Field(this, "pCalySzer");
    pCalyWys = Field(this, "pCalyWys");

    feIloscElemWWierszu = CountEdit(this, "feIloscElemWWierszu", 2);
    feIloscWierszy = CountEdit(this, "feIloscWierszy", 1);
    feuPrzesuniecieMdzyElem = LengthEdit(this, "feuPrzesuniecieMdzyElem");
    feuPrzesMdzyWierszami = LengthEdit(this, "feuPrzesMdzyWierszami");
    feuOdlMdzyEl_i_laczPionowym = LengthEdit(this, "feuOdlMdzyEl_i_laczPionowym");
    feuOdlMdzyEl_i_laczPoziomym = LengthEdit(this, "feuOdlMdzyEl_i_laczPoziomym");

    const QString unit = "[" + UnitName(CurrentLengthUnit) + "]";
    for (int i = 0; i < 8; ++i) {
        auto* l = new QLabel(unit, i < 2 ? static_cast<QWidget*>(gbWzorzec) : this);
        l->setObjectName(QString("lJm%1").arg(i + 1));
        UnitLabels.push_back(l);
    }

    btnZatwierdz = Button(this, "btnZatwierdz", "btnZatwierdz.Caption");
    btnZatwierdz->setDefault(true);
    btnAnuluj = Button(this, "btnAnuluj", "btnAnuluj.Caption");
    btnParDomyslne = Button(this, "btnParDomyslne", "btnParDomyslne.Caption");

    auto* pattern_ = new QGridLayout(gbWzorzec);
    pattern_->addWidget(lPlik, 0, 0);
    pattern_->addWidget(ePlik, 0, 1, 1, 4);
    pattern_->addWidget(lWymiary, 1, 0);
    pattern_->addWidget(lSzerokosc, 1, 1);
    pattern_->addWidget(pWzorzecSzerokosc, 1, 2);
    pattern_->addWidget(UnitLabels[0], 1, 3);
    pattern_->addWidget(lWysokosc, 2, 1);
    pattern_->addWidget(pWzorzecWysokosc, 2, 2);
    pattern_->addWidget(UnitLabels[1], 2, 3);

    auto* grid = new QGridLayout;
    int row = 0;
    auto line = [&](QWidget* label, QWidget* second, QWidget* edit, QWidget* unitLabel) {
        auto* labels = new QVBoxLayout;
        labels->setSpacing(0);
        labels->addWidget(label);
        if (second)
            labels->addWidget(second);
        grid->addLayout(labels, row, 0);
        grid->addWidget(edit, row, 1);
        if (unitLabel)
            grid->addWidget(unitLabel, row, 2);
        ++row;
    };
    line(lIloscElemWWierszu, nullptr, feIloscElemWWierszu, nullptr);
    line(lPrzesuniecieMdzyElem1, lPrzesuniecieMdzyElem2, feuPrzesuniecieMdzyElem, UnitLabels[2]);
    line(lSzerCalegoProj, nullptr, pCalySzer, UnitLabels[3]);
    line(lIloscWierszy, nullptr, feIloscWierszy, nullptr);
    line(lPrzesMdzyWierszami1, lPrzesMdzyWierszami2, feuPrzesMdzyWierszami, UnitLabels[4]);
    line(lWysCalegoProj, nullptr, pCalyWys, UnitLabels[5]);
    line(lOdlMdzyEl_i_laczPionowym, nullptr, feuOdlMdzyEl_i_laczPionowym, UnitLabels[6]);
    line(lOdlMdzyEl_i_laczPoziomym, nullptr, feuOdlMdzyEl_i_laczPoziomym, UnitLabels[7]);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnParDomyslne);
    buttons->addStretch();
    buttons->addWidget(btnZatwierdz);
    buttons->addWidget(btnAnuluj);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gbWzorzec);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    for (NumericEdit* e : std::initializer_list<NumericEdit*>{
             feIloscElemWWierszu, feIloscWierszy, feuPrzesuniecieMdzyElem, feuPrzesMdzyWierszami,
             feuOdlMdzyEl_i_laczPionowym, feuOdlMdzyEl_i_laczPoziomym}) {
        e->installEventFilter(this);
        connect(e, &NumericEdit::valueEdited, this, &TfParDup::UpdateWholeSize);
        for (QLabel* l : LabelsOf(e))
            KeepWidthWhenBold(l);
    }
    connect(btnZatwierdz, &QPushButton::clicked, this, &TfParDup::btnZatwierdzClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnParDomyslne, &QPushButton::clicked, this, &TfParDup::btnParDomyslneClick);
}

QString TfParDup::Shown(double mm) const
{
    return FloatToStrF(MmToUnit(CurrentLengthUnit, mm), ffFixed, 15, Decimals) + " ";
}

DuplicationParams TfParDup::Params() const
{
    return {feIloscElemWWierszu->GetValue(),         feIloscWierszy->GetValue(),
            feuPrzesuniecieMdzyElem->GetValue(),     feuPrzesMdzyWierszami->GetValue(),
            feuOdlMdzyEl_i_laczPionowym->GetValue(), feuOdlMdzyEl_i_laczPoziomym->GetValue()};
}

void TfParDup::SetParams(const DuplicationParams& p)
{
    feIloscElemWWierszu->SetValue(p.ElementsPerRow);
    feIloscWierszy->SetValue(p.RowCount);
    feuPrzesuniecieMdzyElem->SetValue(p.SpacingX);
    feuPrzesMdzyWierszami->SetValue(p.SpacingY);
    feuOdlMdzyEl_i_laczPionowym->SetValue(p.GapVertical);
    feuOdlMdzyEl_i_laczPoziomym->SetValue(p.GapHorizontal);
    UpdateWholeSize();
}

void TfParDup::UpdateWholeSize()
{
    const DuplicationParams p = Params();
    pCalySzer->setText(Shown(p.ElementsPerRow * p.SpacingX));
    pCalyWys->setText(Shown(p.RowCount * p.SpacingY));
}

void TfParDup::Activate()
{
    SetFormUnits(this);
    const TJob& job = PatternWindow->Job();
    PatternWidth = StepsToMm(job.JobWidth);
    PatternHeight = StepsToMm(job.JobHeight);
    const QString caption = PatternWindow->windowTitle();
    ePlik->setText(caption);
    ePlik->setToolTip(caption);
    pWzorzecSzerokosc->setText(Shown(PatternWidth));
    pWzorzecWysokosc->setText(Shown(PatternHeight));
    DplFileName = DplFileNameFor(caption);
    DuplicationParams p = Params();
    if (HasParametersFolder(caption) && ReadDplFile(DplFileName, PatternWidth, PatternHeight, p))
        SetParams(p);
    else
        btnParDomyslneClick();
}

void TfParDup::btnParDomyslneClick()
{
    DuplicationParams p = Params();
    SetDefaultSpacing(p, PatternWidth, PatternHeight);
    SetParams(p);
    feIloscElemWWierszu->setFocus();
}

QWidget* TfParDup::EditOf(DuplicationField field) const
{
    switch (field) {
    case DuplicationField::ElementsPerRow: return feIloscElemWWierszu;
    case DuplicationField::RowCount: return feIloscWierszy;
    case DuplicationField::SpacingX: return feuPrzesuniecieMdzyElem;
    case DuplicationField::SpacingY: return feuPrzesMdzyWierszami;
    case DuplicationField::GapVertical: return feuOdlMdzyEl_i_laczPionowym;
    case DuplicationField::GapHorizontal: return feuOdlMdzyEl_i_laczPoziomym;
    case DuplicationField::None: break;
    }
    return nullptr;
}

void TfParDup::btnZatwierdzClick()
{
    // What is still being typed counts.
    for (NumericEdit* e : findChildren<NumericEdit*>())
        if (!e->LeaveField())
            return;
    const DuplicationParams params = Params();
    const DuplicationField failed = CheckDuplication(params, PatternWindow->Job());
    if (QWidget* edit = EditOf(failed)) {
        edit->setFocus();
        return;
    }
    if (TargetWindow)
        TargetWindow->CloseWindow();
    TargetWindow = m_newJobWindow ? m_newJobWindow() : nullptr;
    if (!TargetWindow)
        return;
    Grid = ConfirmDuplication(params);
    TargetWindow->SetCaption(DplFileName);
    TargetWindow->Job().InputFileType = PatternWindow->Job().InputFileType;
    if (BuildDuplicate(PatternWindow->Job(), Grid, TargetWindow->Job()) == PlainPlanner::Result::Cancelled) {
        // Half a grid is no job: the operator is back in the dialog.
        if (TargetWindow)
            TargetWindow->CloseWindow();
        TargetWindow = nullptr;
        return;
    }
    if (TargetWindow)
        TargetWindow->View()->update();
    // The grid stands whatever happens to its parameters file.
    if (HasParametersFolder(PatternWindow->windowTitle()) && !DplFileName.isEmpty())
        ReportWrite(WriteDplFile(DplFileName, Grid));
    accept();
}

QList<QLabel*> TfParDup::LabelsOf(QObject* edit) const
{
    if (edit == feIloscElemWWierszu) return {lIloscElemWWierszu};
    if (edit == feIloscWierszy) return {lIloscWierszy};
    if (edit == feuPrzesuniecieMdzyElem) return {lPrzesuniecieMdzyElem1, lPrzesuniecieMdzyElem2};
    if (edit == feuPrzesMdzyWierszami) return {lPrzesMdzyWierszami1, lPrzesMdzyWierszami2};
    if (edit == feuOdlMdzyEl_i_laczPionowym) return {lOdlMdzyEl_i_laczPionowym};
    if (edit == feuOdlMdzyEl_i_laczPoziomym) return {lOdlMdzyEl_i_laczPoziomym};
    return {};
}

bool TfParDup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        for (QLabel* l : LabelsOf(watched))
            SetBold(l, event->type() == QEvent::FocusIn);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (IsEnter(key) || key == Qt::Key_Escape) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return PlainForm::eventFilter(watched, event);
}

void TfParDup::keyPressEvent(QKeyEvent* event)
{
    if (IsEnter(event->key())) {
        event->accept();
        btnZatwierdzClick();
    } else if (event->key() == Qt::Key_Escape) {
        event->accept();
        reject();
    } else {
        PlainForm::keyPressEvent(event);
    }
}

void TfParDup::showEvent(QShowEvent* event)
{
    if (!m_activated) {
        m_activated = true;
        Activate();
        if (HasSwitch("touchPanel"))
            EnableTouchInput(this);
    }
    PlainForm::showEvent(event);
}

void ShowDuplicateDialog(QWidget* parent, TMDIChild* pattern, NewJobWindowHook newJobWindow)
{
    if (!pattern)
        return;
    delete fParDup;
    fParDup = new TfParDup(parent, pattern, std::move(newJobWindow));
    fParDup->exec();
    delete fParDup;
    fParDup = nullptr;
}
