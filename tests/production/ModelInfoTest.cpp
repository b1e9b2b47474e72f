#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "production/ui/ProductionForms.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace {

QString Text(const TfModelInfo& form, const char* name)
{
    auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<none>");
}

}  // namespace

TEST(ModelInfo, ShowsSizesAndExtentsInTheChosenUnitAndTheFileSize)
{
    App();
    ScopedTranslator translator;
    TempProgramDir dir(false);
    Settings().Reset();
    Settings().SetItemIndex("radiounit", 1);
    const QString sep = DecimalSeparator();

    TfModelInfo form;
    form.Model.FileName = dir.Write("bracket.raw", QByteArray(2048, 'x'));
    form.Model.xmin = -25.4;
    form.Model.xmax = 74.6;
    form.Model.ymin = 0;
    form.Model.ymax = 12.7;
    form.Model.zmin = 10;
    form.Model.zmax = 20;
    form.TntFormShow();
    EXPECT_EQ(Text(form, "pSzerokoscX"), "3" + sep + "94 ");
    EXPECT_EQ(Text(form, "pDlugoscY"), "0" + sep + "50 ");
    EXPECT_EQ(Text(form, "pXmin"), "-1" + sep + "00 ");
    EXPECT_EQ(Text(form, "pZmax"), "0" + sep + "79 ");
    EXPECT_EQ(Text(form, "lZmaxJm"), " [in]");
    EXPECT_EQ(Text(form, "lSzerokoscXJm"), " [in]");
    EXPECT_EQ(Text(form, "lRozmiarPliku"), "2KB");
    EXPECT_EQ(Text(form, "pZrodlo"), "bracket.raw");
    EXPECT_EQ(form.pZrodlo->toolTip(), form.Model.FileName);
    EXPECT_EQ(Text(form, "lSzerokoscX"), "Width (X):");

    // Shown again after a change to millimetres and another file.
    Settings().SetItemIndex("radiounit", 0);
    form.Model.FileName = dir.Write("small.raw", QByteArray(1000, 'x'));
    form.TntFormShow();
    EXPECT_EQ(Text(form, "pSzerokoscX"), "100" + sep + "0 ");
    EXPECT_EQ(Text(form, "lYminJm"), " [mm]");
    EXPECT_EQ(Text(form, "lRozmiarPliku"), "1000b");

    // A file gone since it was read leaves the size blank.
    form.Model.FileName = dir.File("gone.raw");
    form.TntFormShow();
    EXPECT_EQ(Text(form, "lRozmiarPliku"), "");
    Settings().Reset();
}
