-- Report register of the framework's report engine, written at every
-- connection from rag_Report.xml: folders, the folders an application shows,
-- and the report definitions. No foreign keys: the connection writes the
-- reports before their folder.

CREATE TABLE IF NOT EXISTS tyrfo_cartellereport (
    iyrfoid   INTEGER      NOT NULL PRIMARY KEY,
    iyrfoid_p INTEGER,                          -- parent folder
    syrfodesc VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS tyapvrfo_appcartelle (
    iyapvrfoid INTEGER NOT NULL,                -- folder
    iyappid    INTEGER NOT NULL,                -- application
    PRIMARY KEY (iyapvrfoid, iyappid)
);

CREATE TABLE IF NOT EXISTS tyrpt_report (
    iyrptid      INTEGER      NOT NULL PRIMARY KEY,
    iyrfoid      INTEGER,                       -- folder
    syrptdesc    VARCHAR(200),
    iyrptversion INTEGER,
    syrptnote    TEXT,
    byrptreport  @BLOB@,
    byrptvar     @BLOB@
);
CREATE INDEX IF NOT EXISTS ix_tyrpt_cartella ON tyrpt_report (iyrfoid);
