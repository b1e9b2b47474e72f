#pragma once
#include <QString>
#include <QStringList>

// The program's parameters, without the program itself (parameter 0).
void SetCommandLine(const QStringList& parameters);
const QStringList& CommandLineParameters();

// True when some parameter equals the name as a whole, case ignored.
bool HasSwitch(const QString& name);

// A valued switch written name='value' (or name=value). The first parameter whose
// name part equals the name, case ignored, gives the value between the quotes;
// without quotes the whole text after "=". Nothing found: false and an empty value.
bool SwitchValue(const QString& name, QString& value);

// Dealer brand from the last parameter "D:brand" (upper-cased); a brand that is
// already "VOSKAR" stays. None found: empty.
void DealerBrand(QString& brand);
