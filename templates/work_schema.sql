-- Working database px_4x_b.mdb / px_4x_m.mdb: businesses, their persons and
-- everything hanging off them. Both data kinds share this one layout.
--
-- Conventions that the rest of the program depends on:
--  * Column names are the element names of the transfer file, so the export
--    writes them as stored and the import finds them by name. Names are lower
--    case; the code looks some of them up in other letter cases
--    (betr-Ende, b-Erl-datum, tk-Ende, p-Erl-datum), so name lookups must ignore case.
--  * Every value is text, keys and codes included ("0815" keeps its zero),
--    and is compared with quoted literals. The columns and their indexes use
--    SQLite's own NOCASE, so that any SQLite tool can read, check and query
--    the file; the engine adds the German comparison and order (umlauts,
--    "ß") to the statements it runs. An index serves key lookups whose value
--    is plain ASCII, which keys are.
--  * Dates are text "DD.MM.YYYY" or the words "unbekannt"/"unbegrenzt",
--    hence TEXT(10). The 18 date columns are marked "date" below.
--  * The import cuts a value that is longer than its column (and logs the
--    cut); memo columns (LONGTEXT) are never cut. They are declared
--    LONGTEXT rather than MEMO because SQLite would give a MEMO column
--    numeric affinity and turn a note "0815" into 815.
--  * No primary keys or unique constraints: a transfer file may carry the
--    same row twice and the import stores what it gets; rows are told apart
--    by rowid.
--  * Queries join these tables and name some columns without a table prefix
--    ([gem-kz], [meld-art], [betr-ende], [bez-betr-hist-nr]), and the record
--    window binds joined columns by plain name. Therefore apart from the key
--    columns every column name occurs in one table only: betrieb_adresse
--    shares nothing with betrieb but betr-nr/betr-hist-nr, and person shares
--    nothing with beziehung_betrieb_person.
--  * Column order is the order in which the export writes a row and the
--    print lists it; person.[pers-nr] must stay the first column, because
--    the record window takes the person key from column 0 of a person join.

-- One row per business and history number (all history rows of a business
-- share its betr-nr). gem-kz lives here only.
CREATE TABLE [betrieb] (
    [gem-kz]              TEXT(8)   COLLATE NOCASE,
    [betr-nr]             TEXT(12)  COLLATE NOCASE,
    [betr-hist-nr]        TEXT(4)   COLLATE NOCASE,
    [b-eintr-name]        TEXT(150) COLLATE NOCASE,
    [b-rechtsform]        TEXT(10)  COLLATE NOCASE,  -- key of Rechtsformen
    [b-rechtsform-text]   TEXT(150) COLLATE NOCASE,
    [meld-art]            TEXT(5)   COLLATE NOCASE,  -- '999' is left out of the first list fill
    [meld-art-text]       TEXT(100) COLLATE NOCASE,
    [korr-meld]           TEXT(2)   COLLATE NOCASE,  -- '1'..'7', shown as text
    [anzeige-datum]       TEXT(10)  COLLATE NOCASE,  -- date
    [meld-datum]          TEXT(10)  COLLATE NOCASE,  -- date
    [meld-grund-text]     TEXT(150) COLLATE NOCASE,
    [b-nebenerwerb]       TEXT(5)   COLLATE NOCASE,
    [besch-zahl-teilzeit] TEXT(10)  COLLATE NOCASE,
    [besch-zahl-vollzeit] TEXT(10)  COLLATE NOCASE,
    [betr-art-text]       TEXT(100) COLLATE NOCASE,
    [selbst-grad-text]    TEXT(100) COLLATE NOCASE,
    [b-gew-zusatz]        TEXT(150) COLLATE NOCASE,
    [b-reg-schl]          TEXT(20)  COLLATE NOCASE,
    [b-reg-plz]           TEXT(10)  COLLATE NOCASE,
    [b-reg-ort]           TEXT(150) COLLATE NOCASE,
    [b-reg-art-text]      TEXT(100) COLLATE NOCASE,
    [b-eintr-nr]          TEXT(30)  COLLATE NOCASE,
    [b-reg-datum]         TEXT(10)  COLLATE NOCASE,  -- date
    [zahl-vertreter]      TEXT(5)   COLLATE NOCASE,
    [daten-weit]          TEXT(5)   COLLATE NOCASE,
    [vertreter-nname]     TEXT(50)  COLLATE NOCASE,
    [vertreter-vname]     TEXT(50)  COLLATE NOCASE,
    [betr-beginn]         TEXT(10)  COLLATE NOCASE,  -- date
    [betr-ende]           TEXT(10)  COLLATE NOCASE,  -- date; Null: business is active
    [inhaber-bname]       TEXT(150) COLLATE NOCASE,
    [b-bemerkung]         LONGTEXT  COLLATE NOCASE,
    [schluesselfeld]      TEXT(50)  COLLATE NOCASE,  -- groups the export into one file per value
    [bearb-status]        TEXT(1)   COLLATE NOCASE   -- set by the export: E, A or H
);
CREATE INDEX [ix_betrieb_key]            ON [betrieb] ([betr-nr], [betr-hist-nr]);
CREATE INDEX [ix_betrieb_betr_hist_nr]   ON [betrieb] ([betr-hist-nr]);
CREATE INDEX [ix_betrieb_gem_kz]         ON [betrieb] ([gem-kz]);
CREATE INDEX [ix_betrieb_meld_art]       ON [betrieb] ([meld-art]);
CREATE INDEX [ix_betrieb_betr_ende]      ON [betrieb] ([betr-ende]);
CREATE INDEX [ix_betrieb_b_eintr_name]   ON [betrieb] ([b-eintr-name]);
CREATE INDEX [ix_betrieb_schluesselfeld] ON [betrieb] ([schluesselfeld]);

-- Addresses of a business; kind 1 is the business location, which the
-- business list joins on. Only the two key columns are shared with betrieb.
CREATE TABLE [betrieb_adresse] (
    [betr-nr]         TEXT(12)  COLLATE NOCASE,
    [betr-hist-nr]    TEXT(4)   COLLATE NOCASE,
    [b-adr-art]       TEXT(2)   COLLATE NOCASE,  -- '1'..'4'; other kinds are not exported
    [b-adr-art-text]  TEXT(100) COLLATE NOCASE,
    [b-strasse]       TEXT(150) COLLATE NOCASE,
    [b-hausnr-von]    TEXT(10)  COLLATE NOCASE,
    [b-hausnr-bis]    TEXT(10)  COLLATE NOCASE,
    [b-adr-zusatz]    TEXT(150) COLLATE NOCASE,
    [b-land-text]     TEXT(100) COLLATE NOCASE,
    [b-plz]           TEXT(10)  COLLATE NOCASE,
    [b-ort]           TEXT(150) COLLATE NOCASE,
    [b-ortsteil]      TEXT(150) COLLATE NOCASE,
    [b-postfach-land] TEXT(100) COLLATE NOCASE,
    [b-postfach-plz]  TEXT(10)  COLLATE NOCASE,
    [b-postfach-nr]   TEXT(20)  COLLATE NOCASE,
    [b-tel-vw]        TEXT(20)  COLLATE NOCASE,
    [b-tel-nr]        TEXT(30)  COLLATE NOCASE,
    [b-fax-vw]        TEXT(20)  COLLATE NOCASE,
    [b-fax-nr]        TEXT(30)  COLLATE NOCASE,
    [b-email]         TEXT(150) COLLATE NOCASE,
    [b-homepage]      TEXT(255) COLLATE NOCASE
);
CREATE INDEX [ix_betrieb_adresse_key]       ON [betrieb_adresse] ([betr-nr], [betr-hist-nr]);
CREATE INDEX [ix_betrieb_adresse_b_adr_art] ON [betrieb_adresse] ([b-adr-art]);
CREATE INDEX [ix_betrieb_adresse_b_ort]     ON [betrieb_adresse] ([b-ort]);
CREATE INDEX [ix_betrieb_adresse_b_strasse] ON [betrieb_adresse] ([b-strasse]);

-- Activities of a business.
CREATE TABLE [betrieb_taetigkeit] (
    [betr-nr]         TEXT(12) COLLATE NOCASE,
    [betr-hist-nr]    TEXT(4)  COLLATE NOCASE,
    [tk-schl]         TEXT(20) COLLATE NOCASE,
    [tk-schwerp]      TEXT(2)  COLLATE NOCASE,  -- '0' no, '1' main activity
    [tk-ummeldung]    TEXT(2)  COLLATE NOCASE,  -- '1' new, '2' carried on
    [tk-beginn]       TEXT(10) COLLATE NOCASE,  -- date
    [tk-ende]         TEXT(10) COLLATE NOCASE,  -- date
    [tk-originaltext] LONGTEXT COLLATE NOCASE,
    [tk_hwk_id]       TEXT(20) COLLATE NOCASE   -- underscore, unlike the other names
);
CREATE INDEX [ix_betrieb_taetigkeit_key] ON [betrieb_taetigkeit] ([betr-nr], [betr-hist-nr]);

-- Permits of a business.
CREATE TABLE [betrieb_erlaubnis] (
    [betr-nr]        TEXT(12)  COLLATE NOCASE,
    [betr-hist-nr]   TEXT(4)   COLLATE NOCASE,
    [b-erl-datum]    TEXT(10)  COLLATE NOCASE,  -- date
    [b-erl-art]      TEXT(100) COLLATE NOCASE,
    [b-erl-status]   TEXT(20)  COLLATE NOCASE,
    [b-erl-behoerde] TEXT(150) COLLATE NOCASE,
    [b-erl-plz]      TEXT(10)  COLLATE NOCASE,
    [b-erl-ort]      TEXT(150) COLLATE NOCASE
);
CREATE INDEX [ix_betrieb_erlaubnis_key] ON [betrieb_erlaubnis] ([betr-nr], [betr-hist-nr]);

-- Craft cards of a business.
CREATE TABLE [betrieb_handwerkskarte] (
    [betr-nr]        TEXT(12)  COLLATE NOCASE,
    [betr-hist-nr]   TEXT(4)   COLLATE NOCASE,
    [b-hwk-schl]     TEXT(20)  COLLATE NOCASE,
    [b-hwk-art]      TEXT(100) COLLATE NOCASE,
    [b-hwk-datum]    TEXT(10)  COLLATE NOCASE,  -- date
    [b-hwk-behoerde] TEXT(150) COLLATE NOCASE,
    [b-hwk-plz]      TEXT(10)  COLLATE NOCASE,
    [b-hwk-ort]      TEXT(150) COLLATE NOCASE,
    [b-hwk-status]   TEXT(20)  COLLATE NOCASE
);
CREATE INDEX [ix_betrieb_handwerkskarte_key] ON [betrieb_handwerkskarte] ([betr-nr], [betr-hist-nr]);

-- Further notification reasons of a business. There is deliberately no column
-- named meld-grund-sonst: that is the item element of this block in the
-- transfer file, and a field line of the same name would read as a block start.
CREATE TABLE [betrieb_meldgrundsonst] (
    [betr-nr]               TEXT(12)  COLLATE NOCASE,
    [betr-hist-nr]          TEXT(4)   COLLATE NOCASE,
    [meld-grund-sonst-text] TEXT(150) COLLATE NOCASE
);
CREATE INDEX [ix_betrieb_meldgrundsonst_key] ON [betrieb_meldgrundsonst] ([betr-nr], [betr-hist-nr]);

-- Persons, natural ("NP") and juridical ("JP"). A person may be linked to
-- several businesses. Link data (function, entry and exit dates, the
-- represented juridical person) belong to beziehung_betrieb_person, never here:
-- the import routes those elements to the link row, and the person joins bind
-- them by plain name.
CREATE TABLE [person] (
    [pers-nr]           TEXT(12)  COLLATE NOCASE,  -- must stay the first column
    [p-art]             TEXT(2)   COLLATE NOCASE,  -- 'NP' or 'JP'
    [p-eintr-name]      TEXT(150) COLLATE NOCASE,  -- name of a juridical person
    [fam-name]          TEXT(30)  COLLATE NOCASE,
    [p-nebenerwerb]     TEXT(5)   COLLATE NOCASE,
    [namenstitel-text]  TEXT(50)  COLLATE NOCASE,
    [geb-name]          TEXT(30)  COLLATE NOCASE,
    [vornamen]          TEXT(60)  COLLATE NOCASE,
    [namenszusatz-text] TEXT(50)  COLLATE NOCASE,
    [nachtitel-text]    TEXT(50)  COLLATE NOCASE,
    [geschlecht]        TEXT(10)  COLLATE NOCASE,
    [geb-datum]         TEXT(10)  COLLATE NOCASE,  -- date
    [geb-ort]           TEXT(150) COLLATE NOCASE,
    [geb-land]          TEXT(100) COLLATE NOCASE,
    [kuenstlername]     TEXT(60)  COLLATE NOCASE,
    [p-zahl-vertreter]  TEXT(5)   COLLATE NOCASE,
    [p-rechtsform-text] TEXT(150) COLLATE NOCASE,
    [p-reg-schl]        TEXT(20)  COLLATE NOCASE,
    [p-reg-plz]         TEXT(10)  COLLATE NOCASE,
    [p-reg-ort]         TEXT(150) COLLATE NOCASE,
    [p-reg-art-text]    TEXT(100) COLLATE NOCASE,
    [p-eintr-nr]        TEXT(30)  COLLATE NOCASE,
    [p-reg-datum]       TEXT(10)  COLLATE NOCASE,  -- date
    [p-strasse]         TEXT(150) COLLATE NOCASE,
    [p-hausnr-von]      TEXT(10)  COLLATE NOCASE,
    [p-hausnr-bis]      TEXT(10)  COLLATE NOCASE,
    [p-adr-zusatz]      TEXT(150) COLLATE NOCASE,
    [p-land-text]       TEXT(100) COLLATE NOCASE,
    [p-plz]             TEXT(10)  COLLATE NOCASE,
    [p-ort]             TEXT(150) COLLATE NOCASE,
    [p-ortsteil]        TEXT(150) COLLATE NOCASE,
    [p-postfach-nr]     TEXT(20)  COLLATE NOCASE,
    [p-postfach-plz]    TEXT(10)  COLLATE NOCASE,
    [p-tel-vw]          TEXT(20)  COLLATE NOCASE,
    [p-tel-nr]          TEXT(30)  COLLATE NOCASE,
    [p-fax-vw]          TEXT(20)  COLLATE NOCASE,
    [p-fax-nr]          TEXT(30)  COLLATE NOCASE,
    [p-email]           TEXT(150) COLLATE NOCASE,
    [aufenth-vor]       TEXT(20)  COLLATE NOCASE,
    [aufenth-datum]     TEXT(10)  COLLATE NOCASE,  -- date
    [aufenth-behoerde]  TEXT(150) COLLATE NOCASE,
    [aufenth-plz]       TEXT(10)  COLLATE NOCASE,
    [aufenth-ort]       TEXT(150) COLLATE NOCASE,
    [aufenth-auflage]   TEXT(255) COLLATE NOCASE,
    [fzeug-datum]       TEXT(10)  COLLATE NOCASE,  -- date
    [p-gzr-ausk-datum]  TEXT(10)  COLLATE NOCASE,  -- date
    [p-bemerkung]       LONGTEXT  COLLATE NOCASE
);
CREATE INDEX [ix_person_pers_nr]      ON [person] ([pers-nr]);
CREATE INDEX [ix_person_p_eintr_name] ON [person] ([p-eintr-name]);
-- Family name with the person number: a search on the name in number order
-- finds its first person from the index alone (the program adds it to files
-- written before it had it).
CREATE INDEX [ix_person_fam_name_pers_nr] ON [person] ([fam-name], [pers-nr]);

-- Nationalities of a person (for every business the person belongs to).
CREATE TABLE [person_staatsang] (
    [pers-nr]    TEXT(12)  COLLATE NOCASE,
    [staat-text] TEXT(100) COLLATE NOCASE,
    [staat-schl] TEXT(5)   COLLATE NOCASE
);
CREATE INDEX [ix_person_staatsang_pers_nr] ON [person_staatsang] ([pers-nr]);

-- Permits of a person; betr-nr names the business they were reported with
-- (an empty betr-nr makes the permit belong to every business of the person).
CREATE TABLE [person_erlaubnis] (
    [pers-nr]        TEXT(12)  COLLATE NOCASE,
    [betr-nr]        TEXT(12)  COLLATE NOCASE,
    [p-erl-datum]    TEXT(10)  COLLATE NOCASE,  -- date
    [p-erl-art]      TEXT(100) COLLATE NOCASE,
    [p-erl-status]   TEXT(20)  COLLATE NOCASE,
    [p-erl-relevant] TEXT(5)   COLLATE NOCASE,
    [p-erl-behoerde] TEXT(150) COLLATE NOCASE,
    [p-erl-plz]      TEXT(10)  COLLATE NOCASE,
    [p-erl-ort]      TEXT(150) COLLATE NOCASE
);
CREATE INDEX [ix_person_erlaubnis_key]     ON [person_erlaubnis] ([pers-nr], [betr-nr]);
CREATE INDEX [ix_person_erlaubnis_betr_nr] ON [person_erlaubnis] ([betr-nr]);

-- Craft cards of a person, selected by business like the permits.
CREATE TABLE [person_handwerkskarte] (
    [pers-nr]        TEXT(12)  COLLATE NOCASE,
    [betr-nr]        TEXT(12)  COLLATE NOCASE,
    [p-hwk-datum]    TEXT(10)  COLLATE NOCASE,  -- date
    [p-hwk-art]      TEXT(100) COLLATE NOCASE,
    [p-hwk-schl]     TEXT(20)  COLLATE NOCASE,
    [p-hwk-status]   TEXT(20)  COLLATE NOCASE,
    [p-hwk-relevant] TEXT(5)   COLLATE NOCASE,
    [p-hwk-behoerde] TEXT(150) COLLATE NOCASE,
    [p-hwk-plz]      TEXT(10)  COLLATE NOCASE,
    [p-hwk-ort]      TEXT(150) COLLATE NOCASE
);
CREATE INDEX [ix_person_handwerkskarte_key]     ON [person_handwerkskarte] ([pers-nr], [betr-nr]);
CREATE INDEX [ix_person_handwerkskarte_betr_nr] ON [person_handwerkskarte] ([betr-nr]);

-- Link of a person to a business (history number included). pers-nr-jp holds
-- the juridical person that a natural person represents; empty or Null for a
-- person of the business itself. The bez- prefix keeps the key names apart
-- from betrieb's and person's in the joins.
CREATE TABLE [beziehung_betrieb_person] (
    [bez-betr-nr]      TEXT(12) COLLATE NOCASE,
    [bez-betr-hist-nr] TEXT(4)  COLLATE NOCASE,
    [bez-pers-nr]      TEXT(12) COLLATE NOCASE,
    [bez-sort-nr]      TEXT(5)  COLLATE NOCASE,  -- position of the person in its business block
    [p-funktion]       TEXT(2)  COLLATE NOCASE,  -- '1'..'4'
    [p-eintr-datum]    TEXT(10) COLLATE NOCASE,  -- date
    [p-austr-datum]    TEXT(10) COLLATE NOCASE,  -- date
    [pers-nr-jp]       TEXT(12) COLLATE NOCASE
);
CREATE INDEX [ix_beziehung_betrieb_person_key]         ON [beziehung_betrieb_person] ([bez-betr-nr], [bez-betr-hist-nr]);
CREATE INDEX [ix_beziehung_betrieb_person_bez_pers_nr] ON [beziehung_betrieb_person] ([bez-pers-nr]);
CREATE INDEX [ix_beziehung_betrieb_person_pers_nr_jp]  ON [beziehung_betrieb_person] ([pers-nr-jp]);
