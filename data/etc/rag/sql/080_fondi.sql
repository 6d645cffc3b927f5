-- Funds the CU amounts are drawn from, with the kind of school they apply to.

CREATE TABLE IF NOT EXISTS tcufo_fondicu (
    icufoid         INTEGER      NOT NULL PRIMARY KEY,
    scufocodice     VARCHAR(20),
    scufodesc       VARCHAR(150),
    icufotiposcuola INTEGER
);
