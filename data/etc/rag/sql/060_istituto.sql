-- The school and its configurations.
--
-- tdwg_gruppilavoro: one configuration (workgroup) per school, financial
-- year and school year; the program reads the school record and the agent
-- parameters through its id. The school record joins it to the school, the
-- address valid at the end of the financial year, municipality, province
-- and postal code.

CREATE TABLE IF NOT EXISTS tsed_sedi (
    isedid            INTEGER      NOT NULL PRIMARY KEY,
    ssedcodmecc       VARCHAR(10),                  -- codice meccanografico
    ssednomcodicefisc VARCHAR(16)  NOT NULL,
    ssednomldesc      VARCHAR(150) NOT NULL,        -- full name
    ssednomsdesc      VARCHAR(60),                  -- short name
    ssedteltelefono   VARCHAR(30),
    ssedfaxno         VARCHAR(30),
    ssedemlemail      VARCHAR(100),
    ssedemlpec        VARCHAR(100)
);

-- Addresses over time: the one in force is the latest valid from a date not
-- after the day in question.
CREATE TABLE IF NOT EXISTS tsedind_indirizzi (
    isedindid        INTEGER      NOT NULL PRIMARY KEY,
    isedid           INTEGER      NOT NULL REFERENCES tsed_sedi (isedid),
    dsedindvalidodal DATE         NOT NULL,
    ssedindindirizzo VARCHAR(100) NOT NULL,
    icomid           INTEGER      REFERENCES tcom_comuni (icomid),
    icapid           INTEGER      REFERENCES tcap_cap (icapid)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tsedind_validita ON tsedind_indirizzi (isedid, dsedindvalidodal);

-- The school's legal representative (the head teacher), who signs the
-- supply: the one in force is the latest named from a date not after the end
-- of the financial year. Codice carica 1: legal representative.
CREATE TABLE IF NOT EXISTS tsedrap_rappresentanti (
    isedrapid        INTEGER      NOT NULL PRIMARY KEY,
    isedid           INTEGER      NOT NULL REFERENCES tsed_sedi (isedid),
    dsedrapvalidodal DATE         NOT NULL,
    ssedrapcodfis    VARCHAR(16)  NOT NULL,
    ssedrapcognome   VARCHAR(60)  NOT NULL,
    ssedrapnome      VARCHAR(60)  NOT NULL,
    ssedrapcarica    VARCHAR(2)   NOT NULL DEFAULT '1'
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tsedrap_validita ON tsedrap_rappresentanti (isedid, dsedrapvalidodal);

CREATE TABLE IF NOT EXISTS tdwg_gruppilavoro (
    idwgid   INTEGER      NOT NULL PRIMARY KEY,
    isedid   INTEGER      NOT NULL REFERENCES tsed_sedi (isedid),
    ianfid   INTEGER      NOT NULL REFERENCES tanf_annifinanz (ianfid),
    iansid   INTEGER      NOT NULL REFERENCES tans_anniscolast (iansid),
    sdwgdesc VARCHAR(150)
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tdwg_configurazione ON tdwg_gruppilavoro (isedid, ianfid, iansid);
CREATE INDEX IF NOT EXISTS ix_tdwg_anno ON tdwg_gruppilavoro (ianfid);

-- Accounting and withholding-agent parameters of a configuration.
CREATE TABLE IF NOT EXISTS tpaco_paramcontabili (
    idwganfid         INTEGER     NOT NULL PRIMARY KEY REFERENCES tdwg_gruppilavoro (idwgid),
    lpacoafam         INTEGER     DEFAULT 0,        -- accounting by chart of accounts already set up
    spacomatrazienda  VARCHAR(10),                  -- INPS company number
    spacomatrazacc    VARCHAR(10),                  -- INPS company number for accessory pay, when different
    spacocfinps       VARCHAR(16),                  -- INPS tax code (self-employed payees)
    lpacocudinpdap    INTEGER     DEFAULT 0,        -- 1: no public-pension sections
    spacocfmef        VARCHAR(16),                  -- tax code of the reporting body
    spacocodateco2007 VARCHAR(8)                    -- ATECO 2007 activity code
);
