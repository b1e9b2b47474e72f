#include "machine/ControllerLink.h"

namespace {
ControllerLink* g_link = nullptr;
}

void SetControllerLink(ControllerLink* link) { g_link = link; }

ControllerLink* CurrentControllerLink() { return g_link; }

bool MachineConnected() { return g_link && g_link->MachineFound(); }
