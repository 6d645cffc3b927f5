-- Financial and school years. Keys: calendar year - 1969 (2025 = 56); a
-- school year takes the key of the year it starts in (2025/26 = 56).

CREATE TABLE IF NOT EXISTS tanf_annifinanz (
    ianfid          INTEGER     NOT NULL PRIMARY KEY,
    sanfdesc        VARCHAR(20),
    danforvexinizio DATE        NOT NULL,
    danforvexfine   DATE        NOT NULL
);

CREATE TABLE IF NOT EXISTS tans_anniscolast (
    iansid          INTEGER     NOT NULL PRIMARY KEY,
    sansdesc        VARCHAR(20),
    dansorvexinizio DATE        NOT NULL,
    dansorvexfine   DATE        NOT NULL
);
