#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class TJob;

// The file of serial piece `index` in `folder`: the number with at least
// three digits, "007.dxf", "1234.dxf".
QString SerialDxfPath(const QString& folder, int32_t index);

// What saving a serial run asks of the windows around it.
struct SerialSaveHooks {
    // The folder window: caption, choose caption, initial folder and proposed
    // name; true with the chosen folder.
    std::function<bool(const QString& caption, const QString& chooseCaption, const QString& initialFolder,
                       const QString& proposedName, QString& folder)>
        chooseFolder;
    // The job's window shown as the one being written (only for the eye).
    std::function<void(TJob&)> activate;
};

// Writes every job of a serial run as numbered DXF files into a folder the
// operator chooses, proposed after the model of the last generation
// (`modelFile`, empty when none ran). Asks before writing into a folder that
// already holds DXF files. False when cancelled or when a file failed (the
// operator has been told).
bool SaveSerialRun(const std::vector<TJob*>& windows, const QString& modelFile, const SerialSaveHooks& hooks);
