-- Payroll side: what a pay register holds. A register (tregs_registri) is
-- one payee's slip in one payroll run: its relationship, legal position,
-- month, days and period; its pay lines by pay item (tvacr_vocicalcolate)
-- and its withholding lines by withholding code (tvarr_varritenute).
-- docs/payroll-data-model.md describes every column.

-- The register's payee and period (columns added to the run's registers).
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS iacomid INTEGER;
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS itnoid INTEGER;
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS iqarid INTEGER;
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS iregsgiorni INTEGER DEFAULT 0;
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS dregsdal DATE;
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS dregsal DATE;
-- 1: the payment was sent to NoiPA ("Accessori Fuori sistema").
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS lregsexpcsfa INTEGER DEFAULT 0;
-- Payment reason of a self-employed payment (A, M, P ...), when set.
ALTER TABLE tregs_registri ADD COLUMN IF NOT EXISTS sregscausale VARCHAR(2);
CREATE INDEX IF NOT EXISTS ix_tregs_rapporto ON tregs_registri (iacomid, imesid);

-- Withholding codes: 2 public pension (ex INPDAP), 3 INPS, 7 IRPEF,
-- 8 municipal surcharge, 10 regional surcharge, 11 IRPEF on self-employed
-- pay, 12 IRPEF under separate taxation (arrears), 13 INPS part-time,
-- 15 INPS separate scheme, 16 entertainment fund (ex ENPALS),
-- 20 supplementary pension fund, 21 severance pay to the fund.
CREATE TABLE IF NOT EXISTS trice_ritenute (
    iriceid    INTEGER      NOT NULL PRIMARY KEY,
    sriceldesc VARCHAR(100) NOT NULL
);

-- Pay items. Group 4: 730 assistance (refunds and withholdings).
CREATE TABLE IF NOT EXISTS tcomr_vocicompenso (
    icomrid        INTEGER      NOT NULL PRIMARY KEY,
    scomrldesc     VARCHAR(100) NOT NULL,
    icomrgruppo    INTEGER      DEFAULT 0,
    lcomrnonsogg   INTEGER      DEFAULT 0,     -- 1: not subject to withholding
    lcomrspeserimb INTEGER      DEFAULT 0      -- 1: refunded expenses
);

-- Pay lines of a register: amount of one pay item.
CREATE TABLE IF NOT EXISTS tvacr_vocicalcolate (
    ivacrid    INTEGER       NOT NULL PRIMARY KEY,
    iregsid    INTEGER       NOT NULL REFERENCES tregs_registri (iregsid),
    icomrid    INTEGER       NOT NULL REFERENCES tcomr_vocicompenso (icomrid),
    fvacrlordo NUMERIC(18,4) DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_tvacr_registro ON tvacr_vocicalcolate (iregsid, icomrid);

-- Withholding lines belong to a register; ivarmid names the pay line an
-- accessory withholding was computed on (null: the register as a whole).
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS iregsid INTEGER;
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS icomrid INTEGER;
-- Contribution kind of fundamental pay (10001 monthly pay, 10002 13th month).
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS icosid INTEGER;
-- Contribution kind of accessory pay (3 accessory pay, 4 arrears).
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS ivarmriprid INTEGER;
-- Instalment kind of a surcharge withheld (4: municipal surcharge).
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS iritvid INTEGER;
-- Gross tax of an IRPEF line (before deductions).
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS fvarrlordo NUMERIC(18,4) DEFAULT 0;
-- Rates and contribution amounts of the entertainment fund (ex ENPALS).
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS fvarrritammeccmass NUMERIC(18,4) DEFAULT 0;
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS fvarrritdipctragg NUMERIC(18,4) DEFAULT 0;
ALTER TABLE tvarr_varritenute ADD COLUMN IF NOT EXISTS fvarrritdipeccmass NUMERIC(18,4) DEFAULT 0;
CREATE INDEX IF NOT EXISTS ix_tvarr_registro ON tvarr_varritenute (iregsid, iriceid);

-- Deductions applied on a register's IRPEF line (without year-end
-- adjustment these are the deduction figures of the CU).
CREATE TABLE IF NOT EXISTS tadetr_detrazioniregs (
    iadetrid         INTEGER       NOT NULL PRIMARY KEY,
    iregsid          INTEGER       NOT NULL REFERENCES tregs_registri (iregsid),
    iriceid          INTEGER       NOT NULL,
    fadetimpconcar   NUMERIC(18,4) DEFAULT 0,   -- spouse
    fadetimpfiglicar NUMERIC(18,4) DEFAULT 0,   -- children
    fadetimpaltricar NUMERIC(18,4) DEFAULT 0,   -- other dependants
    fadetimplavdip   NUMERIC(18,4) DEFAULT 0,   -- employment income
    fadetimplavagg   NUMERIC(18,4) DEFAULT 0    -- additional employment deduction
);
CREATE INDEX IF NOT EXISTS ix_tadetr_registro ON tadetr_detrazioniregs (iregsid);

-- Absences that cut the days of deduction, by relationship and month.
CREATE TABLE IF NOT EXISTS tass_assenze (
    iassid     INTEGER     NOT NULL PRIMARY KEY,
    iacomid    INTEGER     NOT NULL REFERENCES tacom_rapporti (iacomid),
    imesid     INTEGER     NOT NULL,
    iassgiorni INTEGER     NOT NULL DEFAULT 0,
    sassdesc   VARCHAR(60)
);
CREATE INDEX IF NOT EXISTS ix_tass_rapporto ON tass_assenze (iacomid, imesid);
