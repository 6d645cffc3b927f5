-- On PostgreSQL the wide index of 022_archivio_fiscale_lettura.sql (SQLite
-- loads a structure from it alone) is not kept: the server reads the table's
-- rows anyway until a vacuum has marked them visible, which a campaign's fresh
-- rows are not, and every value row an import writes paid for a second copy
-- of itself in that index and in the write-ahead log. Rewriting and deleting
-- a row by structure and row number keeps a narrow index of its own.
CREATE INDEX IF NOT EXISTS ix_tfis_rigo ON tfis_datifiscali (icdsid, ifisrigo);
DROP INDEX IF EXISTS ix_tfis_lettura;
