#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;

// The info window: product, company, version and legal notice. Shown modally.
class Frm_Info : public QDialog
{
    Q_OBJECT
public:
    explicit Frm_Info(QWidget *parent = nullptr);
    ~Frm_Info() override;

    // The four lines of the info box, each ended by CR LF.
    static QString infoText();

    QGroupBox *Frame1 = nullptr;
    QTextEdit *RichTextBox1 = nullptr;
    QLabel *Image1 = nullptr;
    QPushButton *Command1 = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
};
