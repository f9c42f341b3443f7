#include "platform/VersionInfo.h"

namespace platform {

const VersionInfo &versionInfo()
{
    static const VersionInfo info{
        QStringLiteral("PLOXA_4x_Access"),
        QStringLiteral("PLOXA Gewerbedaten"),
        QStringLiteral(
            "Gemeinde- und Kreiskennzahlen: © Statistisches Bundesamt (Destatis), 2024, im Auftrag der "
            "Herausgebergemeinschaft Statistische Ämter des Bundes und der Länder. Datenlizenz Deutschland – "
            "Namensnennung – Version 2.0 (https://www.govdata.de/dl-de/by-2-0). Datensatz: "
            "urn:de:bund:destatis:bevoelkerungsstatistik:schluessel:ags_2024-10-31 und Datensatz: "
            "urn:de:bund:destatis:bevoelkerungsstatistik:schluessel:kreis_2021-07-31. Die Daten wurden verändert "
            "(Auszug; Umwandlung in CSV). Rechtsformen: Schlüssel und Bezeichnungen nach FIM-Codeliste "
            "urn:de:fim:codeliste:rechtsformen-gaengig_2021-06-18 (XRepository); Zuordnung typ eigene Festlegung."),
        PLOXA_VERSION_MAJOR,
        PLOXA_VERSION_MINOR,
        PLOXA_VERSION_PATCH,
    };
    return info;
}

} // namespace platform
