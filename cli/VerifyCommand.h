#pragma once

// valmora-cli verify FILE.vlm [--standard uni10779 --level N | --standard en12845 --hazard CLASS
//                             [--coverage M2]] [--catalogues DIR] [--json]
// The verification against a standard (standards/StandardVerification.h): with the settings
// saved beside the project, those given on the command line taking their place. Exit status
// 0 when it passes, 3 when it fails, 1 for invalid input, 2 for a usage error (also when no
// standard is given and none is saved).

#include "cli/CliCommands.h"
#include "standards/StandardVerification.h"

#include <QByteArray>

namespace valmora {

constexpr int kExitVerificationFailed = 3;

// `arguments` after "verify".
CliResult runVerify(const QStringList& arguments);

// The JSON of a verification: {standard, level, hazard, coverage, supplyPressure, pass,
// scenarios: [{role, count, candidates, durationMinutes, pass, notes, mostUnfavourable: {found,
// demandFlow, demandPressure, totalFlow, terminals: [{node, name, type, flow, pressure,
// requiredFlow, requiredPressure, pass}], sectionsOverVelocity, valvesOverVelocity},
// mostFavourable: {found, totalFlow, reserveVolume, terminals: [{node, flow, pressure}],
// sectionsOverVelocity, valvesOverVelocity}}]}; flows in l/min, pressures in bar, volumes in m3.
// On a looped network the sheet's loop pipes carry "loopPipe" (numbered from 1, node 0) and a
// set lists its loop pipes past 10 m/s in "loopPipesOverVelocity".
QByteArray verificationJson(const StandardCheck& check);

} // namespace valmora
