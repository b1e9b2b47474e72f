#include "app/Globals.h"

#include <QFileInfo>

QString ProgramDir;
bool WiresCrashChecking = true;
bool SerialRepeatActive = false;
int32_t SerialRepeats = 0;
double SerialShiftDown = 0.0;
int32_t RepeatReturnX = 0;
int32_t JogStopPosA = 0;
int32_t JogStopPosB = 0;
QString DealerBrandName;
bool ApplicationRightToLeft = false;
double PointTolerance = 10.0;
QString GenSerFileName;
QString BuildDateText;

QString FolderWithSeparator(const QString& filePath)
{
    QString dir = QFileInfo(filePath).absolutePath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}
