#include "production/ui/ProductionForms.h"

#include "app/HostInfo.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "job/ui/JobView.h"
#include "production/ProfileBender.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <array>
#include <stdexcept>

TfGenSer::TfGenSer(QWidget* parent) : PlainForm("TfGenSer", parent)
{
    setWindowTitle(Tr("Main_window", "miGenSeryjnego3D.caption"));
    setModal(false);
}

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
            feuGlebokoscNaciec->LeaveField();
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
    feuGlebokoscNaciec->LeaveField();
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
