#pragma once

// valmora-cli report FILE.vlm OUT.pdf [--sections nodi,materiali,terminali,verifica,curve] [--catalogues DIR]
// valmora-cli schema FILE.vlm OUT.pdf [--catalogues DIR]
// valmora-cli curves FILE.vlm OUT.pdf|OUT.png [--catalogues DIR]
// The printed report and the printed schema as PDF files, without a display. What the report
// says aloud on screen becomes one warning line each on standard error. Needs a
// QGuiApplication (the fonts).

#include "cli/CliCommands.h"

namespace valmora {

// `arguments` without the program name, the first being "report" or "schema".
CliResult runPdfCommand(const QStringList& arguments);

} // namespace valmora
