#pragma once

#include "exchange/ProgExp.h"

#include <QPointer>
#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMdiSubWindow;
class QPushButton;

// The header of a transfer file, filled in by the user before an export:
// fifteen fields (the locked ones set on load), the export options and
// "OK" / "Abbrechen". A modeless child of the main window.
class Frm_Verwaltungsblock : public QWidget
{
    Q_OBJECT
public:
    // Builds the window and runs its load; the menu handler shows it.
    explicit Frm_Verwaltungsblock(QWidget *parent = nullptr);
    ~Frm_Verwaltungsblock() override;

    // The dialog while it is loaded, otherwise nullptr.
    static Frm_Verwaltungsblock *loaded();

    void showAsChild();
    // Closes the window; its unload runs once, whichever way it closes.
    void unload();

    void Form_Load();
    // 0 "OK" starts the export, 1 "Abbrechen" closes the dialog.
    void Command1_Click(int index);

    // The header as the fields hold it now.
    exchange::ExportHeader header() const;

    QLabel *Label2 = nullptr;
    QGroupBox *Frame1 = nullptr; // "XML - Verwaltungsblock"
    QGroupBox *Frame2 = nullptr; // "Export-Optionen"
    std::array<QLabel *, 15> Label1{};
    std::array<QLineEdit *, 15> Text1{};
    std::array<QCheckBox *, 4> Check1{};
    std::array<QPushButton *, 2> Command1{};

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();

    QPointer<QMdiSubWindow> m_subWindow;
    bool m_confirmed = false;
    bool m_unloaded = false;
};
