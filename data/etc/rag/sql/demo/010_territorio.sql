-- Demo: provinces, municipalities and postal codes used by the demo school
-- and its staff (cadastral codes are the real ones).

INSERT INTO tpro_province (iproid, sprosigla, sprodesc) VALUES
    (1, 'RA', 'Ravenna'), (2, 'FC', 'Forlì-Cesena'), (3, 'RN', 'Rimini'), (4, 'FE', 'Ferrara'),
    (5, 'BO', 'Bologna'), (6, 'RM', 'Roma'), (7, 'MI', 'Milano'), (8, 'NA', 'Napoli'),
    (9, 'TO', 'Torino'), (10, 'FI', 'Firenze'), (11, 'BA', 'Bari'), (12, 'PA', 'Palermo'),
    (13, 'PD', 'Padova'), (14, 'VR', 'Verona')
ON CONFLICT DO NOTHING;

INSERT INTO tcom_comuni (icomid, scomdesc, scomcodcatastale, iproid) VALUES
    (1, 'RAVENNA', 'H199', 1), (2, 'FAENZA', 'D458', 1), (3, 'LUGO', 'E730', 1), (4, 'CERVIA', 'C553', 1),
    (5, 'FORLI''', 'D704', 2), (6, 'CESENA', 'C573', 2), (7, 'RIMINI', 'H294', 3), (8, 'FERRARA', 'D548', 4),
    (9, 'BOLOGNA', 'A944', 5), (10, 'ROMA', 'H501', 6), (11, 'MILANO', 'F205', 7), (12, 'NAPOLI', 'F839', 8),
    (13, 'TORINO', 'L219', 9), (14, 'FIRENZE', 'D612', 10), (15, 'BARI', 'A662', 11), (16, 'PALERMO', 'G273', 12),
    (17, 'PADOVA', 'G224', 13), (18, 'VERONA', 'L781', 14)
ON CONFLICT DO NOTHING;

INSERT INTO tcap_cap (icapid, scapvalue, icomid) VALUES
    (1, '48121', 1), (2, '48122', 1), (3, '48123', 1), (4, '48124', 1), (5, '48125', 1),
    (6, '48018', 2), (7, '48022', 3), (8, '48015', 4), (9, '47121', 5), (10, '47521', 6),
    (11, '47921', 7), (12, '44121', 8), (13, '40121', 9), (14, '00184', 10), (15, '20121', 11),
    (16, '80121', 12), (17, '10121', 13), (18, '50121', 14), (19, '70121', 15), (20, '90121', 16),
    (21, '35121', 17), (22, '37121', 18)
ON CONFLICT DO NOTHING;
