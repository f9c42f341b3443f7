-- Organisation database PX_Org.mdb: reference tables and the program's settings.
--
-- Text columns compare without regard to case (NOCASE, which every SQLite tool
-- knows); the engine adds the German comparison and order to the statements
-- it runs. Codes are text so that leading zeros survive ("01001000"). No
-- uniqueness is enforced: the program never relies on a key constraint here,
-- and the code lists are loaded as delivered.

-- All municipalities and district offices (Landratsamt/Kreisverwaltung).
-- Filled from the municipality and district code lists; read only.
CREATE TABLE [gemeindekennzahlen] (
    [gem-kz]   TEXT(8)   COLLATE NOCASE,
    [gem-name] TEXT(150) COLLATE NOCASE
);
CREATE INDEX [ix_gemeindekennzahlen_gem_kz] ON [gemeindekennzahlen] ([gem-kz]);

-- Legal forms. The import looks a business's legal-form code up in [schluessel]
-- and reads [typ]: a partnership ("P") decides how the persons of a juridical
-- person with function 3 are linked.
CREATE TABLE [Rechtsformen] (
    [schluessel]  TEXT(10)  COLLATE NOCASE,
    [typ]         TEXT(2)   COLLATE NOCASE,
    [bezeichnung] TEXT(150) COLLATE NOCASE
);
CREATE INDEX [ix_Rechtsformen_schluessel] ON [Rechtsformen] ([schluessel]);

-- The municipalities the user marked for the municipality filter. The options
-- window rewrites the whole table on "Zurück"; every row it writes is marked.
-- [markiert] stays nullable on purpose: a Null counts as "not marked".
CREATE TABLE [aktuelleGemeinde] (
    [gem-kz]   TEXT(8)   COLLATE NOCASE,
    [gem-name] TEXT(150) COLLATE NOCASE,
    [markiert] BOOLEAN DEFAULT 0
);
CREATE INDEX [ix_aktuelleGemeinde_gem_kz] ON [aktuelleGemeinde] ([gem-kz]);

-- The single options row; created with defaults on first start when missing.
-- [datenart] may be Null or blank (it is then repaired to BETRIEBSBEZOGEN),
-- so neither it nor the paths are NOT NULL.
CREATE TABLE [Optionen] (
    [datenart]                TEXT(20)  COLLATE NOCASE,
    [db_betriebsbezogen]      LONGTEXT  COLLATE NOCASE,  -- a path of any length
    [db_meldungsbezogen]      LONGTEXT  COLLATE NOCASE,
    [filter_aktiv]            BOOLEAN NOT NULL DEFAULT 0,
    [Dateiendung_registriert] BOOLEAN NOT NULL DEFAULT 0
);
