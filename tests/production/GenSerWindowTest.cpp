// The generator window over real job windows: a model read, a short series
// run from the buttons, the view turned at each step, Escape refused during a
// step.
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/widgets/FloatEdit.h"
#include "job/ui/MDIChild.h"
#include "machine/MachineConstants.h"
#include "production/SerialGenerator.h"
#include "production/ui/ProductionForms.h"
#include "production/ui/RAWview.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {
// A box the operator leaves up: the series runs on under it, as under any
// modal box, and the step in hand is reported when it opens.
class BoxLeftOpen : public ScriptedPresenter {
public:
    std::function<void()> whileOpen;
    void Show(const MessageRequest& request) override
    {
        ScriptedPresenter::Show(request);
        if (whileOpen)
            whileOpen();
    }
};

// Pixels of the lit model (red), not the black background or the thin axes.
int ModelPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.red() > 60 && c.green() < 40 ? 1 : 0;
        }
    return n;
}
}  // namespace

TEST(GenSerWindow, ASeriesFromTheButtonsMakesCaptionedJobWindowsAndEscapeWaitsForTheStep)
{
    App();
    ScopedTranslator tr;
    BoxLeftOpen boxes;
    Settings().Reset();
    ResetMachineConstants();
    QTemporaryDir dir;
    const QString model = dir.filePath("vase.raw");
    {
        QFile out(model);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("0 0 0 20 0 0 20 30 0\n0 0 0 20 30 0 0 30 0\n"
                  "0 0 0 0 0 8 0 30 8\n20 0 0 20 0 8 20 30 8\n");
    }
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    GenSerJobHooks jobs;
    TfGenSer* generator = nullptr;
    QImage secondStepView;
    jobs.NewJobWindow = [&] {
        // What the view shows once the first step has turned it.
        if (area.subWindowList().size() == 1)
            secondStepView = generator->RAWview1->grabFramebuffer();
        auto* child = new TMDIChild;
        area.addSubWindow(child)->show();
        return child;
    };
    jobs.CloseAllClick = [&] { area.closeAllSubWindows(); };
    TfGenSer form(nullptr, jobs);
    generator = &form;
    form.show();
    auto waitIdle = [&] {
        QElapsedTimer guard;
        guard.start();
        while ((form.Generator().Busy() || form.Generator().Running) && guard.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    EXPECT_FALSE(form.btnGeneruj->isEnabled());
    form.Generator().ChooseModelFile(model);
    EXPECT_FALSE(form.btnPlikRaw->isEnabled()) << "no second model while one is read";
    EXPECT_TRUE(form.RAWview1->Locked);
    waitIdle();
    EXPECT_TRUE(form.btnGeneruj->isEnabled());
    EXPECT_TRUE(form.btnModelInfo->isEnabled());
    EXPECT_FALSE(form.RAWview1->Locked);
    EXPECT_EQ(form.RAWview1->Triangles(), &ModelTriangles);

    const QImage startView = form.RAWview1->grabFramebuffer();
    ASSERT_GT(ModelPixels(startView), startView.width() * startView.height() / 50);
    form.feIloscObrotow->SetValue(3);
    QTest::mouseClick(form.btnGeneruj, Qt::LeftButton);
    EXPECT_FALSE(form.btnPlikRaw->isEnabled() || form.feIloscObrotow->isEnabled() || form.btnGeneruj->isEnabled());
    // Escape during a step is refused, and the refusal is left up until the
    // series has ended: the window still closes as asked.
    bool keptWhenTold = false;
    boxes.whileOpen = [&] {
        keptWhenTold = form.isVisible();
        waitIdle();
    };
    QTest::keyClick(form.btnAnuluj, Qt::Key_Escape);
    EXPECT_TRUE(keptWhenTold) << "a running step keeps the window";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("SerialCutFrom3D", "zakonczGenPlikowWy"));
    waitIdle();
    EXPECT_GT(ModelPixels(secondStepView), startView.width() * startView.height() / 50) << "the view is drawn";
    EXPECT_NE(secondStepView, startView) << "the view is turned at each step";
    QStringList captions;
    for (QMdiSubWindow* sub : area.subWindowList(QMdiArea::CreationOrder))
        captions << sub->widget()->windowTitle();
    EXPECT_EQ(captions, QStringList({"vase [0.00 st]", "vase [60.00 st]", "vase [120.00 st]"}));
    EXPECT_EQ(Settings().Mode(), 2);
    EXPECT_FALSE(form.isVisible()) << "closed when the series is done";
}
