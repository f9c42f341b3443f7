#include "select/ListStep.h"

#include "engine/EngineError.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"

bool listStep(const QString &title, const QString &label, const QString &failure, const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (...) {
        int number = 0;
        try {
            throw;
        } catch (const engine::EngineError &e) {
            number = e.number();
        } catch (...) {
        }
        ErrorSite site;
        site.label = label;
        logCurrentError(site);
        Declare &g = G();
        g.Msg_Titel = title;
        g.Msg_Stil = 48;
        g.Msg_Text = failure;
        if (number != 0)
            g.Msg_Text += QStringLiteral("\nFehler %1: %2").arg(number).arg(engine::standardErrorText(number));
        Msg_Box();
    }
    return false;
}
