#pragma once
// What velcu-pdfmodels writes into the resource folder.
#include <QString>
#include <QStringList>

// "CU2026_mod.pdf" and "StpCUD.xml".
void buildSummaryCu(const QString &dir);
// "CU2026_mod_ord.pdf", "StpCUD_Ord.xml", "StpSost.xml", "StpQuadroCT.xml".
void buildOrdinaryCu(const QString &dir);
// "firme.pdf" and "stpStampe.xml".
void buildSignatureList(const QString &dir);
// "CU_2026_istruz.pdf".
void buildInstructions(const QString &dir);
// The Help menu's documents: "News.pdf", "invio_telematico.pdf", "Provvedimento.pdf".
void buildHelpDocuments(const QString &dir);

// The instructions' text: one entry per page; a line beginning with "# " is a
// heading, "## " a sub-heading, anything else a paragraph.
QList<QStringList> instructionPages();
