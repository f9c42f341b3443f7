#pragma once

#include "exchange/ProgExp.h"
#include "platform/MdiChildWindow.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The header of a transfer file, filled in by the user before an export:
// fifteen fields (the locked ones set on load), the export options and
// "OK" / "Abbrechen". A modeless child of the main window.
class Frm_Verwaltungsblock : public platform::MdiChildWindow
{
    Q_OBJECT
public:
    // Builds the window and runs its load; the menu handler shows it.
    explicit Frm_Verwaltungsblock(QWidget *parent = nullptr);
    ~Frm_Verwaltungsblock() override;

    // The dialog while it is loaded, otherwise nullptr.
    static Frm_Verwaltungsblock *loaded();

    void showAsChild();

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

private:
    void Form_Unload() override;

    bool m_confirmed = false;
};
