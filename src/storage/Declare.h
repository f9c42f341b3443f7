#pragma once

#include "engine/Database.h"
#include "engine/Recordset.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class BoundView;
class QWidget;

using RS = std::shared_ptr<engine::Recordset>;
using DB = std::shared_ptr<engine::Database>;

// The hooks through which the procedures reach the windows. The window layer
// fills them; a hook that touches a window that is not loaded loads it
// hidden. Tests without windows install plain views here.
struct FormHooks
{
    // A view of the record window by its name ("DATA_BETR", ...).
    std::function<BoundView *(const QString &name)> startView;
    // DATA_GEMEINDE of the options window.
    std::function<BoundView *()> optionenGemeinde;
    // The options window's path boxes Text6(0) and Text6(1).
    std::function<QString(int index)> optionenPathText;
    // The main window's caption.
    std::function<void(const QString &caption)> setMainCaption;
    // Menue_Fenster_schliessen of the main window.
    std::function<void()> closeChildWindows;
    // Busy flags: the check marks of the main window's menu items by item name
    // ("menue_import_datenbank", ...).
    std::function<void(const QString &item, bool checked)> setMenuChecked;
    std::function<bool(const QString &item)> menuChecked;
    // Enables or disables the main window (its menus) during a long job.
    std::function<void(bool enabled)> setMainEnabled;
    // Adds a window as a child of the main window and shows it; the window
    // is deleted when it closes (unloaded).
    std::function<void(QWidget *child)> addMdiChild;
    // Shows the options window without touching its busy flag.
    std::function<void()> showOptionen;

    // The record window as the shared status surface.
    std::function<void(const QString &text)> setStatusText;       // Label2
    std::function<QString()> statusText;                          // Label2
    std::function<void(int max)> setProgressMax;                  // ProgressBar1.Max
    std::function<void(int value)> setProgressValue;              // ProgressBar1.Value
    std::function<int()> progressMax;
    std::function<int()> progressValue;
    std::function<void()> showStartPicture;                       // Image2 instead of the tabs
    std::function<void()> showRecordView;                         // tabs and header instead of Image2
    std::function<bool()> startPictureShown;                      // Image2 shown (nothing chosen yet)
    std::function<void(int tab)> setTab;                          // SSTab1.Tab (raises its tab event)
    std::function<void(bool busy)> setBusyCursor;                 // hourglass on the record window
    // One turn of the event loop (ESC and repaints come through).
    std::function<void()> processEvents;
};

// The program's module-wide state, with the names it has always had. One
// instance; reset() restores the start values (tests start from it).
struct Declare
{
    // Directories, each ending with "/".
    QString Verz_Programm, Verz_Dat, Verz_Log, Verz_DB;

    // Databases and paths.
    QVariant DB_Passwort;
    QString Datei_DB_Org, Datei_DB_Daten, Datei_DB_offen;
    QVariant DB_Vorlage_Name;
    DB Datenbank_Org, Datenbank_Daten;

    // Table record sets.
    RS RS_aktuelleGemeinde, RS_Optionen, RS_betrieb, RS_betrieb_adresse, RS_betrieb_meldgrundsonst,
        RS_betrieb_erlaubnis, RS_betrieb_handwerkskarte, RS_betrieb_taetigkeit, RS_beziehung_betrieb_person,
        RS_person, RS_person_erlaubnis, RS_person_handwerkskarte, RS_person_staatsang;

    // Options.
    QVariant Datenart_aktuell;
    bool Gemeindefilter_aktiv = false;
    bool Dateityp_registriert = false;
    QVariant Datei_DB_betriebsbezogen, Datei_DB_meldungsbezogen;

    // Message-box values.
    QString Msg_Text, Msg_Titel;
    QVariant Msg_Stil;
    qint16 Msg_Antwort = 0;

    // Error reporting.
    qint16 Ortungs_Nr = 0;
    qint16 Fehler_geloggt = 0;
    QVariant Notepad_TaskID;

    // Search texts.
    QString SQL_Abfrage, SQL_Gemeindefilter;
    QVariant SQL_Gemeindefilter_Kopie;

    // Abort key: character code of the last key pressed on the record window.
    qint16 Letzte_Taste = 0;

    // Import working values.
    QVariant Imp_Datenart, Imp_Inhalt, Imp_Name, Imp_JP_PersNr, Imp_JP_PersNr_gesichert;
    qint32 Imp_Bez_Sort_Nr = 0;

    // Export working value.
    int Exp_Dateinummer = 0;

    // Printing working values.
    bool Druck_OK = false;
    QString Druck_Kopfzeile;
    QVariant Druck_Schriftgroesse_alt, Druck_Schriftart_alt;
    QVariant Druck_Spalte, Druck_X, Druck_Y, Druck_Feld, Druck_Text, Druck_Anzahl, Druck_Laenge, Druck_Start;

    FormHooks forms;

    void reset() { *this = Declare(); }
};

// The one instance.
Declare &G();

// Shows the message box described by Msg_Text, Msg_Titel and Msg_Stil and
// puts the answer into Msg_Antwort. The title stays from the last box when a
// caller sets none.
void Msg_Box();
