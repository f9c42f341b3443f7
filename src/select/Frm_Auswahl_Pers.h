#pragma once

#include "platform/MdiChildWindow.h"

#include <array>

class BoundView;
class NavigatorBar;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class ViewTableModel;

// The person selection list: one row per link of a person to a business,
// seven incremental search fields, a sort by any searchable column, and the
// hand-over of the chosen row to the record window. With its search frame
// hidden it lists the representatives of a juridical person instead, and OK
// shows the chosen representative in the record window's person view.
class Frm_Auswahl_Pers : public platform::MdiChildWindow
{
    Q_OBJECT
public:
    // Form_Load: the window is built but not shown; whoever opens it gives
    // `data` its database and query and then shows it.
    explicit Frm_Auswahl_Pers(QWidget *parent = nullptr);
    ~Frm_Auswahl_Pers() override;

    // The list window while it is loaded, otherwise nullptr.
    static Frm_Auswahl_Pers *loaded();

    // Search and sort field of column i (0 to 6), as criteria and ORDER BY name it.
    static QString searchField(int i);
    // The list query over the links; filter: the whole municipality
    // condition, order: what follows " ORDER BY ".
    static QString listQuery(const QString &filter, const QString &order);
    // Collects the marked municipalities into SQL_Gemeindefilter as the whole
    // condition of the list query.
    static void collectMunicipalities();

    // Representatives mode: the search frame is hidden.
    bool representativesMode() const;

    // Adds the window to the main window and shows it; the first activation
    // as the active child follows.
    void showAsChild();

    // The window's events.
    void Form_Activate() override;
    void Text1_Change(int index);
    void Text1_Click(int index);
    void Command1_Click(int index);
    // The position label "Person Nr. n von m".
    void updatePositionLabel();

    BoundView *data = nullptr;
    QLabel *Label1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame4 = nullptr;
    std::array<QLineEdit *, 7> Text1{};
    QTableView *DBGrid1 = nullptr;
    NavigatorBar *dataNavigator = nullptr;
    // Index 2 does not exist.
    std::array<QPushButton *, 5> Command1{};
    ViewTableModel *gridModel = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Unload() override;
    // OK in the normal mode: the person's business on the persons tab.
    void takePerson(const QString &gemKz, const QString &betrNr, const QString &betrHistNr);
    // OK in the representatives mode: the record window's person view shows
    // the representative's rows for that business; the business stays.
    void takeRepresentative(const QString &persNr, const QString &betrNr, const QString &betrHistNr);
};
