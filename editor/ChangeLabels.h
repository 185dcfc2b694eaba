#pragma once

// The names of the changes in the "Modifica" menu ("Annulla cambio diametro"): one word for
// the same change whichever window made it.

#include <QString>

namespace valmora::change_label {

inline const QString kName = QStringLiteral("modifica Nome");
inline const QString kLength = QStringLiteral("modifica Metri");
inline const QString kVirtualLength = QStringLiteral("modifica L.virt.");
inline const QString kKv = QStringLiteral("modifica KV");
inline const QString kDiameter = QStringLiteral("cambio diametro");
inline const QString kSeries = QStringLiteral("cambio tubo");
inline const QString kClosing = QStringLiteral("chiusura tubo");
inline const QString kOpening = QStringLiteral("apertura tubo");
inline const QString kLock = QStringLiteral("blocco diametro");
inline const QString kUnlock = QStringLiteral("sblocco diametro");
inline const QString kAppend = QStringLiteral("aggiunta in coda");
inline const QString kInsert = QStringLiteral("inserimento");
inline const QString kDelete = QStringLiteral("cancellazione");
inline const QString kDerivation = QStringLiteral("nuova diramazione");
inline const QString kEquivalentLength = QStringLiteral("lunghezza equivalente");
inline const QString kTerminal = QStringLiteral("terminale");
inline const QString kAllUp = QStringLiteral("aumento di tutti i diametri");
inline const QString kAllDown = QStringLiteral("diminuzione di tutti i diametri");
inline const QString kOptions = QStringLiteral("opzioni");
inline const QString kReportData = QStringLiteral("dati della relazione");
inline const QString kSeriesEverywhere = QStringLiteral("cambio tipo di tubo");
inline const QString kTerminalsEverywhere = QStringLiteral("cambio terminali");
inline const QString kComb = QStringLiteral("creazione pettine");
inline const QString kCloseRing = QStringLiteral("chiusura di un anello");
inline const QString kRingDelete = QStringLiteral("eliminazione di un anello");
inline const QString kImport = QStringLiteral("importa");
inline const QString kPaste = QStringLiteral("incolla");
inline const QString kVerificationSettings = QStringLiteral("impostazioni di verifica");
inline const QString kSupply = QStringLiteral("alimentazione");
inline const QString kDesignPressure = QStringLiteral("pressione di progetto");
// A change that no command named (kept with the next one, or on its own before a save).
inline const QString kOther = QStringLiteral("modifica");

} // namespace valmora::change_label
