-- Payroll side: year-end adjustment, deduction declarations, pension fund,
-- payments sent to NoiPA, contribution rates and the rule tables of the
-- calculation classes. docs/payroll-data-model.md describes every column.

-- Year-end tax adjustment of a relationship, made in month imesid.
CREATE TABLE IF NOT EXISTS tcong_conguagli (
    icongid                     INTEGER       NOT NULL PRIMARY KEY,
    iacomid                     INTEGER       NOT NULL REFERENCES tacom_rapporti (iacomid),
    imesid                      INTEGER       NOT NULL,
    fcongimponibile_t           NUMERIC(18,4) DEFAULT 0,  -- taxable income of the year
    fcongimponibile_p           NUMERIC(18,4) DEFAULT 0,  -- taxable of point 1 (employment)
    fcongritlorda               NUMERIC(18,4) DEFAULT 0,  -- gross tax
    fcongritnetta               NUMERIC(18,4) DEFAULT 0,  -- net tax
    fcongdetrazioni             NUMERIC(18,4) DEFAULT 0,  -- total deductions
    fcongimpconcar              NUMERIC(18,4) DEFAULT 0,  -- spouse deduction
    fcongimpfiglicar            NUMERIC(18,4) DEFAULT 0,  -- children deduction
    fcongimpaltricar            NUMERIC(18,4) DEFAULT 0,  -- other dependants deduction
    fcongimplavdip              NUMERIC(18,4) DEFAULT 0,  -- employment deduction
    fcongimplavagg              NUMERIC(18,4) DEFAULT 0,  -- additional employment deduction
    fcongaddcom_dov             NUMERIC(18,4) DEFAULT 0,  -- municipal surcharge due
    fcongaddreg_dov             NUMERIC(18,4) DEFAULT 0,  -- regional surcharge due
    fconggiorni                 INTEGER       DEFAULT 0,  -- days of deduction
    fcongdetfamnum              NUMERIC(18,4) DEFAULT 0,  -- large-family deduction
    fcongcrefamnum              NUMERIC(18,4) DEFAULT 0,  -- its credit
    fcongcnrfamnum              NUMERIC(18,4) DEFAULT 0,  -- its credit not refunded
    fcongdetcanone              NUMERIC(18,4) DEFAULT 0,  -- rent deduction
    fcongcrecanone              NUMERIC(18,4) DEFAULT 0,  -- its credit
    fcongcnrcanone              NUMERIC(18,4) DEFAULT 0,  -- its credit not refunded
    fcongbonus66_dov            NUMERIC(18,4) DEFAULT 0,  -- integrative treatment due
    fcongtaglio_cuneo_fisc_dov  NUMERIC(18,4) DEFAULT 0,  -- tax-wedge cut due
    fcongtaglio_cuneo_fisc_perc NUMERIC(18,6) DEFAULT 0,  -- its percentage
    fcongimpnetto               NUMERIC(18,4) DEFAULT 0   -- net tax after the cut
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tcong_rapporto ON tcong_conguagli (iacomid, imesid);

-- Deduction declaration of a person for a financial year.
CREATE TABLE IF NOT EXISTS tadet_detrazioni (
    iadetid            INTEGER       NOT NULL PRIMARY KEY,
    ianaid             INTEGER       NOT NULL REFERENCES tana_anagrafiche (ianaid),
    ianfid             INTEGER       NOT NULL REFERENCES tanf_annifinanz (ianfid),
    sadetcfconcar      VARCHAR(16),              -- spouse tax code
    ladetconcar        INTEGER       DEFAULT 0,  -- 1: spouse dependent
    iadetfigli         INTEGER       DEFAULT 0,  -- children declared
    iadetaltri         INTEGER       DEFAULT 0,  -- other dependants declared
    sadetcfaltricar1   VARCHAR(16),
    sadetcfaltricar2   VARCHAR(16),
    fadetpercaltri     NUMERIC(18,4) DEFAULT 0,  -- their deduction percentage
    ladetmancagenitore INTEGER       DEFAULT 0   -- 1: the other parent is missing
);
CREATE UNIQUE INDEX IF NOT EXISTS ux_tadet_anno ON tadet_detrazioni (ianaid, ianfid);

-- Children of a declaration, one row per month range a child is declared
-- in; the month counters are those the payroll program computed.
CREATE TABLE IF NOT EXISTS tadef_detrfigli (
    iadefid         INTEGER       NOT NULL PRIMARY KEY,
    iadetid         INTEGER       NOT NULL REFERENCES tadet_detrazioni (iadetid),
    sadefcodfisc    VARCHAR(16),
    iadefordine     INTEGER       NOT NULL,     -- 1: first child
    imesdal         INTEGER       NOT NULL,
    imesal          INTEGER       NOT NULL,
    fdefperc        NUMERIC(18,4) DEFAULT 0,    -- deduction percentage
    ladefhandycap   INTEGER       DEFAULT 0,
    ladefaffido100  INTEGER       DEFAULT 0,    -- 100% in foster care
    iadefmesicarico INTEGER       DEFAULT 0,    -- months dependent
    iadefmesimin3   INTEGER       DEFAULT 0,    -- months under three years
    iadefmesigf     INTEGER       DEFAULT 0,    -- months of the single-parent rule
    iadefmesialtri  INTEGER       DEFAULT 0     -- months of the over-21 deduction
);
CREATE INDEX IF NOT EXISTS ix_tadef_dichiarazione ON tadef_detrfigli (iadetid, iadefordine, imesdal);

-- Supplementary pension fund a person joined.
CREATE TABLE IF NOT EXISTS tafp_fondipensione (
    iafpid       INTEGER      NOT NULL PRIMARY KEY,
    ianaid       INTEGER      NOT NULL REFERENCES tana_anagrafiche (ianaid),
    safpdesc     VARCHAR(100),
    dafpadesione DATE
);
CREATE INDEX IF NOT EXISTS ix_tafp_persona ON tafp_fondipensione (ianaid);

-- Payments sent to NoiPA ("Accessori Fuori sistema"), by liquidation month.
CREATE TABLE IF NOT EXISTS tcfsa_accfuorisistema (
    icfsaid            INTEGER       NOT NULL PRIMARY KEY,
    iacomid            INTEGER       NOT NULL REFERENCES tacom_rapporti (iacomid),
    icfsaannorif       INTEGER       NOT NULL,   -- reference year
    icfsameseliquidaz  INTEGER       NOT NULL,   -- liquidation month 1..12
    fcfsaimponpens     NUMERIC(18,4) DEFAULT 0,  -- pension taxable
    fcfsaritpens       NUMERIC(18,4) DEFAULT 0,  -- pension contribution, employee
    fcfsacontrammpens  NUMERIC(18,4) DEFAULT 0,  -- pension contribution, employer
    fcfsaimponoperap   NUMERIC(18,4) DEFAULT 0,  -- severance (TFR) taxable
    fcfsaritammoperap  NUMERIC(18,4) DEFAULT 0,  -- severance contribution
    fcfsaimponfondoc   NUMERIC(18,4) DEFAULT 0,  -- credit fund taxable
    fcfsaritfondoc     NUMERIC(18,4) DEFAULT 0   -- credit fund contribution
);
CREATE INDEX IF NOT EXISTS ix_tcfsa_rapporto ON tcfsa_accfuorisistema (iacomid, icfsameseliquidaz);

-- Contribution rates by withholding code, year and rate scale.
CREATE TABLE IF NOT EXISTS trica_aliquote (
    iricaid          INTEGER       NOT NULL PRIMARY KEY,
    iriceid          INTEGER       NOT NULL,
    ianfid           INTEGER       NOT NULL,
    iacomscainpdap   INTEGER       DEFAULT 0,
    fricaaliquotadip NUMERIC(18,6) DEFAULT 0,
    fricaaliquotaamm NUMERIC(18,6) DEFAULT 0,
    fricaminimale    NUMERIC(18,4) DEFAULT 0   -- daily minimum (entertainment fund)
);
CREATE INDEX IF NOT EXISTS ix_trica_anno ON trica_aliquote (iriceid, ianfid, iacomscainpdap);

-- Yearly ceiling of the entertainment fund.
CREATE TABLE IF NOT EXISTS tenpm_massimali (
    ienpmid        INTEGER       NOT NULL PRIMARY KEY,
    ianfid         INTEGER       NOT NULL,
    fenpmmassimale NUMERIC(18,4) DEFAULT 0
);

-- Employment-income deduction brackets (itdlausercode 1 open-ended,
-- -1 fixed-term minimum row, 2 and 3 the following brackets).
CREATE TABLE IF NOT EXISTS ttdla_detrlavoro (
    itdlaid          INTEGER       NOT NULL PRIMARY KEY,
    ianfid           INTEGER       NOT NULL,
    itdlausercode    INTEGER       NOT NULL,
    ftdlascaglione   NUMERIC(18,4) DEFAULT 0,   -- income from
    ftdlascaglionea  NUMERIC(18,4) DEFAULT 0,   -- income up to
    ftdladetrazione  NUMERIC(18,4) DEFAULT 0,
    ftdlaminind      NUMERIC(18,4) DEFAULT 0,
    ftdlamindet      NUMERIC(18,4) DEFAULT 0
);

-- Spouse deduction brackets.
CREATE TABLE IF NOT EXISTS ttdco_detrconiuge (
    itdcoid         INTEGER       NOT NULL PRIMARY KEY,
    ianfid          INTEGER       NOT NULL,
    itdcousercode   INTEGER       NOT NULL,
    ftdcoscaglione  NUMERIC(18,4) DEFAULT 0,
    ftdcoscaglionea NUMERIC(18,4) DEFAULT 0,
    ftdcodetrazione NUMERIC(18,4) DEFAULT 0
);

-- Children and other dependants deduction parameters of a year.
CREATE TABLE IF NOT EXISTS ttdfa_detrfamiliari (
    itdfaid            INTEGER       NOT NULL PRIMARY KEY,
    ianfid             INTEGER       NOT NULL,
    ftdfasogliabase    NUMERIC(18,4) DEFAULT 0,
    ftdfasogliainc     NUMERIC(18,4) DEFAULT 0,
    ftdfadetfiglio1    NUMERIC(18,4) DEFAULT 0,
    ftdfadetfiglio3    NUMERIC(18,4) DEFAULT 0,
    ftdfadetfigliomin3 NUMERIC(18,4) DEFAULT 0,
    ftdfadethandy1     NUMERIC(18,4) DEFAULT 0,
    ftdfadetaltri      NUMERIC(18,4) DEFAULT 0,
    ftdfasogliaaltri   NUMERIC(18,4) DEFAULT 0,
    ftdfadetfamnum     NUMERIC(18,4) DEFAULT 0
);

-- Rent deduction brackets by kind of lease.
CREATE TABLE IF NOT EXISTS ttdca_detrcanone (
    itdcaid         INTEGER       NOT NULL PRIMARY KEY,
    ianfid          INTEGER       NOT NULL,
    itdcatipo       INTEGER       NOT NULL,
    ftdcascaglione  NUMERIC(18,4) DEFAULT 0,
    ftdcadetrazione NUMERIC(18,4) DEFAULT 0
);

-- Tax-wedge cut brackets.
CREATE TABLE IF NOT EXISTS ttdcu_cuneofiscale (
    itdcuid         INTEGER       NOT NULL PRIMARY KEY,
    ianfid          INTEGER       NOT NULL,
    itdcuusercode   INTEGER       NOT NULL,
    ftdcuscaglione  NUMERIC(18,4) DEFAULT 0,
    ftdcudetrazione NUMERIC(18,4) DEFAULT 0
);

-- Contract tables: the amount of a pay item for a qualification and year.
CREATE TABLE IF NOT EXISTS tccnl_contratti (
    iccnlid      INTEGER       NOT NULL PRIMARY KEY,
    ianfid       INTEGER       NOT NULL,
    iqarid       INTEGER       NOT NULL,
    icomrid      INTEGER       NOT NULL,
    fccnlimporto NUMERIC(18,4) DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_tccnl_qualifica ON tccnl_contratti (ianfid, iqarid);
