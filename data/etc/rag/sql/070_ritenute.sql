-- Withholdings of the pay lines: employee (DIP) and employer (AMM) side.

CREATE TABLE IF NOT EXISTS tvarr_varritenute (
    ivarrid            INTEGER       NOT NULL PRIMARY KEY,
    ivarmid            INTEGER,                     -- pay line
    iriceid            INTEGER       NOT NULL,      -- withholding code
    fvarrimponibiledip NUMERIC(18,4) DEFAULT 0,
    fvarrpercimpdip    NUMERIC(18,6) DEFAULT 0,
    fvarrritdip        NUMERIC(18,4) DEFAULT 0,
    fvarrimponibileamm NUMERIC(18,4) DEFAULT 0,
    fvarrpercimpamm    NUMERIC(18,6) DEFAULT 0,
    fvarrritamm        NUMERIC(18,4) DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_tvarr_ritenuta ON tvarr_varritenute (iriceid);
CREATE INDEX IF NOT EXISTS ix_tvarr_voce ON tvarr_varritenute (ivarmid);
