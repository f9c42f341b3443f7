#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace platform {

// VB answer codes.
constexpr int vbOK = 1;
constexpr int vbCancel = 2;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

struct MessageRecord
{
    QString text;
    QString title;
    int style = 0;
    int answer = 0;
};

// Every message box of the program goes through here. Style numbers are the
// VB ones: buttons (0 OK, 1 OK/Cancel, 3 Yes/No/Cancel, 4 Yes/No) plus icon
// (16 critical, 32 question, 48 warning, 64 information).
class MessageService
{
public:
    static int show(const QString &text, const QString &title, int style);

    // Test seam: when a script is set no box appears; the script answers
    // and every box is recorded.
    using Script = std::function<int(const MessageRecord &)>;
    static void setScript(Script script);
    static void clearScript();
    static const std::vector<MessageRecord> &recorded();
    static void clearRecorded();

    // The window layer shows the real boxes (see WidgetServices.h).
    using Presenter = std::function<int(const MessageRecord &)>;
    static void setPresenter(Presenter p);
};

// Files and pages open in the desktop's default viewer.
bool openWithViewer(const QString &path);
// Test seam: when set, the viewer is not started; the path goes here instead.
void setViewerHook(std::function<void(const QString &)> hook);
// The window layer installs the desktop's viewer.
void setViewer(std::function<bool(const QString &)> viewer);

// Twips (1/1440 inch) to pixels at 15 twips per pixel.
constexpr int twips(int t)
{
    return (t + 7) / 15;
}

// True when another instance of the program runs for this user.
bool anotherInstanceRunning();

// The directory of the executable (the program directory); tests may move it.
QString programDirectory();
void setProgramDirectory(const QString &dir);

} // namespace platform
