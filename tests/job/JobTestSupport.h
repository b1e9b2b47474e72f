#pragma once
// What the reader and loader tests share: reading a drawing figure by figure,
// and a job loaded from a file with the settings of a fresh install.
#include "app/Settings.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "machine/MachineConstants.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Every valid figure the reader gives for the text of an input file type
// (1 HPGL, 2 DXF; a DXF drawing in the given length unit), as the loader asks
// for them. The reader must come to the end of the input.
inline std::vector<tfigura> ReadAllFigures(const std::string& text, int32_t fileType, Thpgl* state = nullptr,
                                           int32_t lengthUnit = 0)
{
    Thpgl local;
    Thpgl& r = state ? *state : local;
    EXPECT_EQ(r.OpenInputText(text, fileType, lengthUnit), 0);
    std::vector<tfigura> out;
    int guard = 0;
    while (!r.EndOfInput && guard++ < 100000) {
        tfigura f;
        r.ReadFigure(f);
        if (f.Valid)
            out.push_back(std::move(f));
    }
    EXPECT_TRUE(r.EndOfInput);
    r.CloseInput();
    return out;
}

// Loading through a file as the open command does, with the settings of a
// fresh install and the machine's defaults. Loading plans the job; a frame
// would move the job's bounds, so it is off.
class JobLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings().Reset();
        Settings().SetChecked("AddFrame", false);
        ResetMachineConstants();
        PointTolerance = 10.0;
    }
    void TearDown() override { Settings().Reset(); }

    // The drawing as a file in the test's folder.
    QString WriteDrawing(const QString& name, const std::string& text) const
    {
        return dir.Write(name, QByteArray::fromStdString(text));
    }

    ScopedTranslator translator;
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
};
