#include "platform/MdiChildWindow.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace platform {

void placeSubWindow(QMdiSubWindow *sub, QPoint pos, QSize content)
{
    if (!sub)
        return;
    // A new sub-window of an area whose active one is maximized opens
    // maximized too; a geometry set on it then would be half undone.
    if (sub->isMaximized() || sub->isMinimized())
        sub->showNormal();
    // The frame's margins are known once the sub-window has been shown (even
    // inside a main window that is still hidden).
    if (sub->isHidden())
        sub->show();
    const QMargins frame = sub->contentsMargins();
    const QSize outer = content.grownBy(frame);
    sub->setGeometry(QRect(pos, outer));
}

MdiChildWindow::MdiChildWindow(QWidget *parent) : QWidget(parent) {}

void MdiChildWindow::placeAsChild(const AddChild &addChild, QSize size)
{
    if (addChild)
        addChild(this);
    else
        show();
    m_subWindow = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (m_subWindow)
        placeSubWindow(m_subWindow, QPoint(0, 0), size);
}

QMdiSubWindow *MdiChildWindow::subWindow() const
{
    return m_subWindow;
}

void MdiChildWindow::trackActivation()
{
    if (m_subWindow) {
        if (QMdiArea *area = m_subWindow->mdiArea()) {
            connect(area, &QMdiArea::subWindowActivated, this, &MdiChildWindow::childActivated);
            if (area->activeSubWindow() != m_subWindow)
                area->setActiveSubWindow(m_subWindow);
            if (area->activeSubWindow() == m_subWindow)
                childActivated(m_subWindow);
        }
    }
    // Shown outside an MDI area, or the area activates later: the window is
    // the active one from now on.
    if (!m_active) {
        m_active = true;
        Form_Activate();
    }
}

void MdiChildWindow::childActivated(QMdiSubWindow *window)
{
    // Only another child in between makes the next activation a new one. A
    // message box or another program takes the activation from the whole main
    // window (reported as nullptr where the area reports it at all), and
    // coming back from there is no new activation of this child.
    if (!window)
        return;
    if (window != m_subWindow) {
        m_active = false;
        return;
    }
    if (m_active)
        return;
    m_active = true;
    Form_Activate();
}

void MdiChildWindow::unload()
{
    unloadOnce();
    if (m_subWindow) {
        m_subWindow->close();
    } else {
        close();
        // A window that was never shown gets no close event to delete it.
        deleteLater();
    }
}

void MdiChildWindow::closeEvent(QCloseEvent *event)
{
    unloadOnce();
    event->accept();
}

void MdiChildWindow::unloadOnce()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Form_Unload();
}

} // namespace platform
