// START through the transverse start-points dialog and the serial-cut
// parameters dialog, against the simulated controller on virtual time: the
// dialogs are answered as an operator would, and the file START writes is
// streamed to the controller.
#include "app/Globals.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/CutState.h"
#include "job/Job.h"
#include "machine/CutStart.h"
#include "machine/MachineOperations.h"
#include "machine/SimulatedController.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"
#include "machine/ui/StartPointsDialog.h"
#include "production/ui/SerialCutDialog.h"
#include "app/widgets/FloatEdit.h"
#include "tests/support/CommandFile.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <array>
#include <functional>
#include <gtest/gtest.h>

namespace {
const QByteArray kSquare = "PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;";

class StartDialogsTest : public MachineWorldTest, protected SimulatedRig {
protected:
    void SetUp() override
    {
        App();
        MachineWorldTest::SetUp();
        Settings().SetChecked("AddFrame", false);
        PointTolerance = 10.0;
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        JobFileMode = 32;
        IdentifyMachine(m);
        ops.bazujClick();
        EXPECT_TRUE(ReadStatus(m));
        ASSERT_TRUE(PlotState.Homed());
    }
    void TearDown() override
    {
        SerialRepeats = 0;
        SerialShiftDown = 0;
        SerialRepeatActive = false;
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        MachineWorldTest::TearDown();
    }
    std::unique_ptr<TJob> Job(const QString& name, const QByteArray& drawing, int32_t serialIndex)
    {
        auto job = std::make_unique<TJob>();
        EXPECT_TRUE(job->Load(dir.Write(name, drawing), 255));
        job->SerialIndex = serialIndex;
        return job;
    }
    // Runs `act` on the modal dialog of type D once it shows; a dialog still
    // open afterwards is cancelled, so that a refusal can't hang the test.
    template <typename D>
    void WhenShown(std::function<void(D&)> act)
    {
        QTimer::singleShot(0, [act] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            act(*d);
            if (d->isVisible())
                d->reject();
        });
    }
    // Streams the transfer to its end; the controller received the file's
    // commands one by one from report `from` on.
    void StreamAndCompare(size_t from)
    {
        for (int i = 0; i < 3000 && (tx.Running() || (sim.Status() & 0x2u)); ++i)
            clock.Advance(1000);
        EXPECT_FALSE(tx.Running());
        EXPECT_EQ(sim.Status() & 0x3u, 0u) << "the job ran to its end";
        EXPECT_EQ(sim.Count(SimEvent::TravelLimit), 0);
        EXPECT_EQ(sim.Count(SimEvent::Overrun), 0);
        const std::vector<cmdfile::Command> commands = cmdfile::Split(cmdfile::ReadFile(dir.File("out.cn")));
        ASSERT_GT(commands.size(), 10u);
        EXPECT_EQ(cmdfile::CommandsReceived(sim.Reports(), from, commands), commands.size());
    }

    ScopedTranslator translator;
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
    Transmission tx{m};
    MachineOperations ops{m, Settings(), false};
};
}  // namespace

TEST_F(StartDialogsTest, TransverseStartTakesTheStartPointsFromItsDialog)
{
    Settings().SetItemIndex("Mode", 5);
    ASSERT_TRUE(IsTwoWireModel());
    ASSERT_EQ(SideLimitY, 600);
    auto front = Job("front.plt", kSquare, 0);
    auto side = Job("side.plt", kSquare, 1);
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 150, 150, 200, 300, 300, 40, 0, 0));
    bool frontOpen = true;
    const StartPointWindows pair{[&]() -> const TJob* { return frontOpen ? front.get() : nullptr; },
                                 [&]() -> const TJob* { return side.get(); }};

    using Four = std::array<double, 4>;
    Four initial{}, atParking{};
    QString maxSy;
    size_t boxesAtRefusal = 0;
    CutStartHooks hooks;
    hooks.startPointsDialog = [&] {
        WhenShown<TfVeStartDlg>([&](TfVeStartDlg& d) {
            const StartPointValues v = d.Values();
            initial = {v.frontX, v.frontY, v.sideX, v.sideY};
            maxSy = d.pMaxSy->text();
            // The side drawing would reach past 590 mm: refused, the dialog stays.
            d.feuSy->SetText("599");
            d.btnDalej->click();
            boxesAtRefusal = boxes.shown.size();
            d.feuSy->SetText("100");
            QTest::keyClick(d.feuSy, Qt::Key_Return);
        });
        return ShowStartPointsDialog(nullptr, pair);
    };
    hooks.parkSideWire = [&] {
        atParking = {FrontStartPoint.x, FrontStartPoint.y, SideStartPoint.x, SideStartPoint.y};
        return true;
    };
    CutStart cut{m, Settings(), WireSelection(), ops, tx, hooks};
    boxes.answers = {mrOk};  // the material is in place
    const size_t before = sim.Reports().size();
    ASSERT_TRUE(cut.Start1Click({front.get(), side.get()}, side.get(), StartSource::MenuOrButton, false));

    EXPECT_EQ(initial, (Four{150, 300, 200, 40})) << "the carriages' positions";
    EXPECT_EQ(maxSy, "590" + DecimalSeparator() + "0");
    ASSERT_EQ(boxesAtRefusal, 1u);
    EXPECT_TRUE(boxes.shown[0].text.endsWith(Tr("Perpendicular_start_dialog", "ZmienPktStartBocznego")));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(atParking, (Four{150, 300, 200, 100})) << "the points the parking reads";
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, Tr("Main_window", "VeUmiescMaterial"));
    ASSERT_TRUE(tx.Running());
    StreamAndCompare(before);

    // The front window closed: no dialog, no file, an information box.
    frontOpen = false;
    boxes.shown.clear();
    QFile::remove(dir.File("out.cn"));
    bool dialogShown = false;
    hooks.startPointsDialog = [&] {
        QTimer::singleShot(0, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                dialogShown = true;
                static_cast<QDialog*>(w)->reject();
            }
        });
        return ShowStartPointsDialog(nullptr, pair);
    };
    CutStart again{m, Settings(), WireSelection(), ops, tx, hooks};
    EXPECT_FALSE(again.Start1Click({front.get(), side.get()}, front.get(), StartSource::MenuOrButton, false));
    QApplication::processEvents();
    EXPECT_FALSE(dialogShown);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Main_window", "VeOtworzPrzedni"));
    EXPECT_FALSE(QFile::exists(dir.File("out.cn")));
}

TEST_F(StartDialogsTest, SerialStartTurnsEachPieceByTheAngleOfItsOwnRow)
{
    Settings().SetItemIndex("Mode", 2);
    Settings().SetItemIndex("StolikSwitch", 1);
    Settings().SetItemIndex("rgKatObrotu", 1);
    Settings().SetValue("Xstolika", 300);
    Settings().SetValue("Ystolika", 50);
    Settings().SetValue("Srednicamaterialu", 100);
    // Window order 7, 1, 5; the cut and the rows go by number.
    std::vector<std::unique_ptr<TJob>> windows;
    std::vector<std::pair<TJob*, QString>> captions;
    for (int n : {7, 1, 5}) {
        const std::string d = "PU0,0;PD1200," + std::to_string(200 * n) + ",2400,0;PU;";
        windows.push_back(Job(QString("s%1.plt").arg(n), QByteArray::fromStdString(d), n));
        captions.emplace_back(windows.back().get(), QString("/foam/series/s%1.plt").arg(n));
    }
    QStringList files, defaults;
    TfDlgSeryjne* form = nullptr;
    CutStartHooks hooks;
    hooks.serialCutDialog = [&] {
        WhenShown<TfDlgSeryjne>([&](TfDlgSeryjne& d) {
            QTableWidget& grid = *d.sgKatyObrotu;
            for (int row = 0; row < grid.rowCount(); ++row) {
                files << grid.item(row, 0)->text();
                defaults << grid.item(row, 1)->text();
            }
            const char* angles[] = {"30", "45", "90"};
            for (int row = 0; row < 3 && row < grid.rowCount(); ++row)
                grid.item(row, 1)->setText(angles[row]);
            d.felloscPowtorzenSer->SetText("2");
            d.feuY_Przesuniecie->SetText("5");
            d.btnZatwierdz->click();
        });
        return ShowDlgSeryjne(nullptr, form, SerialCutRows(captions), &m) == mrOk;
    };
    CutStart cut{m, Settings(), WireSelection(), ops, tx, hooks};
    std::vector<TJob*> order;
    for (auto& w : windows)
        order.push_back(w.get());
    const size_t before = sim.Reports().size();
    ASSERT_TRUE(cut.Start1Click(order, windows[0].get(), StartSource::MenuOrButton, false));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(form, nullptr) << "the dialog is freed";
    EXPECT_EQ(files, QStringList({"s1.plt", "s5.plt", "s7.plt"}));
    EXPECT_EQ(defaults, QStringList({"60", "60", "60"}));
    // Windows 7, 1, 5 took the angles of rows 3, 1, 2.
    EXPECT_EQ(windows[0]->RotationAngle, 90);
    EXPECT_EQ(windows[1]->RotationAngle, 30);
    EXPECT_EQ(windows[2]->RotationAngle, 45);
    EXPECT_EQ(SerialRepeats, 2);
    EXPECT_EQ(SerialShiftDown, 5);
    EXPECT_TRUE(SerialRepeatActive);

    StreamAndCompare(before);
}
