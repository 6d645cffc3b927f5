#pragma once
// Report definitions registered at every connection ("rag_Report.xml" in the
// etc folder), one <report> per definition:
//   <reports>
//     <report IYRPTID="1100601" IYRFOID="11006" IYRPTVERSION="1">
//       <SYRPTDESC>Registro compensi</SYRPTDESC>
//       <SYRPTNOTE>...</SYRPTNOTE>
//       <BYRPTREPORT><![CDATA[layout]]></BYRPTREPORT>
//       <BYRPTVAR encoding="base64">...</BYRPTVAR>
//     </report>
//   </reports>
// Each column may be an attribute or a child element. Blobs hold the
// element's text as UTF-8, or its bytes when encoding="base64".
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

struct TRagReportDef
{
    int IYRPTID = 0;
    int IYRFOID = 0;
    int IYRPTVERSION = 0;
    QString SYRPTDESC;
    QString SYRPTNOTE;      // null when absent
    QByteArray BYRPTREPORT; // null when absent
    QByteArray BYRPTVAR;    // null when absent
};

// Reads the file. A malformed file, a missing or non-numeric IYRPTID or
// IYRFOID, a non-numeric IYRPTVERSION, invalid base64 or a repeated IYRPTID
// raise EOvError naming file, line and problem.
QList<TRagReportDef> ragReadReportDefs(const QString &path);
