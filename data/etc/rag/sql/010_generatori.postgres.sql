-- Generators (GenerateID): sequence gen_<generator>. SQLite keeps them as
-- rows of tov_generatori (010_generatori.sqlite.sql): a generator added here
-- is added there too.
CREATE SEQUENCE IF NOT EXISTS gen_tafi_anafiscale;
CREATE SEQUENCE IF NOT EXISTS gen_tcds_struttura;
-- Keys of the fiscal periods, drawn only by ptor_getcrofiscale (on SQLite
-- the period key is the table's rowid).
CREATE SEQUENCE IF NOT EXISTS gen_tcrf_crofiscale;
