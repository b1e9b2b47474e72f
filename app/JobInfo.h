#pragma once
#include <QString>
#include <cstddef>
#include <cstdint>

// What the job information window is worked out from.
struct JobInfoInput {
    int32_t widthSteps = 0, heightSteps = 0;
    double totalLengthSteps = 0;  // the planned path
    size_t figureCount = 0;       // figures and connectors
    int mode = 0;                 // work mode
    double skala = 100;           // scale in percent
    double repeats = 1;           // rotary and turning jobs run the path this many times
    int32_t unit = 0;             // display unit
    double cutSpeed = 0;          // mm/min of the selected wires
};

struct JobInfoTexts {
    QString width, height;
    // Empty where the work mode defines no length (transverse cutting), and
    // the time also where there is no cutting speed to divide by.
    QString length, time;
};

JobInfoTexts MakeJobInfo(const JobInfoInput& in);
