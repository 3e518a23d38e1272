#pragma once

#include <QString>

// The whole text of a style sheet file or resource; empty when it cannot be read.
QString readStyleSheet(const QString &path);
