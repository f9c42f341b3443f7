#pragma once

#include "platform/MdiChildWindow.h"
#include "print/Print.h"

#include <array>
#include <functional>
#include <span>
#include <vector>

class BoundView;
class NavigatorBar;
class QBoxLayout;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;
class ViewTableModel;
namespace engine {
class Recordset;
}

// One column of a selection list's grid, and the search field that finds and
// sorts by it.
struct SelectionColumn
{
    const char *gridCaption;
    const char *gridField;
    const char *labelName; // nullptr: the column has no search field
    const char *labelCaption;
    int maxLength;
    const char *searchField; // as the criteria and ORDER BY name it
    int keyChars;            // 0: a free text
};

// The frame both selection lists share: incremental search fields over the
// first columns, the grid over the bound view with its navigator and position
// label, OK, Abbrechen and the two print buttons, and the one loaded window of
// each kind. A list brings its columns, its queries, the way it re-sorts and
// what OK does with the chosen row.
class SelectionWindow : public platform::MdiChildWindow
{
    Q_OBJECT
public:
    // Adds the window to the main window and shows it; the first activation
    // as the active child follows.
    void showAsChild();

    void Form_Activate() override;
    void Text1_Change(int index);
    void Text1_Click(int index);
    void Command1_Click(int index);
    // The position label "<noun> Nr. n von m".
    void updatePositionLabel();

    BoundView *data = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    std::vector<QLineEdit *> Text1;
    QLabel *Label1 = nullptr;
    QTableView *DBGrid1 = nullptr;
    NavigatorBar *dataNavigator = nullptr;
    // Index 2 does not exist.
    std::array<QPushButton *, 5> Command1{};
    ViewTableModel *gridModel = nullptr;

protected:
    // What tells one list from the other in its frame. loadedSlot: where the
    // list keeps its one loaded window.
    struct Kind
    {
        const char *formName;     // object name, and the label of its logged failures
        const char *windowTitle;
        const char *boxTitle;     // title of its failure boxes
        const char *menuItem;     // unchecked on unload
        const char *noun;         // of the position label
        ListKind printKind;
        std::span<const SelectionColumn> columns;
        int searchFields;         // the first columns that have one
        SelectionWindow **loadedSlot;
    };

    SelectionWindow(const Kind &kind, QWidget *parent);
    ~SelectionWindow() override;

    // Frame1 with the search fields, `rows` to a column of the layout; the
    // first activation empties their design-time texts.
    QGridLayout *buildSearchFrame(int rows);
    // Frame2 with the grid; the navigator and Label1 are made but left for
    // the list to place.
    QVBoxLayout *buildListFrame();
    // OK and Abbrechen into `box`, on the widget that holds it.
    void addChoiceButtons(QBoxLayout *box);
    // Frame3 "drucken" with Satz and Liste.
    QGroupBox *buildPrintFrame(QWidget *parent);

    // Reads the current row under the list's handler; false when there is
    // none or the reading failed (the failure is logged and boxed).
    bool readCurrentRow(const QString &failure, const std::function<void(engine::Recordset &)> &read);
    // Runs one step of the list under its handler, logged as formName.label.
    bool step(const char *label, const QString &failure, const std::function<void()> &body);

    // OK: takes the chosen row over; false when there was none, and the list
    // stays open.
    virtual bool takeChoice() = 0;
    // Satz and Liste print only when this allows it.
    virtual bool mayPrint() { return true; }
    // Runs the list's query again in the order `order` (a search field, maybe
    // followed by " DESC").
    virtual void sortBy(const QString &order) = 0;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Empties every search field; `search`: then runs the search that
    // decides where the list stands.
    void emptySearchFields(bool search);
    void Form_Unload() override;
    QPushButton *button(int index, const QString &caption, QWidget *parent);
    QString searchField(int i) const;

    Kind m_kind;
};
