-- Key of a fiscal period, the period created when missing. Program in lower
-- case; a year or month below 1 is stored as null. Called as
--   SELECT ptor_getcrofiscale(:SCRFPROGRAMMA, :ICRFANNO, :ICRFMESE) AS icrfid
-- (the text SQLite runs too) or SELECT * FROM ptor_getcrofiscale(...).
-- Two sessions creating the same period at once: the unique index makes the
-- second wait for the first and then take its key.
CREATE OR REPLACE FUNCTION ptor_getcrofiscale(p_programma VARCHAR, p_anno INTEGER, p_mese INTEGER,
                                              OUT icrfid INTEGER)
LANGUAGE plpgsql AS $$
#variable_conflict use_column
DECLARE
    v_programma VARCHAR := lower(p_programma);
    v_anno      INTEGER := CASE WHEN p_anno >= 1 THEN p_anno END;
    v_mese      INTEGER := CASE WHEN p_mese >= 1 THEN p_mese END;
BEGIN
    IF v_programma IS NULL OR v_programma = '' THEN
        RAISE EXCEPTION 'ptor_getcrofiscale: codice programma mancante';
    END IF;

    SELECT c.icrfid INTO icrfid
      FROM tcrf_crofiscale c
     WHERE lower(c.scrfprogramma) = v_programma
       AND COALESCE(c.icrfanno, 0) = COALESCE(v_anno, 0)
       AND COALESCE(c.icrfmese, 0) = COALESCE(v_mese, 0);
    IF FOUND THEN
        RETURN;
    END IF;

    INSERT INTO tcrf_crofiscale AS c (icrfid, icrfanno, icrfmese, scrfprogramma)
    VALUES (nextval('gen_tcrf_crofiscale'), v_anno, v_mese, v_programma)
    ON CONFLICT (lower(scrfprogramma), COALESCE(icrfanno, 0), COALESCE(icrfmese, 0)) DO NOTHING
    RETURNING c.icrfid INTO icrfid;
    IF icrfid IS NOT NULL THEN
        RETURN;
    END IF;

    -- Another session created it in the meantime: its row is committed now.
    SELECT c.icrfid INTO icrfid
      FROM tcrf_crofiscale c
     WHERE lower(c.scrfprogramma) = v_programma
       AND COALESCE(c.icrfanno, 0) = COALESCE(v_anno, 0)
       AND COALESCE(c.icrfmese, 0) = COALESCE(v_mese, 0);
END
$$;
