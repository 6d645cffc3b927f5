-- Demo: a fictional school in Ravenna, its configurations for the financial
-- years 2025 (workgroup 1) and 2026 (workgroup 2), agent parameters and funds.
-- The school's tax code is made up but has a valid check digit; those of
-- INPS and of the Ministry of Economy are the public ones.

INSERT INTO tsed_sedi (isedid, ssedcodmecc, ssednomcodicefisc, ssednomldesc, ssednomsdesc,
                       ssedteltelefono, ssedfaxno, ssedemlemail, ssedemlpec) VALUES
    (1, 'RAIC899006', '92017840536', 'ISTITUTO COMPRENSIVO STATALE DANTE ALIGHIERI', 'I.C. DANTE ALIGHIERI',
     '0544 212345', '0544/212346', 'raic899006@istruzione.it', 'raic899006@pec.istruzione.it')
ON CONFLICT DO NOTHING;

-- The school moved in September 2024: years up to 2023 keep the old address.
INSERT INTO tsedind_indirizzi (isedindid, isedid, dsedindvalidodal, ssedindindirizzo, icomid, icapid) VALUES
    (1, 1, '2010-09-01', 'VIA GUIDO DA POLENTA, 5', 1, 1),
    (2, 1, '2024-09-01', 'VIA GIUSEPPE MAZZINI, 12', 1, 1)
ON CONFLICT DO NOTHING;

-- The head teacher since September 2022, who signs the supply (a made-up
-- person; the tax code has a valid check letter).
INSERT INTO tsedrap_rappresentanti (isedrapid, isedid, dsedrapvalidodal, ssedrapcodfis, ssedrapcognome,
                                    ssedrapnome, ssedrapcarica) VALUES
    (1, 1, '2022-09-01', 'BNCLRA70M45H199W', 'BIANCHI', 'LAURA', '1')
ON CONFLICT DO NOTHING;

INSERT INTO tdwg_gruppilavoro (idwgid, isedid, ianfid, iansid, sdwgdesc) VALUES
    (1, 1, 56, 56, 'I.C. DANTE ALIGHIERI - A.S. 2025/2026 - E.F. 2025'),
    (2, 1, 57, 56, 'I.C. DANTE ALIGHIERI - A.S. 2025/2026 - E.F. 2026')
ON CONFLICT DO NOTHING;

INSERT INTO tpaco_paramcontabili (idwganfid, lpacoafam, spacomatrazienda, spacomatrazacc, spacocfinps,
                                  lpacocudinpdap, spacocfmef, spacocodateco2007) VALUES
    (1, 0, '4512345678', NULL, '80078750587', 0, '80415740580', '852000'),
    (2, 0, '4512345678', NULL, '80078750587', 0, '80415740580', '852000')
ON CONFLICT DO NOTHING;

INSERT INTO tcufo_fondicu (icufoid, scufocodice, scufodesc, icufotiposcuola) VALUES
    (1, 'FIS', 'FONDO DELL''ISTITUZIONE SCOLASTICA', 1),
    (2, 'ORE_ECC', 'ORE ECCEDENTI PER LA SOSTITUZIONE DEI COLLEGHI ASSENTI', 1),
    (3, 'FUNZ_STR', 'FUNZIONI STRUMENTALI AL PIANO DELL''OFFERTA FORMATIVA', 1),
    (4, 'PON', 'PROGETTI PON - FONDI STRUTTURALI EUROPEI', 1)
ON CONFLICT DO NOTHING;
