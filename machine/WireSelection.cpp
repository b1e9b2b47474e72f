#include "machine/WireSelection.h"

TsterModel& WireSelection()
{
    static TsterModel model;
    return model;
}
