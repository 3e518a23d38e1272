#include "app/quorvelinterface.h"

#include <QFile>
#include <QTextStream>

void QuorvelInterface::logToFile(const QString &text)
{
    if (!logFile->isOpen() || !logStream)
        return;
    *logStream << text << '\n';
    logStream->flush();
}
