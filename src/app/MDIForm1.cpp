#include "app/MDIForm1.h"

#include "app/Frm_Info.h"
#include "app/Frm_Optionen.h"
#include "app/Startup.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/MdiChildWindow.h"
#include "print/Print.h"
#include "record/Frm_Start.h"
#include "select/BusinessList.h"
#include "select/PersonList.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSet>
#include <QTimer>

namespace {

MDIForm1 *s_instance = nullptr;

std::function<void()> &endProgramFn()
{
    static std::function<void()> fn = [] { QCoreApplication::exit(0); };
    return fn;
}

const int kMainWidth = 12165;
const int kMainHeight = 8940;

} // namespace

MDIForm1::MDIForm1(QWidget *parent) : QMainWindow(parent)
{
    s_instance = this;
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    // The record window is a little larger than the frame's inside: the
    // area scrolls so that every part of it can be reached.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    // Activation is a change between the program's own windows: coming back
    // from another application re-activates the same child, and must not read
    // the options window again over the clerk's unsaved marks.
    connect(m_mdi, &QMdiArea::subWindowActivated, this,
            [last = QPointer<QMdiSubWindow>()](QMdiSubWindow *sub) mutable {
                if (!sub || sub == last)
                    return;
                last = sub;
                if (auto *optionen = qobject_cast<Frm_Optionen *>(sub->widget()))
                    optionen->Form_Activate();
            });
    buildMenus();
    installHooks();

    Declare &g = G();
    g.Ortungs_Nr = 0;
    // The load leaves silently on an error: the warning is a courtesy only.
    try {
        if (platform::anotherInstanceRunning()) {
            const QChar lf(10);
            g.Msg_Titel = QStringLiteral("Programmstart!");
            g.Msg_Text = QStringLiteral("Eine Instanz dieses Programmes läuft bereits,") + lf
                         + QStringLiteral("bitte beenden Sie alle Instanzen im Hintergrund bevor Sie ''OK'' klicken!")
                         + lf + lf;
            g.Msg_Stil = 16;
            Msg_Box();
        }
    } catch (...) {
    }
    m_startSize = QSize(platform::twips(kMainWidth), platform::twips(kMainHeight));
    resize(m_startSize);
}

MDIForm1::~MDIForm1()
{
    // The hooks point into this window and its children, which go now.
    G().forms = FormHooks();
    if (s_instance == this)
        s_instance = nullptr;
}

MDIForm1 *MDIForm1::instance()
{
    return s_instance;
}

void MDIForm1::setEndProgram(std::function<void()> end)
{
    endProgramFn() = end ? std::move(end) : [] { QCoreApplication::exit(0); };
}

void MDIForm1::buildMenus()
{
    struct Item
    {
        const char *name;
        const char *caption; // nullptr: separator
        std::function<void()> handler;
    };
    auto addItems = [this](QMenu *menu, const std::vector<Item> &items) {
        for (const Item &item : items) {
            QAction *action = item.caption ? menu->addAction(QString::fromUtf8(item.caption)) : menu->addSeparator();
            action->setObjectName(QString::fromLatin1(item.name));
            if (!item.handler)
                continue;
            connect(action, &QAction::triggered, this, [action, handler = item.handler] {
                // A set mark is a busy flag, not a toggle: the click must not clear it.
                if (action->isCheckable())
                    action->setChecked(true);
                handler();
            });
        }
    };
    auto addMenu = [this](QMenu *parent, const char *name, const char *caption) {
        const QString text = QString::fromUtf8(caption);
        QMenu *menu = parent ? parent->addMenu(text) : menuBar()->addMenu(text);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    QMenu *datei = addMenu(nullptr, "menue_datei", "&Datei");
    addItems(datei, {{"menue_suchen_betrieb", "öffnen (&Betrieb)", [] { MDIForm1_menue_suchen_betrieb_Click(); }},
                     {"menue_suchen_person", "öffnen (&Person)", [] { MDIForm1_menue_suchen_person_Click(); }}});
    QMenu *drucken = addMenu(datei, "menue_drucken", "&drucken...");
    addItems(drucken, {{"menue_druck_betrieb", "aktueller &Betrieb", [] { MDIForm1_menue_druck_betrieb_Click(); }},
                       {"menue_druck_Person", "aktuelle &Person", [] { MDIForm1_menue_druck_Person_Click(); }}});
    addItems(datei, {{"menue_trenn1", nullptr, nullptr},
                     {"menue_beenden", "b&eenden", [this] { menue_beenden_Click(); }}});

    QMenu *bearbeiten = addMenu(nullptr, "menue_bearbeiten", "&Bearbeiten");
    addItems(bearbeiten, {{"menue_import_datenbank", "Daten-&Import (RML --> Access)",
                           [] { MDIForm1_menue_import_datenbank_Click(); }},
                          {"menue_trenn2", nullptr, nullptr},
                          {"menue_export_textdatei", "Daten-E&xport (Access --> RML)",
                           [] { MDIForm1_menue_export_textdatei_Click(); }}});

    QMenu *extras = addMenu(nullptr, "menue_extras", "&Extras");
    addItems(extras, {{"menue_extras_optionen", "&Optionen", [this] { menue_extras_optionen_Click(); }}});

    QMenu *hilfe = addMenu(nullptr, "menue_hilfe", "&Hilfe");
    addItems(hilfe, {{"menue_hilfe_suchen", "&suchen in der Hilfe", [this] { menue_hilfe_suchen_Click(); }},
                     {"menue_hilfe_linie", nullptr, nullptr},
                     {"menue_info", "I&nfo...", [this] { menue_info_Click(); }}});
}

void MDIForm1::installHooks()
{
    FormHooks &f = G().forms;
    f.setMainCaption = [this](const QString &caption) { setWindowTitle(caption); };
    f.closeChildWindows = [this] { Menue_Fenster_schliessen(); };
    f.setMenuChecked = [this](const QString &item, bool checked) { setMenuChecked(item, checked); };
    f.menuChecked = [this](const QString &item) { return menuChecked(item); };
    f.setMainEnabled = [this](bool enabled) { setMainEnabled(enabled); };
    f.addMdiChild = [this](QWidget *child) { addMdiChild(child); };
    f.showOptionen = [this] { addMdiChild(frmOptionen()); };
    f.processEvents = [] { QCoreApplication::processEvents(); };
    f.optionenGemeinde = [this] { return frmOptionen()->DATA_GEMEINDE; };
    f.optionenPathText = [this](int index) { return frmOptionen()->pathText(index); };
}

QAction *MDIForm1::menuItem(const QString &name) const
{
    return menuBar()->findChild<QAction *>(name);
}

void MDIForm1::setMenuChecked(const QString &item, bool checked)
{
    QAction *action = menuItem(item);
    if (!action)
        return;
    // Only a set mark is checkable, so an unmarked item shows no empty box.
    if (checked) {
        action->setCheckable(true);
        action->setChecked(true);
    } else {
        action->setChecked(false);
        action->setCheckable(false);
    }
}

bool MDIForm1::menuChecked(const QString &item) const
{
    const QAction *action = menuItem(item);
    return action && action->isCheckable() && action->isChecked();
}

void MDIForm1::unloadWindow(const QString &name)
{
    QSet<QWidget *> windows;
    for (QWidget *w : findChildren<QWidget *>(name))
        windows.insert(w);
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name)
            windows.insert(w);
    }
    for (QWidget *w : std::as_const(windows)) {
        QPointer<QWidget> guard(w);
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget())) {
            sub->close();
            continue;
        }
        if (w->close() && guard)
            w->deleteLater();
    }
}

void MDIForm1::Menue_Fenster_schliessen()
{
    static const std::pair<const char *, const char *> pairs[] = {
        {"menue_suchen_person", "Frm_Auswahl_Pers"},
        {"menue_suchen_betrieb", "Frm_Auswahl_Betr"},
        {"menue_info", "Frm_Info"},
        {"menue_extras_optionen", "Frm_Optionen"},
        {"menue_import_datenbank", nullptr},
        {"menue_export_textdatei", "Frm_Verwaltungsblock"},
    };
    for (const auto &[item, window] : pairs) {
        const QString itemName = QString::fromLatin1(item);
        if (!menuChecked(itemName))
            continue;
        if (window)
            unloadWindow(QString::fromLatin1(window));
        setMenuChecked(itemName, false);
    }
}

void MDIForm1::setMainEnabled(bool enabled)
{
    m_jobRunning = !enabled;
    menuBar()->setEnabled(enabled);
    // The job shows its progress on the record window and stops on a key
    // pressed there: it comes to the front and takes the focus.
    if (!enabled && m_startSub) {
        m_mdi->setActiveSubWindow(m_startSub);
        m_startSub->raise();
        if (m_frmStart)
            m_frmStart->setFocus(Qt::OtherFocusReason);
    }
    // A close asked for while the job ran takes effect once the job is over.
    if (enabled && m_closeAfterJob) {
        m_closeAfterJob = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (sub != m_startSub)
            sub->setEnabled(enabled);
    }
}

void MDIForm1::requestCloseAfterJob()
{
    G().Letzte_Taste = 27;
    m_closeAfterJob = true;
}

void MDIForm1::addMdiChild(QWidget *child)
{
    if (!child)
        return;
    auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget());
    if (!sub || sub->mdiArea() != m_mdi) {
        // A window places itself on load; the sub-window's frame comes around it.
        const bool placed = child->testAttribute(Qt::WA_Resized) || child->testAttribute(Qt::WA_Moved);
        const QRect wanted(child->pos(), child->size());
        sub = m_mdi->addSubWindow(child);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        if (placed)
            platform::placeSubWindow(sub, wanted.topLeft(), wanted.size());
    }
    child->show();
    sub->show();
    m_mdi->setActiveSubWindow(sub);
}

Frm_Start *MDIForm1::frmStart() const
{
    return m_frmStart;
}

bool MDIForm1::optionenLoaded() const
{
    return !m_optionen.isNull();
}

Frm_Optionen *MDIForm1::frmOptionen()
{
    if (!m_optionen) {
        m_optionen = new Frm_Optionen(this);
        m_optionen->hide();
    }
    return m_optionen;
}

void MDIForm1::loadStartWindow()
{
    m_frmStart = new Frm_Start;
    m_frmStart->installHooks();
    m_startSub = m_mdi->addSubWindow(m_frmStart);
    m_startSubObject = m_startSub.data();
    m_startSub->installEventFilter(this);
    connect(m_frmStart, &Frm_Start::queryUnload, this, [] { Error_Log_Anzeigen(); });
    connect(m_frmStart, &Frm_Start::unloaded, this, [this] {
        Error_Log_Anzeigen();
        endProgram();
    });
    A_Start();
    // A start-up that stopped early still leaves the record window on screen.
    if (!m_ended && !m_startSub->isVisible())
        showStartWindow();
}

void MDIForm1::showStartWindow()
{
    if (!isVisible()) {
        if (m_startSub) {
            platform::placeSubWindow(m_startSub, QPoint(0, 0), m_frmStart->size());
            fitAroundStartWindow();
        }
        show();
    }
    if (!m_startSub)
        return;
    m_startSub->show();
    m_startSub->raise();
    m_mdi->setActiveSubWindow(m_startSub);
}

void MDIForm1::menue_beenden_Click()
{
    Error_Log_Anzeigen();
    close();
    endProgram();
}

void MDIForm1::menue_extras_optionen_Click()
{
    if (menuChecked(QStringLiteral("menue_extras_optionen")))
        return;
    Menue_Fenster_schliessen();
    setMenuChecked(QStringLiteral("menue_extras_optionen"), true);
    addMdiChild(frmOptionen());
}

void MDIForm1::menue_hilfe_suchen_Click()
{
    // A missing page or viewer is not the clerk's problem to read about.
    const QString page = platform::findPath(platform::programDirectory() + QStringLiteral("/hilfe.htm"));
    if (!page.isEmpty())
        platform::openWithViewer(page);
}

void MDIForm1::menue_info_Click()
{
    Frm_Info info(this);
    info.exec();
}

void MDIForm1::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    endProgramFn()();
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    // Closing while a job runs cancels the job like ESC (it stops after the
    // business in hand, so nothing is left half written) and closes afterwards.
    if (m_jobRunning) {
        requestCloseAfterJob();
        event->ignore();
        return;
    }
    // Closing the frame unloads the record window, whose unload ends the program.
    if (m_startSub && !m_ended)
        m_startSub->close();
    event->accept();
}

void MDIForm1::fitAroundStartWindow()
{
    // Large enough to show the whole record window with its frame, and never
    // smaller than the start size.
    const int areaFrame = 2 * m_mdi->frameWidth();
    const QSize needed = m_startSub->size() + QSize(areaFrame, areaFrame + menuBar()->sizeHint().height());
    m_startSize = needed.expandedTo(QSize(platform::twips(kMainWidth), platform::twips(kMainHeight)));
    resize(m_startSize);
}

void MDIForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // During loading the frame keeps its start size; afterwards the user sizes it.
    if (!isVisible() && size() != m_startSize)
        resize(m_startSize);
}

void MDIForm1::keyPressEvent(QKeyEvent *event)
{
    // While a job runs, a key that no control took (the focus outside the
    // record window, or nowhere) still counts as pressed on the record window,
    // so that ESC anywhere in the frame stops the job.
    if (m_jobRunning && m_frmStart) {
        m_frmStart->storeKey(event);
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool MDIForm1::eventFilter(QObject *watched, QEvent *event)
{
    // Compared as plain objects: the sub-window may be half destroyed already
    // when its last events come through.
    if (watched == m_startSubObject && event->type() == QEvent::Close && m_jobRunning) {
        requestCloseAfterJob();
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
