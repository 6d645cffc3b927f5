-- The fiscal key-value store: structure versions, periods, persons and one
-- row per stored field value. No foreign keys: a person deleted with its
-- row of an anagraphic structure leaves other structures' rows pointing at
-- its key, by design.

CREATE TABLE IF NOT EXISTS tcds_struttura (
    icdsid           INTEGER      NOT NULL PRIMARY KEY,  -- generator TCDS_STRUTTURA
    icdsanno         INTEGER,                            -- first year it holds (null = 0)
    icdsmese         INTEGER,                            -- first month it holds (null = 0)
    scdsprogramma    VARCHAR(20)  NOT NULL,
    scdsnome         VARCHAR(63)  NOT NULL,
    bcdsschema       @BLOB@,                              -- empty dataset: the fields
    lcdsanagrafica   INTEGER      DEFAULT 0,
    lcdsfmapreadonly INTEGER      DEFAULT 0,
    icdsrigo         INTEGER      DEFAULT 0,              -- last row number handed out
    scdsfieldmap     VARCHAR(2000)
);
-- One version per structure, year and month; also the version lookup.
CREATE UNIQUE INDEX IF NOT EXISTS ux_tcds_versione
    ON tcds_struttura (lower(scdsnome), lower(scdsprogramma), COALESCE(icdsanno, 0), COALESCE(icdsmese, 0));

CREATE TABLE IF NOT EXISTS tcrf_crofiscale (
    icrfid        INTEGER PRIMARY KEY,
    icrfanno      INTEGER,
    icrfmese      INTEGER,
    scrfprogramma VARCHAR(20) NOT NULL
);
-- One period per program, year and month, however many workstations ask at
-- once (ptor_getcrofiscale relies on it); also the period lookup of loads.
CREATE UNIQUE INDEX IF NOT EXISTS ux_tcrf_periodo
    ON tcrf_crofiscale (lower(scrfprogramma), COALESCE(icrfanno, 0), COALESCE(icrfmese, 0));

CREATE TABLE IF NOT EXISTS tafi_anafiscale (
    iafiid         INTEGER      NOT NULL PRIMARY KEY,    -- generator TAFI_ANAFISCALE
    icrfid         INTEGER      NOT NULL,
    saficodfiscale VARCHAR(32),
    saficognome    VARCHAR(150),
    safinome       VARCHAR(150),
    saficodfissost VARCHAR(32),
    safigruppoana  VARCHAR(200)
);
-- Person of a period by tax code.
CREATE INDEX IF NOT EXISTS ix_tafi_codfiscale ON tafi_anafiscale (icrfid, lower(saficodfiscale));

CREATE TABLE IF NOT EXISTS tfis_datifiscali (
    icdsid        INTEGER     NOT NULL,
    icrfid        INTEGER     NOT NULL,
    iafiid        INTEGER,
    ifisrigo      INTEGER     NOT NULL,
    sfisfieldname VARCHAR(63) NOT NULL,
    ifisvalue     INTEGER,
    ffisvalue     NUMERIC(20,6),       -- amounts and floats
    sfisvalue     TEXT,
    dfisvalue     TIMESTAMP
);
-- Load of a structure in a period, in row order.
CREATE INDEX IF NOT EXISTS ix_tfis_periodo ON tfis_datifiscali (icdsid, icrfid, ifisrigo);
-- Load of one person's sections.
CREATE INDEX IF NOT EXISTS ix_tfis_persona ON tfis_datifiscali (iafiid, icdsid);
