#pragma once

// The wires the operator selected on the manual control panel: which carriages
// move and heat. The panel shows these boxes; the writer, the cut start and its
// checks read them at the moment they run.
struct TsterModel {
    bool KeyFront = true;
    bool KeyBack = false;
    bool KeySide = false;
};

TsterModel& WireSelection();
