-- Payroll side: people, their staff records and their employment
-- relationships, with the code tables they refer to. The payroll program
-- writes these tables; velcu only reads them, through the named queries of
-- the catalogue. docs/payroll-data-model.md describes every column.

-- Sex (ssexsdesc is the one-letter code of the CU: M, F).
CREATE TABLE IF NOT EXISTS tsex_sessi (
    isexid    INTEGER     NOT NULL PRIMARY KEY,
    ssexsdesc VARCHAR(1)  NOT NULL,
    ssexldesc VARCHAR(20)
);

-- Foreign states (birth abroad), with the "Z" code of the tax code.
CREATE TABLE IF NOT EXISTS tsta_stati (
    istaid           INTEGER     NOT NULL PRIMARY KEY,
    sstadesc         VARCHAR(80) NOT NULL,
    sstacodcatastale VARCHAR(4)
);

-- Months of the year, 1..12.
CREATE TABLE IF NOT EXISTS tmes_mesi (
    imesid   INTEGER     NOT NULL PRIMARY KEY,
    smesdesc VARCHAR(20) NOT NULL
);

-- Staff categories (teachers, administrative staff ...). Id 7 is never a
-- category: the import uses 7 for "self-employed only".
CREATE TABLE IF NOT EXISTS tcal_categorie (
    icalid        INTEGER      NOT NULL PRIMARY KEY,
    scalldesc     VARCHAR(100) NOT NULL,
    icalorvexcode INTEGER                         -- code shown to the user
);

-- Legal positions: 1, 2 open-ended; 3, 4 fixed-term; 10, 14, 15
-- self-employed; 11 co-ordinated collaboration; 17 scholarship ...
CREATE TABLE IF NOT EXISTS ttno_posgiuridiche (
    itnoid        INTEGER      NOT NULL PRIMARY KEY,
    stnoldesc     VARCHAR(100) NOT NULL,
    itnoorvexcode INTEGER
);

-- Qualifications.
CREATE TABLE IF NOT EXISTS tqar_qualifiche (
    iqarid        INTEGER      NOT NULL PRIMARY KEY,
    sqarldesc     VARCHAR(100) NOT NULL,
    iqarorvexcode INTEGER
);

-- People. The tax code may be empty (not yet known).
CREATE TABLE IF NOT EXISTS tana_anagrafiche (
    ianaid         INTEGER      NOT NULL PRIMARY KEY,
    sanacognome    VARCHAR(60)  NOT NULL,
    sananome       VARCHAR(60)  NOT NULL,
    sanacodfiscale VARCHAR(16),
    dananascita    DATE,
    isexid         INTEGER      REFERENCES tsex_sessi (isexid),
    icomid_nas     INTEGER      REFERENCES tcom_comuni (icomid),   -- born in Italy
    istaid_nas     INTEGER      REFERENCES tsta_stati (istaid)     -- born abroad
);
CREATE INDEX IF NOT EXISTS ix_tana_codfiscale ON tana_anagrafiche (sanacodfiscale);

-- Addresses over time by kind (ilocid 1 domicile, 2 fiscal residence); the
-- one in force is the latest valid from a date not after the day asked.
CREATE TABLE IF NOT EXISTS tanaabt_indirizzi (
    ianaabtid        INTEGER      NOT NULL PRIMARY KEY,
    ianaid           INTEGER      NOT NULL REFERENCES tana_anagrafiche (ianaid),
    ilocid           INTEGER      NOT NULL,
    danaabtvalidodal DATE         NOT NULL,
    sanaabtindirizzo VARCHAR(100),
    icomid           INTEGER      REFERENCES tcom_comuni (icomid),
    icapid           INTEGER      REFERENCES tcap_cap (icapid)
);
CREATE INDEX IF NOT EXISTS ix_tanaabt_persona ON tanaabt_indirizzi (ianaid, ilocid);

-- A person's staff record in a school: employee code and category.
CREATE TABLE IF NOT EXISTS tanaper_personale (
    ianaperid     INTEGER     NOT NULL PRIMARY KEY,
    ianaid        INTEGER     NOT NULL REFERENCES tana_anagrafiche (ianaid),
    isedid        INTEGER     NOT NULL REFERENCES tsed_sedi (isedid),
    sanapercodice VARCHAR(10) NOT NULL,
    icalid        INTEGER     REFERENCES tcal_categorie (icalid)
);
CREATE INDEX IF NOT EXISTS ix_tanaper_persona ON tanaper_personale (ianaid);

-- Employment relationships. One row per staff record and financial year:
-- the payroll program carries a relationship that goes on into the next
-- year as a new row, so everything keyed by iacomid belongs to one year.
-- The dates are those of the contract, which may lie in other years.
CREATE TABLE IF NOT EXISTS tacom_rapporti (
    iacomid             INTEGER NOT NULL PRIMARY KEY,
    ianaperid           INTEGER NOT NULL REFERENCES tanaper_personale (ianaperid),
    ianfid              INTEGER NOT NULL REFERENCES tanf_annifinanz (ianfid),
    itnoid              INTEGER REFERENCES ttno_posgiuridiche (itnoid),  -- main position
    iqarid              INTEGER REFERENCES tqar_qualifiche (iqarid),
    dacominirapp        DATE,                   -- contract start (may be missing)
    dacomfinerapp       DATE,                   -- contract end, null when open
    lacomminimi         INTEGER DEFAULT 0,      -- 1: flat-rate regime
    iacomsoggenpals     INTEGER DEFAULT 0,      -- > 0: subject to the entertainment fund
    lacomborsadottorato INTEGER DEFAULT 0,      -- 1: doctoral scholarship
    iacomduratarapp     INTEGER DEFAULT 0,      -- days of a collaboration in the year
    iacomscainpdap      INTEGER DEFAULT 0       -- public-pension rate scale
);
CREATE INDEX IF NOT EXISTS ix_tacom_anno ON tacom_rapporti (ianfid, ianaperid);
