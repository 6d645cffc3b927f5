-- The demo school's payroll runs of 2025 and its chart of accounts (converted
-- to the 2019 model).
INSERT INTO tcot_tipiliquidazione (icotid, scotldesc, icotfondamentale) VALUES
    (1, 'Retribuzione mensile', 1),
    (2, 'Compensi accessori', 0),
    (3, 'Arretrati', 0)
ON CONFLICT DO NOTHING;

INSERT INTO tregs_registri (iregsid, ianfid, imesid, icotid, iregsgruppo, dregsdata) VALUES
    (1, 56, 11, 1, 1, '2025-11-23'),
    (2, 56, 12, 1, 1, '2025-12-16'),
    (3, 56, 12, 2, 1, '2025-12-16')
ON CONFLICT DO NOTHING;

INSERT INTO ttim_tipiconto (itimid, stimdesc) VALUES
    (200001, 'Spese per il personale'),
    (500001, 'Partite di giro')
ON CONFLICT DO NOTHING;

INSERT INTO tcon_conti (iconid, itimid, sconcodice, scondesc) VALUES
    (1, 200001, 'A02.01', 'Retribuzioni personale'),
    (2, 500001, 'Z01.01', 'Ritenute erariali')
ON CONFLICT DO NOTHING;

INSERT INTO tnaf_nuovoanf (ianfid, dnafdata) VALUES (50, '2019-01-15') ON CONFLICT DO NOTHING;
