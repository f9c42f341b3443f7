#include "storage/Declare.h"

#include "platform/MessageService.h"

Declare &G()
{
    static Declare instance;
    return instance;
}

void Msg_Box()
{
    Declare &g = G();
    g.Msg_Antwort = qint16(platform::MessageService::show(g.Msg_Text, g.Msg_Titel, g.Msg_Stil.toInt()));
}
