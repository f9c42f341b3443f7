#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>

class Frm_Optionen;
class Frm_Start;
class QAction;
class QMdiArea;
class QMdiSubWindow;

// The program's frame: the menu bar that starts every function, the busy flags
// (check marks of the menu items) and the area in which the child windows live.
class MDIForm1 : public QMainWindow
{
    Q_OBJECT
public:
    // The window's load: the second-instance warning and the start size.
    explicit MDIForm1(QWidget *parent = nullptr);
    ~MDIForm1() override;

    static MDIForm1 *instance();

    // Loads the record window into the frame and runs the start-up; returns
    // once the start-up (and a command-line import) is done.
    void loadStartWindow();
    // Shows the frame and the record window and brings the latter to the front.
    void showStartWindow();

    Frm_Start *frmStart() const;
    // The options window; touching it when it is not loaded loads it hidden.
    Frm_Optionen *frmOptionen();
    bool optionenLoaded() const;

    QMdiArea *mdiArea() const { return m_mdi; }
    // A menu item by its name ("menue_import_datenbank", ...).
    QAction *menuItem(const QString &name) const;

    void Menue_Fenster_schliessen();
    void setMenuChecked(const QString &item, bool checked);
    bool menuChecked(const QString &item) const;
    // Off while a long job runs: the menus and the other child windows stop
    // answering, the record window keeps its keys (ESC cancels) and boxes
    // still come up.
    void setMainEnabled(bool enabled);
    bool jobRunning() const { return m_jobRunning; }
    // Shows a window as a child of the frame; it is deleted when it closes.
    void addMdiChild(QWidget *child);

    void menue_beenden_Click();
    void menue_extras_optionen_Click();
    void menue_hilfe_suchen_Click();
    void menue_info_Click();

    bool programEnded() const { return m_ended; }
    // What ending the program does; tests replace the default (leaving the
    // event loop) to keep their process.
    static void setEndProgram(std::function<void()> end);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void installHooks();
    void unloadWindow(const QString &name);
    void endProgram();
    void fitAroundStartWindow();

    QMdiArea *m_mdi = nullptr;
    QPointer<Frm_Start> m_frmStart;
    QPointer<QMdiSubWindow> m_startSub;
    // The same sub-window as a plain address, only ever compared.
    const QObject *m_startSubObject = nullptr;
    QPointer<Frm_Optionen> m_optionen;
    bool m_jobRunning = false;
    bool m_closeAfterJob = false;
    void requestCloseAfterJob();
    bool m_ended = false;
    QSize m_startSize;
};
