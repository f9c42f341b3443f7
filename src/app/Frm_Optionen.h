#pragma once

#include <QWidget>
#include <array>

class BoundView;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// The options window: the working database of each data kind, the data-kind
// switch, emptying the working database, the error log and the municipality
// filter. Other windows read its DATA_GEMEINDE and its two path boxes, so it
// may be loaded without being shown.
class Frm_Optionen : public QWidget
{
    Q_OBJECT
public:
    // The window's load: it only places itself.
    explicit Frm_Optionen(QWidget *parent = nullptr);
    ~Frm_Optionen() override;

    // Index 0: business-related data, 1: report-related data.
    QString pathText(int index) const;

    // Each time the window becomes active: options read again, the stored
    // marks listed, filter state, data kind and paths shown.
    void Form_Activate();

    // The buttons' handlers; the index is the one of the control array.
    void Command11_Click(int index); // "Datenbank-Pfad ändern"
    void Command12_Click(int index); // data-kind switch away from kind index
    void Command4_Click(int index);  // "Datenbank leeren"
    void Command2_Click(int index);  // error log: 0 show, 1 delete
    void Check1_Click();
    void Command6_Click(); // "alle anzeigen"
    void Command8_Click(); // "anzeigen" by key code
    void Command7_Click(); // "alle setzen"
    void Command9_Click(); // "alle löschen"
    void Command3_Click(int index); // "Zurück"

    // A list line: the code in eight columns, two blanks, the name.
    static QString listLine(const QString &gemKz, const QString &gemName);
    static QString lineCode(const QString &line);
    static QString lineName(const QString &line);

    BoundView *DATA_GEMEINDE = nullptr;
    std::array<QGroupBox *, 2> Frame1{};
    std::array<QLineEdit *, 2> Text6{};
    std::array<QPushButton *, 2> Command11{};
    std::array<QPushButton *, 2> Command12{};
    std::array<QPushButton *, 2> Command4{};
    std::array<QPushButton *, 2> Command2{};
    QGroupBox *Frame4 = nullptr;
    QGroupBox *Frame5 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame6 = nullptr;
    QListWidget *List1 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command9 = nullptr;
    QPushButton *Command6 = nullptr;
    QCheckBox *Check1 = nullptr;
    QLineEdit *Text7 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command3_1 = nullptr; // Command3(1), the only one of its array

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setKindControlsEnabled(int index, bool enabled);
    void setFilterControlsEnabled(bool enabled);
    // Empties the list and adds one line per row of DATA_GEMEINDE's set,
    // selected where the row is marked when marks are wanted.
    void fillList(bool withMarks);
    void unload();
};
