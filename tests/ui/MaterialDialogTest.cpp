// The material dialog's window: what it refuses before it shows, what it
// offers, and that leaving it without a cut leaves no hot wire.
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/widgets/FloatEdit.h"
#include "job/Job.h"
#include "machine/MachineState.h"
#include "machine/ui/MaterialDialog.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class MaterialDialogTest : public MachineWorldTest, protected SimulatedRig {
protected:
    void SetUp() override
    {
        App();
        MachineWorldTest::SetUp();
        IdentifyMachine(m);
        MaterialWidth = MaterialFrontOffset = -1.0;
    }
    void TearDown() override
    {
        MaterialWidth = MaterialFrontOffset = -1.0;
        MachineWorldTest::TearDown();
    }
    ScopedTranslator translator;
    ScriptedPresenter boxes;
};

// A merged pair of profiles with `backPoints` points in the back one.
void MakePair(TJob& job, size_t backPoints)
{
    for (size_t n : {size_t{3}, backPoints}) {
        auto f = std::make_unique<tfigura>();
        for (size_t i = 0; i < n; ++i)
            f->AddPoint({static_cast<int32_t>(400 * i), 0});
        job.FigureList.push_back(std::move(f));
    }
    job.TwoProfile = 1;
}
}  // namespace

TEST_F(MaterialDialogTest, AJobThatIsNoMergedPairIsRefusedBeforeTheDialogShows)
{
    int dialogsShown = 0;
    // Should a dialog open after all, it is counted and closed.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++dialogsShown;
            static_cast<QDialog*>(modal)->reject();
        }
    });
    closer.start(10);
    TJob unequal, notMerged, empty;
    MakePair(unequal, 4);
    MakePair(notMerged, 3);
    notMerged.TwoProfile = 0;
    empty.TwoProfile = 1;
    for (TJob* job : {&unequal, &notMerged, &empty})
        EXPECT_FALSE(ShowMaterialDialog(nullptr, m, *job));
    EXPECT_EQ(dialogsShown, 0);
    ASSERT_EQ(boxes.shown.size(), 3u);
    for (const MessageRequest& box : boxes.shown)
        EXPECT_EQ(box.text, Tr("Main_window", "RoiloscFigurJednakowa"));
}

TEST_F(MaterialDialogTest, OffersTheLastValuesAndEscapeAfterTheHotMoveSwitchesTheHeaterOff)
{
    TJob job;
    MakePair(job, 3);
    MaterialWidth = 350;
    MaterialFrontOffset = 120;
    TfFigNaMat dialog(nullptr, m, job);
    EXPECT_DOUBLE_EQ(dialog.feuSzerMat->GetValue(), 350);
    EXPECT_DOUBLE_EQ(dialog.feuOdlMatOdFrontu->GetValue(), 120);

    dialog.show();
    EXPECT_TRUE(ReadPositions(m));
    dialog.Logic().PreMoveWires(20, 30);
    ASSERT_TRUE(sim.Status() & 0x4u) << "the move runs hot";
    QTest::keyClick(dialog.feuSzerMat, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(sim.Status() & 0x4u);
}
