#include "production/ui/ProductionForms.h"

#include "app/HostInfo.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
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
}
