-- Provinces, municipalities (with their cadastral code) and postal codes.

CREATE TABLE IF NOT EXISTS tpro_province (
    iproid    INTEGER     NOT NULL PRIMARY KEY,
    sprosigla VARCHAR(2)  NOT NULL,
    sprodesc  VARCHAR(60) NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tpro_sigla ON tpro_province (sprosigla);

CREATE TABLE IF NOT EXISTS tcom_comuni (
    icomid           INTEGER     NOT NULL PRIMARY KEY,
    scomdesc         VARCHAR(80) NOT NULL,
    scomcodcatastale VARCHAR(4),
    iproid           INTEGER     REFERENCES tpro_province (iproid)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tcom_codcatastale ON tcom_comuni (scomcodcatastale);
CREATE INDEX IF NOT EXISTS ix_tcom_provincia ON tcom_comuni (iproid);

-- A municipality may have several postal codes.
CREATE TABLE IF NOT EXISTS tcap_cap (
    icapid    INTEGER    NOT NULL PRIMARY KEY,
    scapvalue VARCHAR(5) NOT NULL,
    icomid    INTEGER    NOT NULL REFERENCES tcom_comuni (icomid)
);
CREATE INDEX IF NOT EXISTS ix_tcap_comune ON tcap_cap (icomid);
