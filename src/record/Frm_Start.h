#pragma once

#include <QWidget>
#include <vector>

class BoundTextBox;
class BoundView;
class NavigatorBar;
class QGridLayout;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

// The record window: one business with its persons on six tabs, and the
// shared status surface of import, export and printing. Its size is fixed at
// 12120 x 8850 twips. Every key pressed in it lands in Letzte_Taste, so that
// ESC can stop a running import or export.
class Frm_Start : public QWidget
{
    Q_OBJECT
public:
    explicit Frm_Start(QWidget *parent = nullptr);
    ~Frm_Start() override;

    // A view by its name ("DATA_BETR", ...); nullptr for an unknown name.
    BoundView *view(const QString &name) const;
    // The navigator bar of a visible view; nullptr for the hidden ones.
    NavigatorBar *navigator(const QString &viewName) const;

    // Fills the record-window hooks of G().forms (views, status surface).
    void installHooks();

    // The person list lives in a library above this window; it registers
    // here what "Personen anzeigen" opens. Without one the button does nothing.
    using RepresentativesOpener = void (*)(Frm_Start *start);
    static void setRepresentativesOpener(RepresentativesOpener opener);

    // Puts the key's character code into Letzte_Taste. The window does this
    // for every key pressed in it; the main window hands over the keys that
    // reach it while a job runs.
    void storeKey(const QKeyEvent *key);

    // The action text while a representative of a juridical person is
    // shown; the strip keeps room for it.
    static QString representativeHeader();

    // The two display states.
    void showStartPicture();
    void showRecordView();

    BoundView *DATA_ORG = nullptr;
    BoundView *DATA_ORG_RF = nullptr;
    BoundView *DATA_BETR = nullptr;
    BoundView *DATA_Meld = nullptr;
    BoundView *DATA_ADR = nullptr;
    BoundView *DATA_BETRErl = nullptr;
    BoundView *DATA_BETRHwk = nullptr;
    BoundView *DATA_TAET = nullptr;
    BoundView *DATA_Bez_Betr_Pers = nullptr;
    BoundView *DATA_PERSStaat = nullptr;
    BoundView *DATA_PERS = nullptr;
    BoundView *DATA_PERSErl = nullptr;
    BoundView *DATA_PERSHwk = nullptr;

    QGroupBox *Frame_Ueberschrift = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QTabWidget *SSTab1 = nullptr;
    QGroupBox *Frame8 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *Label2 = nullptr;
    QGroupBox *Frame_Progress = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QGroupBox *Frame_Anzahl = nullptr;
    // "Personen anzeigen": lists the representatives of the juridical person
    // shown, through the person list. "zurück": back from a representative to
    // the business with all its persons.
    QPushButton *Command1 = nullptr;
    QPushButton *Command3 = nullptr;

    // Boxes the window's own code fills or that other windows name.
    BoundTextBox *Text_136 = nullptr; // gem-name of DATA_ORG
    BoundTextBox *Text_Korrekturmeldung = nullptr;
    BoundTextBox *Text_Schwerpunkt = nullptr;
    BoundTextBox *Text_Ummeldung = nullptr;
    BoundTextBox *TextPers_8 = nullptr; // function of the current person

signals:
    // Closing the window: Form_QueryUnload, then Form_Unload.
    void queryUnload();
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Field;
    void buildHeader(QWidget *host);
    QWidget *buildTab0();
    QWidget *buildTab1();
    QWidget *buildTab2();
    QWidget *buildTab3();
    QWidget *buildTab4();
    QWidget *buildTab5();
    void buildBottomStrip(QWidget *host);
    QGroupBox *fieldFrame(const char *name, const QString &title, BoundView *view, const std::vector<Field> &fields,
                          int columns);
    void addFields(QGridLayout *grid, int firstRow, BoundView *view, const std::vector<Field> &fields, int columns);
    QWidget *navigatorRow(BoundView *view, QWidget *parent);
    QGroupBox *personHeader(const char *name);
    void watchKeys(QWidget *widget);

    void SSTab1_Click(int tab);
    void applyPersonNavigator(int tab);
    void counter_Reposition(BoundView *view);
    void DATA_BETR_Reposition();
    void DATA_TAET_Reposition();
    void DATA_PERS_Changed();
    void Frame1_DragDrop();
    void Command1_Click();
    void Command3_Click();
    void setBusy(bool busy);
    // Label2's text; where the label cuts it, the whole text is its tooltip.
    void setStatus(const QString &text);
    void fitStatusTip();
    void keepPersonFrameRoom(bool keep);
};
