#pragma once

#include "select/SelectionWindow.h"

#include <array>

class QRadioButton;

// The business selection list: six incremental search fields, a grid of the
// businesses with their location address, three views, and the hand-over of
// the chosen business to the record window.
class Frm_Auswahl_Betr : public SelectionWindow
{
    Q_OBJECT
public:
    // Form_Load: the window is built but not shown; the menu handler gives
    // `data` its database and query and then shows it.
    explicit Frm_Auswahl_Betr(QWidget *parent = nullptr);

    // The list window while it is loaded, otherwise nullptr.
    static Frm_Auswahl_Betr *loaded();

    // The first fill of the list; the only query without the businesses whose
    // meld-art is '999'. filter: the alternatives of SQL_Gemeindefilter.
    static QString firstFillQuery(bool filterOn, const QString &filter);
    // The query of a view option (0 Alle, 1 Aktuelle, 2 Abgemeldete).
    static QString optionQuery(int option, bool filterOn, const QString &filterCopy);

    void Option1_Click(int index);

    QGroupBox *Frame4 = nullptr;
    QGroupBox *Frame5 = nullptr;
    std::array<QRadioButton *, 3> Option1{};

private:
    bool takeChoice() override;
    // Satz and Liste want a current business, as OK does.
    bool mayPrint() override;
    void sortBy(const QString &order) override;
    bool readChoice(QString &gemKz, QString &betrNr, QString &betrHistNr);
};
