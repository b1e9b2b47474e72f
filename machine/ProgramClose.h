#pragma once

class Machine;

// Whether the program may close now. While a job is still being sent
// (`sending`) it may only once STOP paused the job; else the operator is told.
// A closed program no longer polls the machine, so the machine's own STOP key
// reaches nothing, and a paused cut can't be continued: when a status read
// shows a job working or paused, or the status can't be read, the operator
// is asked first, No being the default. So is he while the pause of a cut
// whose link was lost is still being sent (`pausing`): the machine may be
// cutting on.
bool ProgramMayClose(Machine& machine, bool sending, bool pausing = false);
