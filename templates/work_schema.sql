-- Working database px_4x_b.mdb / px_4x_m.mdb: businesses, their persons and
-- everything hanging off them. Both data kinds share this one layout.
--
-- Conventions that the rest of the program depends on:
--  * Column names are the element names of the transfer file, so the export
--    writes them as stored and the import finds them by name. Names are lower
--    case; the code looks some of them up in other letter cases
--    (betr-Ende, b-Erl-datum, tk-Ende, p-Erl-datum), so name lookups must ignore case.
--  * Every value is text, keys and codes included ("0815" keeps its zero),
--    and is compared with quoted literals. Text compares without regard to
--    case (JETTEXT), as the searches and filters expect.
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
    [gem-kz]              TEXT(8)   COLLATE JETTEXT,
    [betr-nr]             TEXT(12)  COLLATE JETTEXT,
    [betr-hist-nr]        TEXT(4)   COLLATE JETTEXT,
    [b-eintr-name]        TEXT(150) COLLATE JETTEXT,
    [b-rechtsform]        TEXT(10)  COLLATE JETTEXT,  -- key of Rechtsformen
    [b-rechtsform-text]   TEXT(150) COLLATE JETTEXT,
    [meld-art]            TEXT(5)   COLLATE JETTEXT,  -- '999' is left out of the first list fill
    [meld-art-text]       TEXT(100) COLLATE JETTEXT,
    [korr-meld]           TEXT(2)   COLLATE JETTEXT,  -- '1'..'7', shown as text
    [anzeige-datum]       TEXT(10)  COLLATE JETTEXT,  -- date
    [meld-datum]          TEXT(10)  COLLATE JETTEXT,  -- date
    [meld-grund-text]     TEXT(150) COLLATE JETTEXT,
    [b-nebenerwerb]       TEXT(5)   COLLATE JETTEXT,
    [besch-zahl-teilzeit] TEXT(10)  COLLATE JETTEXT,
    [besch-zahl-vollzeit] TEXT(10)  COLLATE JETTEXT,
    [betr-art-text]       TEXT(100) COLLATE JETTEXT,
    [selbst-grad-text]    TEXT(100) COLLATE JETTEXT,
    [b-gew-zusatz]        TEXT(150) COLLATE JETTEXT,
    [b-reg-schl]          TEXT(20)  COLLATE JETTEXT,
    [b-reg-plz]           TEXT(10)  COLLATE JETTEXT,
    [b-reg-ort]           TEXT(150) COLLATE JETTEXT,
    [b-reg-art-text]      TEXT(100) COLLATE JETTEXT,
    [b-eintr-nr]          TEXT(30)  COLLATE JETTEXT,
    [b-reg-datum]         TEXT(10)  COLLATE JETTEXT,  -- date
    [zahl-vertreter]      TEXT(5)   COLLATE JETTEXT,
    [daten-weit]          TEXT(5)   COLLATE JETTEXT,
    [vertreter-nname]     TEXT(50)  COLLATE JETTEXT,
    [vertreter-vname]     TEXT(50)  COLLATE JETTEXT,
    [betr-beginn]         TEXT(10)  COLLATE JETTEXT,  -- date
    [betr-ende]           TEXT(10)  COLLATE JETTEXT,  -- date; Null: business is active
    [inhaber-bname]       TEXT(150) COLLATE JETTEXT,
    [b-bemerkung]         LONGTEXT  COLLATE JETTEXT,
    [schluesselfeld]      TEXT(50)  COLLATE JETTEXT,  -- groups the export into one file per value
    [bearb-status]        TEXT(1)   COLLATE JETTEXT   -- set by the export: E, A or H
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
    [betr-nr]         TEXT(12)  COLLATE JETTEXT,
    [betr-hist-nr]    TEXT(4)   COLLATE JETTEXT,
    [b-adr-art]       TEXT(2)   COLLATE JETTEXT,  -- '1'..'4'; other kinds are not exported
    [b-adr-art-text]  TEXT(100) COLLATE JETTEXT,
    [b-strasse]       TEXT(150) COLLATE JETTEXT,
    [b-hausnr-von]    TEXT(10)  COLLATE JETTEXT,
    [b-hausnr-bis]    TEXT(10)  COLLATE JETTEXT,
    [b-adr-zusatz]    TEXT(150) COLLATE JETTEXT,
    [b-land-text]     TEXT(100) COLLATE JETTEXT,
    [b-plz]           TEXT(10)  COLLATE JETTEXT,
    [b-ort]           TEXT(150) COLLATE JETTEXT,
    [b-ortsteil]      TEXT(150) COLLATE JETTEXT,
    [b-postfach-land] TEXT(100) COLLATE JETTEXT,
    [b-postfach-plz]  TEXT(10)  COLLATE JETTEXT,
    [b-postfach-nr]   TEXT(20)  COLLATE JETTEXT,
    [b-tel-vw]        TEXT(20)  COLLATE JETTEXT,
    [b-tel-nr]        TEXT(30)  COLLATE JETTEXT,
    [b-fax-vw]        TEXT(20)  COLLATE JETTEXT,
    [b-fax-nr]        TEXT(30)  COLLATE JETTEXT,
    [b-email]         TEXT(150) COLLATE JETTEXT,
    [b-homepage]      TEXT(255) COLLATE JETTEXT
);
CREATE INDEX [ix_betrieb_adresse_key]       ON [betrieb_adresse] ([betr-nr], [betr-hist-nr]);
CREATE INDEX [ix_betrieb_adresse_b_adr_art] ON [betrieb_adresse] ([b-adr-art]);
CREATE INDEX [ix_betrieb_adresse_b_ort]     ON [betrieb_adresse] ([b-ort]);
CREATE INDEX [ix_betrieb_adresse_b_strasse] ON [betrieb_adresse] ([b-strasse]);

-- Activities of a business.
CREATE TABLE [betrieb_taetigkeit] (
    [betr-nr]         TEXT(12) COLLATE JETTEXT,
    [betr-hist-nr]    TEXT(4)  COLLATE JETTEXT,
    [tk-schl]         TEXT(20) COLLATE JETTEXT,
    [tk-schwerp]      TEXT(2)  COLLATE JETTEXT,  -- '0' no, '1' main activity
    [tk-ummeldung]    TEXT(2)  COLLATE JETTEXT,  -- '1' new, '2' carried on
    [tk-beginn]       TEXT(10) COLLATE JETTEXT,  -- date
    [tk-ende]         TEXT(10) COLLATE JETTEXT,  -- date
    [tk-originaltext] LONGTEXT COLLATE JETTEXT,
    [tk_hwk_id]       TEXT(20) COLLATE JETTEXT   -- underscore, unlike the other names
);
CREATE INDEX [ix_betrieb_taetigkeit_key] ON [betrieb_taetigkeit] ([betr-nr], [betr-hist-nr]);

-- Permits of a business.
CREATE TABLE [betrieb_erlaubnis] (
    [betr-nr]        TEXT(12)  COLLATE JETTEXT,
    [betr-hist-nr]   TEXT(4)   COLLATE JETTEXT,
    [b-erl-datum]    TEXT(10)  COLLATE JETTEXT,  -- date
    [b-erl-art]      TEXT(100) COLLATE JETTEXT,
    [b-erl-status]   TEXT(20)  COLLATE JETTEXT,
    [b-erl-behoerde] TEXT(150) COLLATE JETTEXT,
    [b-erl-plz]      TEXT(10)  COLLATE JETTEXT,
    [b-erl-ort]      TEXT(150) COLLATE JETTEXT
);
CREATE INDEX [ix_betrieb_erlaubnis_key] ON [betrieb_erlaubnis] ([betr-nr], [betr-hist-nr]);

-- Craft cards of a business.
CREATE TABLE [betrieb_handwerkskarte] (
    [betr-nr]        TEXT(12)  COLLATE JETTEXT,
    [betr-hist-nr]   TEXT(4)   COLLATE JETTEXT,
    [b-hwk-schl]     TEXT(20)  COLLATE JETTEXT,
    [b-hwk-art]      TEXT(100) COLLATE JETTEXT,
    [b-hwk-datum]    TEXT(10)  COLLATE JETTEXT,  -- date
    [b-hwk-behoerde] TEXT(150) COLLATE JETTEXT,
    [b-hwk-plz]      TEXT(10)  COLLATE JETTEXT,
    [b-hwk-ort]      TEXT(150) COLLATE JETTEXT,
    [b-hwk-status]   TEXT(20)  COLLATE JETTEXT
);
CREATE INDEX [ix_betrieb_handwerkskarte_key] ON [betrieb_handwerkskarte] ([betr-nr], [betr-hist-nr]);

-- Further notification reasons of a business. There is deliberately no column
-- named meld-grund-sonst: that is the item element of this block in the
-- transfer file, and a field line of the same name would read as a block start.
CREATE TABLE [betrieb_meldgrundsonst] (
    [betr-nr]               TEXT(12)  COLLATE JETTEXT,
    [betr-hist-nr]          TEXT(4)   COLLATE JETTEXT,
    [meld-grund-sonst-text] TEXT(150) COLLATE JETTEXT
);
CREATE INDEX [ix_betrieb_meldgrundsonst_key] ON [betrieb_meldgrundsonst] ([betr-nr], [betr-hist-nr]);

-- Persons, natural ("NP") and juridical ("JP"). A person may be linked to
-- several businesses. Link data (function, entry and exit dates, the
-- represented juridical person) belong to beziehung_betrieb_person, never here:
-- the import routes those elements to the link row, and the person joins bind
-- them by plain name.
CREATE TABLE [person] (
    [pers-nr]           TEXT(12)  COLLATE JETTEXT,  -- must stay the first column
    [p-art]             TEXT(2)   COLLATE JETTEXT,  -- 'NP' or 'JP'
    [p-eintr-name]      TEXT(150) COLLATE JETTEXT,  -- name of a juridical person
    [fam-name]          TEXT(30)  COLLATE JETTEXT,
    [p-nebenerwerb]     TEXT(5)   COLLATE JETTEXT,
    [namenstitel-text]  TEXT(50)  COLLATE JETTEXT,
    [geb-name]          TEXT(30)  COLLATE JETTEXT,
    [vornamen]          TEXT(60)  COLLATE JETTEXT,
    [namenszusatz-text] TEXT(50)  COLLATE JETTEXT,
    [nachtitel-text]    TEXT(50)  COLLATE JETTEXT,
    [geschlecht]        TEXT(10)  COLLATE JETTEXT,
    [geb-datum]         TEXT(10)  COLLATE JETTEXT,  -- date
    [geb-ort]           TEXT(150) COLLATE JETTEXT,
    [geb-land]          TEXT(100) COLLATE JETTEXT,
    [kuenstlername]     TEXT(60)  COLLATE JETTEXT,
    [p-zahl-vertreter]  TEXT(5)   COLLATE JETTEXT,
    [p-rechtsform-text] TEXT(150) COLLATE JETTEXT,
    [p-reg-schl]        TEXT(20)  COLLATE JETTEXT,
    [p-reg-plz]         TEXT(10)  COLLATE JETTEXT,
    [p-reg-ort]         TEXT(150) COLLATE JETTEXT,
    [p-reg-art-text]    TEXT(100) COLLATE JETTEXT,
    [p-eintr-nr]        TEXT(30)  COLLATE JETTEXT,
    [p-reg-datum]       TEXT(10)  COLLATE JETTEXT,  -- date
    [p-strasse]         TEXT(150) COLLATE JETTEXT,
    [p-hausnr-von]      TEXT(10)  COLLATE JETTEXT,
    [p-hausnr-bis]      TEXT(10)  COLLATE JETTEXT,
    [p-adr-zusatz]      TEXT(150) COLLATE JETTEXT,
    [p-land-text]       TEXT(100) COLLATE JETTEXT,
    [p-plz]             TEXT(10)  COLLATE JETTEXT,
    [p-ort]             TEXT(150) COLLATE JETTEXT,
    [p-ortsteil]        TEXT(150) COLLATE JETTEXT,
    [p-postfach-nr]     TEXT(20)  COLLATE JETTEXT,
    [p-postfach-plz]    TEXT(10)  COLLATE JETTEXT,
    [p-tel-vw]          TEXT(20)  COLLATE JETTEXT,
    [p-tel-nr]          TEXT(30)  COLLATE JETTEXT,
    [p-fax-vw]          TEXT(20)  COLLATE JETTEXT,
    [p-fax-nr]          TEXT(30)  COLLATE JETTEXT,
    [p-email]           TEXT(150) COLLATE JETTEXT,
    [aufenth-vor]       TEXT(20)  COLLATE JETTEXT,
    [aufenth-datum]     TEXT(10)  COLLATE JETTEXT,  -- date
    [aufenth-behoerde]  TEXT(150) COLLATE JETTEXT,
    [aufenth-plz]       TEXT(10)  COLLATE JETTEXT,
    [aufenth-ort]       TEXT(150) COLLATE JETTEXT,
    [aufenth-auflage]   TEXT(255) COLLATE JETTEXT,
    [fzeug-datum]       TEXT(10)  COLLATE JETTEXT,  -- date
    [p-gzr-ausk-datum]  TEXT(10)  COLLATE JETTEXT,  -- date
    [p-bemerkung]       LONGTEXT  COLLATE JETTEXT
);
CREATE INDEX [ix_person_pers_nr]      ON [person] ([pers-nr]);
CREATE INDEX [ix_person_p_eintr_name] ON [person] ([p-eintr-name]);
CREATE INDEX [ix_person_fam_name]     ON [person] ([fam-name]);

-- Nationalities of a person (for every business the person belongs to).
CREATE TABLE [person_staatsang] (
    [pers-nr]    TEXT(12)  COLLATE JETTEXT,
    [staat-text] TEXT(100) COLLATE JETTEXT,
    [staat-schl] TEXT(5)   COLLATE JETTEXT
);
CREATE INDEX [ix_person_staatsang_pers_nr] ON [person_staatsang] ([pers-nr]);

-- Permits of a person; betr-nr names the business they were reported with
-- (an empty betr-nr makes the permit belong to every business of the person).
CREATE TABLE [person_erlaubnis] (
    [pers-nr]        TEXT(12)  COLLATE JETTEXT,
    [betr-nr]        TEXT(12)  COLLATE JETTEXT,
    [p-erl-datum]    TEXT(10)  COLLATE JETTEXT,  -- date
    [p-erl-art]      TEXT(100) COLLATE JETTEXT,
    [p-erl-status]   TEXT(20)  COLLATE JETTEXT,
    [p-erl-relevant] TEXT(5)   COLLATE JETTEXT,
    [p-erl-behoerde] TEXT(150) COLLATE JETTEXT,
    [p-erl-plz]      TEXT(10)  COLLATE JETTEXT,
    [p-erl-ort]      TEXT(150) COLLATE JETTEXT
);
CREATE INDEX [ix_person_erlaubnis_key]     ON [person_erlaubnis] ([pers-nr], [betr-nr]);
CREATE INDEX [ix_person_erlaubnis_betr_nr] ON [person_erlaubnis] ([betr-nr]);

-- Craft cards of a person, selected by business like the permits.
CREATE TABLE [person_handwerkskarte] (
    [pers-nr]        TEXT(12)  COLLATE JETTEXT,
    [betr-nr]        TEXT(12)  COLLATE JETTEXT,
    [p-hwk-datum]    TEXT(10)  COLLATE JETTEXT,  -- date
    [p-hwk-art]      TEXT(100) COLLATE JETTEXT,
    [p-hwk-schl]     TEXT(20)  COLLATE JETTEXT,
    [p-hwk-status]   TEXT(20)  COLLATE JETTEXT,
    [p-hwk-relevant] TEXT(5)   COLLATE JETTEXT,
    [p-hwk-behoerde] TEXT(150) COLLATE JETTEXT,
    [p-hwk-plz]      TEXT(10)  COLLATE JETTEXT,
    [p-hwk-ort]      TEXT(150) COLLATE JETTEXT
);
CREATE INDEX [ix_person_handwerkskarte_key]     ON [person_handwerkskarte] ([pers-nr], [betr-nr]);
CREATE INDEX [ix_person_handwerkskarte_betr_nr] ON [person_handwerkskarte] ([betr-nr]);

-- Link of a person to a business (history number included). pers-nr-jp holds
-- the juridical person that a natural person represents; empty or Null for a
-- person of the business itself. The bez- prefix keeps the key names apart
-- from betrieb's and person's in the joins.
CREATE TABLE [beziehung_betrieb_person] (
    [bez-betr-nr]      TEXT(12) COLLATE JETTEXT,
    [bez-betr-hist-nr] TEXT(4)  COLLATE JETTEXT,
    [bez-pers-nr]      TEXT(12) COLLATE JETTEXT,
    [bez-sort-nr]      TEXT(5)  COLLATE JETTEXT,  -- position of the person in its business block
    [p-funktion]       TEXT(2)  COLLATE JETTEXT,  -- '1'..'4'
    [p-eintr-datum]    TEXT(10) COLLATE JETTEXT,  -- date
    [p-austr-datum]    TEXT(10) COLLATE JETTEXT,  -- date
    [pers-nr-jp]       TEXT(12) COLLATE JETTEXT
);
CREATE INDEX [ix_beziehung_betrieb_person_key]         ON [beziehung_betrieb_person] ([bez-betr-nr], [bez-betr-hist-nr]);
CREATE INDEX [ix_beziehung_betrieb_person_bez_pers_nr] ON [beziehung_betrieb_person] ([bez-pers-nr]);
CREATE INDEX [ix_beziehung_betrieb_person_pers_nr_jp]  ON [beziehung_betrieb_person] ([pers-nr-jp]);
