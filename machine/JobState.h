#pragma once

// Set when a job is sent or continued; cleared when the machine reports that no
// job is working.
extern bool JobRunning;
// STOP was pressed during the job.
extern bool JobStopped;
