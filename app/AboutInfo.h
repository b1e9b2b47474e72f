#pragma once
#include <QString>
#include <cstdint>

class Machine;

// What the About box shows for the dealer brand, decided when it is created.
struct AboutBrand {
    QString link;            // the web address of the link and the logo's hint; empty: no link
    bool showMaker = true;   // the maker's row
    QString logoFile;        // the brand's logo beside the program; empty when there is none
};

// The maker's address for no brand or "DRAVINOR", the dealer's for "VOSKAR"
// (both build options, empty by default); the logo is ProgramDir + brand + ".bmp".
AboutBrand AboutBrandFor(const QString& brand);

// The machine's rows of the About box.
struct AboutMachineTexts {
    QString prod, model, obszarFront, obszarSide, szerokosc, przebieg, ilpl, ARMwersja;
    bool showWidth = true;  // the row of the distance between the wire planes
};

// Asks the machine (status, identification, counters, firmware) and words its
// rows in the display unit. Without an answer every row reads "no data" and
// the width row shows. `noXSide`: the side carriage has no X axis.
AboutMachineTexts ReadAboutMachine(Machine& machine, bool noXSide);
// The rows with no machine to ask.
AboutMachineTexts AboutWithoutMachine();

// Run minutes as hours, the translated hour mark, minutes and " min.".
QString RunTimeText(int32_t minutes);
