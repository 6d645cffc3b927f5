-- Payroll runs and the chart of accounts, as far as the parameters read them.
--
-- tcot_tipiliquidazione: kinds of payroll run (monthly pay, arrears, ...);
-- icotfondamentale = 1 for the run of the fundamental pay.
-- tregs_registri: the pay registers; a run of a month is the set of registers
-- of one kind, group and month of a financial year.
CREATE TABLE IF NOT EXISTS tcot_tipiliquidazione (
    icotid           INTEGER      NOT NULL PRIMARY KEY,
    scotldesc        VARCHAR(100) NOT NULL,
    icotfondamentale INTEGER      DEFAULT 0
);

CREATE TABLE IF NOT EXISTS tregs_registri (
    iregsid     INTEGER NOT NULL PRIMARY KEY,
    ianfid      INTEGER NOT NULL REFERENCES tanf_annifinanz (ianfid),
    imesid      INTEGER NOT NULL,             -- 1..12
    icotid      INTEGER NOT NULL REFERENCES tcot_tipiliquidazione (icotid),
    iregsgruppo INTEGER NOT NULL DEFAULT 0,
    dregsdata   DATE
);
CREATE INDEX IF NOT EXISTS ix_tregs_liquidazione ON tregs_registri (ianfid, imesid, icotid, iregsgruppo);

-- Chart of accounts: account types (itimid) and the accounts of each.
CREATE TABLE IF NOT EXISTS ttim_tipiconto (
    itimid    INTEGER      NOT NULL PRIMARY KEY,
    stimdesc  VARCHAR(100) NOT NULL
);
CREATE TABLE IF NOT EXISTS tcon_conti (
    iconid     INTEGER      NOT NULL PRIMARY KEY,
    itimid     INTEGER      NOT NULL REFERENCES ttim_tipiconto (itimid),
    sconcodice VARCHAR(20)  NOT NULL,
    scondesc   VARCHAR(150)
);
CREATE INDEX IF NOT EXISTS ix_tcon_tipo ON tcon_conti (itimid);

-- Financial years whose chart of accounts was converted to the 2019 model.
CREATE TABLE IF NOT EXISTS tnaf_nuovoanf (
    ianfid    INTEGER NOT NULL PRIMARY KEY REFERENCES tanf_annifinanz (ianfid),
    dnafdata  DATE
);
