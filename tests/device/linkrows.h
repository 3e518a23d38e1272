#pragma once
// Table rows shared by the link tests and the window tests, so each case is
// written once and run on every layer that must handle it.

#include "simcontrol.h"

#include <QByteArray>
#include <QString>
#include <QtTest/QtTest>

namespace linkrows {

// Opening over USB fails: columns "fault" (a quorvelsim::Fault as int).
inline void openFailures()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("no instrument") << int(quorvelsim::Fault::NoDevice);
    QTest::newRow("open fails") << int(quorvelsim::Fault::OpenFails);
    QTest::newRow("claim fails") << int(quorvelsim::Fault::ClaimFails);
}

// Firmware versions as the instrument holds them and as the link returns
// them: columns "firmware", "expected". USB returns the four bytes whatever
// they say; over the serial link bytes that are no version cannot be told
// from bytes shifted on the line, and are no reply (empty).
inline void firmwareVersions(const char *wire)
{
    const bool serial = QByteArray(wire) == "serial";
    QTest::addRow("%s: default", wire) << QByteArray("2.37") << QString("2.37");
    QTest::addRow("%s: short, padded", wire) << QByteArray("2.4") << QString("2.4 ");
    QTest::addRow("%s: no number", wire) << QByteArray("beta") << (serial ? QString() : QString("beta"));
}

} // namespace connectionrows
