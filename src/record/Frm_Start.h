#pragma once

#include <QWidget>

class BoundView;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

// The record window: one business with its persons on six tabs, and the
// shared status surface of import, export and printing.
class Frm_Start : public QWidget
{
    Q_OBJECT
public:
    explicit Frm_Start(QWidget *parent = nullptr);
    ~Frm_Start() override;

    // A view by its name ("DATA_BETR", ...); nullptr for an unknown name.
    BoundView *view(const QString &name) const;

    // Fills the record-window hooks of G().forms (views, status surface).
    void installHooks();

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
    QLabel *Label2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QGroupBox *Frame_Anzahl = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command3 = nullptr;

signals:
    // Closing the window: Form_QueryUnload, then Form_Unload.
    void queryUnload();
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
};
