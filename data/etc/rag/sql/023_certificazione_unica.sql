-- One certification per tax code and month in a period. A CU owns its person
-- (tax code and month are the person's columns), so the key lives here: two
-- workstations importing the same payee cannot both commit a CU, whichever
-- engine and however their transactions interleave. Only a CU's person has a
-- group key; the persons of the agent's structures have none.
-- A database that already holds a doubled CU refuses the index: the set-up
-- tool then names this script, and the doubled CU must be deleted first.
CREATE UNIQUE INDEX IF NOT EXISTS ux_tafi_certificazione
    ON tafi_anafiscale (icrfid, lower(saficodfiscale), safigruppoana)
    WHERE safigruppoana IS NOT NULL AND safigruppoana <> '';
