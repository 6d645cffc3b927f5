-- Generators (GenerateID): one row per generator, igenvalore = last value
-- handed out. PostgreSQL uses sequences instead (010_generatori.postgres.sql):
-- a generator added here is added there too.
CREATE TABLE IF NOT EXISTS tov_generatori (
    sgennome   VARCHAR(63) NOT NULL PRIMARY KEY,
    igenvalore INTEGER     NOT NULL DEFAULT 0
);

INSERT INTO tov_generatori (sgennome, igenvalore) VALUES ('TAFI_ANAFISCALE', 0) ON CONFLICT DO NOTHING;
INSERT INTO tov_generatori (sgennome, igenvalore) VALUES ('TCDS_STRUTTURA', 0) ON CONFLICT DO NOTHING;
