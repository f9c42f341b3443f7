#pragma once

#include <QWidget>
#include <array>

class BoundView;
class QGroupBox;
class QLineEdit;

// The options window: the working database of each data kind and the
// municipality filter. Other windows read its DATA_GEMEINDE and its two path
// boxes, so it may be loaded without being shown.
class Frm_Optionen : public QWidget
{
    Q_OBJECT
public:
    // The window's load: it only places itself.
    explicit Frm_Optionen(QWidget *parent = nullptr);
    ~Frm_Optionen() override;

    // Index 0: business-related data, 1: report-related data.
    QString pathText(int index) const;

    // Each time the window becomes active: options read again, paths shown,
    // only the frame of the current data kind usable.
    void Form_Activate();

    BoundView *DATA_GEMEINDE = nullptr;
    std::array<QGroupBox *, 2> Frame1{};
    std::array<QLineEdit *, 2> Text6{};

protected:
    void closeEvent(QCloseEvent *event) override;
};
