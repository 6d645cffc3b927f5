#pragma once
// The campaign: everything that changes from one edition of the CU to the
// next. Next year's edition changes these lines (and the shipped data under
// data/USR/<folder>); every text that names a year, the edition's folder, a
// model file or the provision's date is built from them. The build reads
// AnnoFinanziario and CartellaAnno from this file too (CMakeLists.txt).
#include <QDate>
#include <QString>

namespace Campagna {

// The financial year certified, and the year the certificates are filed.
inline constexpr int AnnoFinanziario = 2025;
inline constexpr int AnnoInvio = AnnoFinanziario + 1;
// The year before the certified one (captions of boxes that refer to it).
inline constexpr int AnnoPrecedente = AnnoFinanziario - 1;

// Folder of the edition's files: USR/<folder>/Res, USR/KZDati/<folder>.
inline constexpr char CartellaAnno[] = "KZ2025";

// The revenue agency's provision that approves the model.
inline QDate dataProvvedimento() { return QDate(AnnoInvio, 1, 15); }
// "15/01/2026"
inline QString provvedimentoBreve() { return dataProvvedimento().toString(QStringLiteral("dd/MM/yyyy")); }
// "15 gennaio 2026"
QString provvedimentoEsteso();

inline QString anno(int year) { return QString::number(year); }
// "Modello CU 2025": the application title.
inline QString titoloApplicazione() { return QStringLiteral("Modello CU %1").arg(AnnoFinanziario); }
// "CU 2026": the main window's caption.
inline QString didascalia() { return QStringLiteral("CU %1").arg(AnnoInvio); }
// "CERTIFICAZIONE UNICA 2026"
inline QString titoloModello() { return QStringLiteral("CERTIFICAZIONE UNICA %1").arg(AnnoInvio); }

// Model and instruction files in the Res folder.
inline QString modelloSintetico() { return QStringLiteral("CU%1_mod.pdf").arg(AnnoInvio); }
inline QString modelloOrdinario() { return QStringLiteral("CU%1_mod_ord.pdf").arg(AnnoInvio); }
inline QString istruzioni() { return QStringLiteral("CU_%1_istruz.pdf").arg(AnnoInvio); }

// Folders relative to the main folder, with their trailing "/".
inline QString cartellaAnno() { return QString::fromLatin1(CartellaAnno); }
inline QString cartellaRes() { return QStringLiteral("USR/%1/Res/").arg(cartellaAnno()); }
inline QString cartellaTabelle() { return cartellaRes() + QStringLiteral("Tabelle/"); }
inline QString cartellaStampe() { return QStringLiteral("USR/%1/Stp/").arg(cartellaAnno()); }
inline QString cartellaFornitura() { return QStringLiteral("USR/%1/DichCU/").arg(cartellaAnno()); }
inline QString cartellaDatiTelematici() { return QStringLiteral("USR/KZDati/%1/").arg(cartellaAnno()); }

} // namespace Campagna
