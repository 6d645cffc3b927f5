#pragma once
// The statements of the fiscal store. They are the store's own (not catalogue
// entries) and run unchanged on SQLite and PostgreSQL: SET lists name bare
// columns, and the version order spells out how a missing year sorts. The
// load reads only the person columns a field map can name (every column read
// costs time on each of the hundreds of thousands of value rows).

namespace TorStoreSql {

// The versions of a structure that apply to a period, the latest first.
#define TOR_STRUCTURE_VERSIONS                                                                      \
    "FROM tcds_struttura cds "                                                                      \
    "WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO "                                                 \
    "AND (COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) "                               \
    "AND Lower(cds.scdsprogramma) = :SCDSPROGRAMMA AND Lower(cds.scdsnome) = :SCDSNOME "           \
    "ORDER BY COALESCE(cds.icdsanno, 0) DESC, COALESCE(cds.icdsmese, 0) DESC"

inline constexpr const char *FindStructure = "SELECT cds.* " TOR_STRUCTURE_VERSIONS;

// Taken first in every save: the structure's version for the period, its row
// held until the commit (on PostgreSQL two workstations saving the same
// structure never hand out the same row number; on SQLite the transaction
// already holds the database), its row counter moved past the :NUOVE rows
// the save adds and returned as the transaction sees it. One statement: on a
// server, one round trip. It returns what a save needs, not the schema (the
// CU's is some 23 KB, sent back at every save for nothing).
inline constexpr const char *LockStructure =
    "UPDATE tcds_struttura SET icdsrigo = COALESCE(icdsrigo, 0) + :NUOVE WHERE icdsid = "
    "(SELECT cds.icdsid " TOR_STRUCTURE_VERSIONS " LIMIT 1) "
    "RETURNING icdsid, lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap";
#undef TOR_STRUCTURE_VERSIONS

// The person filter of the server's load (%P below): every person of the period, or
// one, whom the index on the person then finds without reading the other
// rows of the structure (an import replacing a CU reads its rows, one CU at a
// time, out of thousands).
inline constexpr const char *AnyPerson = "(fis.iafiid = :IAFIID OR :IAFIID = -1)";
inline constexpr const char *OnePerson = "fis.iafiid = :IAFIID";

// Columns in the order of TorStoreReader's LoadColumn.
inline constexpr const char *LoadValues =
    "SELECT afi.saficodfiscale , afi.saficognome , afi.safinome , afi.saficodfissost , afi.safigruppoana , "
    "fis.sFisFieldName , fis.iFisRigo , fis.iFisValue , fis.fFisValue , fis.sFisValue , fis.dFisValue , "
    "fis.iAfiID AS ifisafiid "
    "FROM tcrf_crofiscale crf "
    "LEFT JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
    "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid "
    "WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
    "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) "
    "AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND fis.icdsid = :ICDSID "
    "AND %P "
    "ORDER BY fis.ifisrigo";


// On SQLite the load reads the value rows alone, in the covering index's
// order, for the periods found first: joined to the period and the person
// row by row, the engine made two look-ups per value row (half the load of a
// supply's 600,000 rows). The person of a record is read once, when its
// record starts. %1: the periods' keys, whole numbers.
inline constexpr const char *LoadPeriods =
    "SELECT crf.icrfid FROM tcrf_crofiscale crf WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
    "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA";
#define TOR_VALUE_COLUMNS                                                                            \
    "SELECT fis.sFisFieldName , fis.iFisRigo , fis.iFisValue , fis.fFisValue , fis.sFisValue , fis.dFisValue , " \
    "fis.iAfiID AS ifisafiid FROM tfis_datifiscali fis "
inline constexpr const char *LoadValuesOfPeriods =
    TOR_VALUE_COLUMNS "WHERE fis.icdsid = :ICDSID AND fis.icrfid IN ( %1 ) AND (fis.iafiid = :IAFIID OR :IAFIID = -1) "
    "ORDER BY fis.ifisrigo";
// One person's rows through the index on the person: the unary plus keeps
// SQLite off the reading index, which would walk every row of the structure.
inline constexpr const char *LoadValuesOfPeriodsOfPerson =
    TOR_VALUE_COLUMNS "WHERE fis.iafiid = :IAFIID AND +fis.icdsid = :ICDSID AND fis.icrfid IN ( %1 ) "
    "ORDER BY fis.ifisrigo";
#undef TOR_VALUE_COLUMNS
inline constexpr const char *LoadPersonOfRow =
    "SELECT afi.saficodfiscale , afi.saficognome , afi.safinome , afi.saficodfissost , afi.safigruppoana "
    "FROM tafi_anafiscale afi WHERE afi.iafiid = :IAFIID";

inline constexpr const char *DeletePerson = "DELETE FROM tafi_anafiscale WHERE iafiid = :IAFIID";
inline constexpr const char *DeleteValues =
    "DELETE FROM tfis_datifiscali WHERE icdsid = :ICDSID AND ifisrigo = :IFISRIGO";

inline constexpr const char *FindPerson =
    "SELECT afi.iafiid FROM tcrf_crofiscale crf INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
    "WHERE crf.icrfanno = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) "
    "AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND Lower(afi.saficodfiscale) = :SAFICODFISCALE "
    "AND (COALESCE(afi.safigruppoana, '') = :SAFIGRUPPOANA OR :SAFIGRUPPOANA = '')";

inline constexpr const char *InsertPerson =
    "INSERT INTO TAFI_ANAFISCALE ( IAFIID , ICRFID ) VALUES ( :IAFIID , :ICRFID )";
// A new person with its columns: %1 the columns, %2 their parameters.
inline constexpr const char *InsertPersonWith =
    "INSERT INTO TAFI_ANAFISCALE ( IAFIID , ICRFID , %1 ) VALUES ( :IAFIID , :ICRFID , %2 )";
inline constexpr const char *UpdatePerson = "UPDATE tafi_anafiscale SET %1 WHERE iafiid = :IAFIID";
// PostgreSQL: the person's key drawn from its sequence in the insert itself.
inline constexpr const char *InsertPersonDrawn =
    "INSERT INTO TAFI_ANAFISCALE ( IAFIID , ICRFID ) VALUES ( nextval('gen_tafi_anafiscale') , :ICRFID ) "
    "RETURNING IAFIID";
inline constexpr const char *InsertPersonWithDrawn =
    "INSERT INTO TAFI_ANAFISCALE ( IAFIID , ICRFID , %1 ) VALUES ( nextval('gen_tafi_anafiscale') , :ICRFID , %2 ) "
    "RETURNING IAFIID";

// A person's version moved on by a write, and returned; :ATTESA the version
// the writer read (-1: whatever it is). No row back: the person is gone, or
// another writer moved the version first.
inline constexpr const char *BumpVersion =
    "UPDATE tafi_anafiscale SET iafiversione = iafiversione + 1 WHERE iafiid = :IAFIID "
    "AND (iafiversione = :ATTESA OR :ATTESA = -1) RETURNING iafiversione";
inline constexpr const char *VersionOf = "SELECT iafiversione FROM tafi_anafiscale WHERE iafiid = :IAFIID";
// The versions of the persons of a period (or of a year's periods).
inline constexpr const char *Versions =
    "SELECT afi.iafiid , afi.iafiversione FROM tcrf_crofiscale crf "
    "INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
    "WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) "
    "AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA";

inline constexpr const char *InsertValue =
    "INSERT INTO TFIS_DATIFISCALI ( ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %1FISVALUE ) "
    "VALUES ( :ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%1FISVALUE )";

// One field of a stored row: its value row goes, and comes back with the new
// value only while the row still has other values (a row deleted meanwhile
// does not come back as this field alone).
inline constexpr const char *DeleteFieldValue =
    "DELETE FROM tfis_datifiscali WHERE icdsid = :ICDSID AND ifisrigo = :IFISRIGO "
    "AND Lower(sfisfieldname) = :NOME";
inline constexpr const char *InsertFieldValue =
    "INSERT INTO TFIS_DATIFISCALI ( ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %1FISVALUE ) "
    "SELECT :ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%1FISVALUE "
    "WHERE EXISTS (SELECT 1 FROM tfis_datifiscali WHERE icdsid = :ICDSID_ESISTE AND ifisrigo = :IFISRIGO_ESISTE)";

// The same rows as InsertValue, several at a time, every value column named.
inline constexpr const char *InsertValues =
    "INSERT INTO TFIS_DATIFISCALI ( ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, "
    "IFISVALUE, FFISVALUE, SFISVALUE, DFISVALUE ) VALUES ";
inline constexpr int BatchRows = 100;

// The index that keeps one certification per tax code and month in a period
// (its name is what the database's refusal carries).
inline constexpr const char *UniqueCertification = "ux_tafi_certificazione";

} // namespace TorStoreSql
