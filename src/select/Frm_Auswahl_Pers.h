#pragma once

#include "select/SelectionWindow.h"

// The person selection list: one row per link of a person to a business,
// seven incremental search fields, a sort by any searchable column, and the
// hand-over of the chosen row to the record window. With its search frame
// hidden it lists the representatives of a juridical person instead, and OK
// shows the chosen representative in the record window's person view.
class Frm_Auswahl_Pers : public SelectionWindow
{
    Q_OBJECT
public:
    // Form_Load: the window is built but not shown; whoever opens it gives
    // `data` its database and query and then shows it.
    explicit Frm_Auswahl_Pers(QWidget *parent = nullptr);

    // The list window while it is loaded, otherwise nullptr.
    static Frm_Auswahl_Pers *loaded();

    // The list query over the links; filter: the whole municipality
    // condition, order: what follows " ORDER BY ".
    static QString listQuery(const QString &filter, const QString &order);
    // Collects the marked municipalities into SQL_Gemeindefilter as the whole
    // condition of the list query.
    static void collectMunicipalities();

    // Representatives mode: the search frame is hidden.
    bool representativesMode() const;

    void Form_Activate() override;

    QGroupBox *Frame4 = nullptr;

private:
    bool takeChoice() override;
    void sortBy(const QString &order) override;
    // OK in the normal mode: the person's business on the persons tab.
    void takePerson(const QString &gemKz, const QString &betrNr, const QString &betrHistNr);
    // OK in the representatives mode: the record window's person view shows
    // the representative's rows for that business; the business stays.
    void takeRepresentative(const QString &persNr, const QString &betrNr, const QString &betrHistNr);
};
