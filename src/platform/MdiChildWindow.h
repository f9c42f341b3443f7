#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>
#include <functional>

class QMdiSubWindow;

namespace platform {

// Places a sub-window so that the window inside it gets exactly the given
// size: the sub-window's title bar and frame come on top. A maximized or
// minimized sub-window is made normal first, so that the size holds.
void placeSubWindow(QMdiSubWindow *sub, QPoint pos, QSize content);

// A window that lives as a child of the main window's MDI area. It places
// itself, tells its own activations apart from the main window merely getting
// the focus back, and runs its unload exactly once whether it is closed by
// code, by the user or by the area.
class MdiChildWindow : public QWidget
{
    Q_OBJECT
public:
    // Hands a window to the main window's MDI area.
    using AddChild = std::function<void(QWidget *child)>;

    explicit MdiChildWindow(QWidget *parent = nullptr);

    // Closes the window (Form_Unload runs once, whichever way it closes).
    void unload();

protected:
    // Adds the window through addChild, or shows it on its own when there is
    // no area; the window goes to 0,0 with the given size, inside the frame
    // of the sub-window it lands in.
    void placeAsChild(const AddChild &addChild, QSize size);
    // From now on Form_Activate runs when this child becomes the active one
    // after another child was; the first run follows at once.
    void trackActivation();

    // The window's own work on activation and on unload.
    virtual void Form_Activate() {}
    virtual void Form_Unload() {}

    // The sub-window holding this one; nullptr outside an MDI area.
    QMdiSubWindow *subWindow() const;

    void closeEvent(QCloseEvent *event) override;

private:
    void childActivated(QMdiSubWindow *window);
    void unloadOnce();

    QPointer<QMdiSubWindow> m_subWindow;
    bool m_active = false;
    bool m_unloaded = false;
};

} // namespace platform
