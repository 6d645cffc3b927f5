-- Every person of the store carries a version that each write of its rows
-- moves on (the store does it, once a transaction). A CU is its person: a
-- workstation that read version 7 and writes under version 7 knows nothing
-- changed the CU since; finding 8, or no person at all, it refuses instead of
-- writing over another workstation's work.
ALTER TABLE tafi_anafiscale ADD COLUMN IF NOT EXISTS iafiversione INTEGER NOT NULL DEFAULT 1;
