-- Set-up scripts of the velcu database, applied in file-name order by
-- "velcu-db create" on SQLite and PostgreSQL alike. Every statement can run
-- again without harm (IF NOT EXISTS, OR REPLACE, ON CONFLICT DO NOTHING).
-- "x.postgres.sql" / "x.sqlite.sql" run on one engine only; @BLOB@ becomes
-- BYTEA or BLOB. Identifiers are written in lower case, as PostgreSQL folds
-- them, so SELECT * gives the same column names on both engines.
-- Amounts are NUMERIC(18,4); dates DATE; flags (L...) INTEGER 0/1.

-- Scripts already applied, with the SHA-256 of their text.
CREATE TABLE IF NOT EXISTS tov_schema (
    sschfile      VARCHAR(200) NOT NULL PRIMARY KEY,
    sschhash      VARCHAR(64)  NOT NULL,
    tschapplicato TIMESTAMP
);
