#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"

#include <QString>
#include <functional>

class TJob;

// The material of an independent two-wire cut: the front profile lies on the
// material's front face, the back profile on its back face, while the
// carriages move in the machine's two planes (z = 0 and z = MachineWidth).
// Every wire line through the material is projected onto those planes and
// the carriages must be able to follow the projected paths.

// The last material width and distance from the front plane confirmed (mm),
// offered again the next time; -1 until then.
extern double MaterialWidth;
extern double MaterialFrontOffset;

struct TPoint3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

// The line through p and q (p.z != q.z), extended to the plane z = 0 (a) and
// the plane z = w (b).
void ProjectToMachinePlanes(const TPoint3& p, const TPoint3& q, double w, TPoint3& a, TPoint3& b);

// A merged two-profile job: figures 0 and 1 of equal point counts.
bool IsMergedTwoProfileJob(const TJob& job);

// A length in the two work-area messages: millimetres with two decimals,
// inches and feet with three, each with its unit in brackets.
QString WorkAreaValue(double mm);

// What the material dialog does, without its window.
class TwoPlaneMaterial {
public:
    TwoPlaneMaterial(Machine& machine, const TDlgkonfigModel& settings, TJob& job,
                     std::function<void(bool busy)> busyCursor = {});

    // The width and distance fit the machine; otherwise an error box says why.
    bool CheckMaterial(double width, double distance) const;
    // Start: the material checked and remembered, the projected paths in the
    // figures' second profiles, the work area checked. True when the dialog
    // closes with OK; false keeps it open.
    bool btnDalejClick(double width, double distance);
    // The projected paths' bounds (mm) against the travel from where the
    // carriages stand; when they don't fit, offers to move the wires there.
    bool CheckWorkArea(double maxY, double minY, double maxX, double minX);
    // Both carriages to (x, y) mm with the heater on.
    void PreMoveWires(double x, double y);
    // The dialog closed without a cut: a heater switched on here goes off.
    void Closed(bool confirmed);
    bool HeaterSwitchedOn() const { return m_heaterOn; }

private:
    Machine& m_machine;
    const TDlgkonfigModel& m_settings;
    TJob& m_job;
    std::function<void(bool)> m_busy;
    bool m_heaterOn = false;
};
