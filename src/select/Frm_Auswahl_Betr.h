#pragma once

#include "platform/MdiChildWindow.h"

#include <array>

class BoundView;
class NavigatorBar;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class ViewTableModel;

// The business selection list: six incremental search fields, a grid of the
// businesses with their location address, three views, and the hand-over of
// the chosen business to the record window.
class Frm_Auswahl_Betr : public platform::MdiChildWindow
{
    Q_OBJECT
public:
    // Form_Load: the window is built but not shown; the menu handler gives
    // `data` its database and query and then shows it.
    explicit Frm_Auswahl_Betr(QWidget *parent = nullptr);
    ~Frm_Auswahl_Betr() override;

    // The list window while it is loaded, otherwise nullptr.
    static Frm_Auswahl_Betr *loaded();

    // Search and sort field of column i, as the criteria and ORDER BY name it.
    static QString searchField(int i);
    // The first fill of the list; the only query without the businesses whose
    // meld-art is '999'. filter: the alternatives of SQL_Gemeindefilter.
    static QString firstFillQuery(bool filterOn, const QString &filter);
    // The query of a view option (0 Alle, 1 Aktuelle, 2 Abgemeldete).
    static QString optionQuery(int option, bool filterOn, const QString &filterCopy);

    // Adds the window to the main window and shows it; the first activation
    // as the active child follows.
    void showAsChild();

    // The window's events.
    void Form_Activate() override;
    void Option1_Click(int index);
    void Text1_Change(int index);
    void Text1_Click(int index);
    void Command1_Click(int index);
    // The position label "Betrieb Nr. n von m".
    void updatePositionLabel();

    BoundView *data = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QGroupBox *Frame5 = nullptr;
    std::array<QLineEdit *, 6> Text1{};
    QLabel *Label1 = nullptr;
    QTableView *DBGrid1 = nullptr;
    NavigatorBar *dataNavigator = nullptr;
    std::array<QRadioButton *, 3> Option1{};
    // Index 2 does not exist.
    std::array<QPushButton *, 5> Command1{};
    ViewTableModel *gridModel = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Unload() override;
};
