#pragma once

#include <QString>
#include <QVariant>

// Opening, binding, releasing, closing and compacting the two databases.
void DB_Load();
void DB_Load_RS();
void DB_Bind_DATA();
void DB_Unbind_DATA();
void DB_Close();
void DB_Kompress();
// Returns 1 on success, 0 after a logged error.
QVariant A_Kompress(QVariant &path, const QString &password);
