#include "machine/ProgramClose.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "machine/JobState.h"
#include "machine/Machine.h"
#include "machine/MachineState.h"

bool ProgramMayClose(Machine& machine, bool sending, bool pausing)
{
    const QString caption = Tr("Universal", "uwaga");
    if (sending && !JobStopped) {
        ShowMessageBox(Tr("Main_window", "wyjscieNiemozliwe"), false, caption);
        return false;
    }
    // Without a machine nothing is left running.
    if (!pausing && !machine.Connected())
        return true;
    // A read that failed says nothing of the job.
    if (!pausing && ReadStatus(machine) && !PlotState.JobWorking() && !PlotState.Paused())
        return true;
    return AskBeforeDiscarding(Tr("Main_window", "wyjscieMaszynaTnie"), MessageButtons::YesNo, caption) == mrYes;
}
