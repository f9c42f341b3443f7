#include "engine/EngineError.h"

#include <QHash>

namespace engine {

QString standardErrorText(int number)
{
    static const QHash<int, QString> texts = {
        {3, QStringLiteral("Return ohne GoSub")},
        {5, QStringLiteral("Unzulässiger Prozeduraufruf oder ungültiges Argument")},
        {6, QStringLiteral("Überlauf")},
        {7, QStringLiteral("Nicht genügend Speicher")},
        {9, QStringLiteral("Index außerhalb des gültigen Bereichs")},
        {11, QStringLiteral("Division durch Null")},
        {13, QStringLiteral("Typen unverträglich")},
        {52, QStringLiteral("Dateiname oder -nummer falsch")},
        {53, QStringLiteral("Datei nicht gefunden")},
        {55, QStringLiteral("Datei bereits geöffnet")},
        {57, QStringLiteral("Fehler beim Lesen/Schreiben auf dem Gerät")},
        {58, QStringLiteral("Datei existiert bereits")},
        {61, QStringLiteral("Datenträger voll")},
        {62, QStringLiteral("Einlesen hinter Dateiende")},
        {70, QStringLiteral("Zugriff verweigert")},
        {75, QStringLiteral("Fehler beim Zugriff auf Pfad/Datei")},
        {76, QStringLiteral("Pfad nicht gefunden")},
        {91, QStringLiteral("Objektvariable oder With-Blockvariable nicht festgelegt")},
        {94, QStringLiteral("Unzulässige Verwendung von Null")},
        {3000, QStringLiteral("Reservierter Fehler")},
        {3001, QStringLiteral("Ungültiges Argument.")},
        {3008, QStringLiteral("Die Tabelle ist bereits exklusiv geöffnet oder von der Benutzeroberfläche aus geöffnet.")},
        {3020, QStringLiteral("Update oder CancelUpdate ohne AddNew oder Edit.")},
        {3021, QStringLiteral("Kein aktueller Datensatz.")},
        {3022, QStringLiteral("Die von Ihnen vorgenommenen Änderungen an der Tabelle konnten nicht vorgenommen werden, da der Index, "
                              "Primärschlüssel oder die Beziehung mehrfach vorkommende Werte enthalten würde.")},
        {3024, QStringLiteral("Datei nicht gefunden.")},
        {3027, QStringLiteral("Aktualisieren nicht möglich. Datenbank oder Objekt ist schreibgeschützt.")},
        {3031, QStringLiteral("Kein gültiges Kennwort.")},
        {3044, QStringLiteral("Ungültiger Pfad.")},
        {3045, QStringLiteral("Die Datei kann nicht verwendet werden. Die Datei wird bereits verwendet.")},
        {3051, QStringLiteral("Die Datei kann nicht geöffnet werden.")},
        {3061, QStringLiteral("Zu wenige Parameter.")},
        {3070, QStringLiteral("Der Feldname oder Ausdruck wird nicht erkannt.")},
        {3075, QStringLiteral("Syntaxfehler im Abfrageausdruck.")},
        {3078, QStringLiteral("Die Eingabetabelle oder Abfrage wurde nicht gefunden.")},
        {3163, QStringLiteral("Das Feld ist zu klein, um die Menge der Daten anzunehmen, die Sie einfügen wollen.")},
        {3167, QStringLiteral("Datensatz ist gelöscht.")},
        {3204, QStringLiteral("Die Datenbank existiert bereits.")},
        {3260, QStringLiteral("Aktualisieren nicht möglich; zur Zeit gesperrt.")},
        {3265, QStringLiteral("Element in dieser Auflistung nicht gefunden.")},
        {3314, QStringLiteral("Das Feld darf keinen Nullwert enthalten, da es ein Pflichtfeld ist.")},
        {3343, QStringLiteral("Nicht erkanntes Datenbankformat.")},
        {3420, QStringLiteral("Objekt ungültig oder nicht mehr festgelegt.")},
    };
    const auto it = texts.constFind(number);
    return it != texts.constEnd() ? *it : QStringLiteral("Anwendungs- oder objektdefinierter Fehler");
}

EngineError::EngineError(int number, QString source, QString text)
    : std::runtime_error(QStringLiteral("%1 (%2): %3").arg(number).arg(source, text.isEmpty() ? standardErrorText(number) : text).toStdString())
    , m_number(number)
    , m_source(std::move(source))
    , m_text(text.isEmpty() ? standardErrorText(number) : std::move(text))
{
}

} // namespace engine
