#pragma once

#include "storage/Declare.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace engine {
class Field;
}

// The import module: a transfer file into the working database.
//
// Upd_1_Start drives one import (confirmation, pieces, header checks,
// compaction, progress, ESC); Upd_2_Read and Upd_3_Betr turn one business
// block into rows; Upd_4_Andere writes one sub-block (address, activity,
// permit, craft card, person, other reason); Upd_5_Felder stores one value.

namespace exchange {

// Characters read from the transfer file at a time. The reader joins a block
// that a piece border cuts in two with the next piece, so memory stays at
// about one piece plus the longest header or business block.
constexpr qint64 kPieceSize = 5120000;

// Tests read in small pieces so that piece borders fall inside blocks.
qint64 pieceSize();
void setPieceSize(qint64 characters);

// The two markers of the field extractors; ordinary texts, compared exactly.
inline const QString kKeinInhalt = QStringLiteral("kein Inhalt");
inline const QString kKeinName = QStringLiteral("kein Name");

} // namespace exchange

// The block procedures. Lines are held in a QStringList (index 0 is the
// line the procedures count as 1); n and k are the counts they were given.
void Upd_2_Read(QString &block);
void Upd_3_Betr(const QStringList &lines, int n, const QString &betrNr, const QString &betrHistNr,
                const QString &rechtsform);
void Upd_4_Andere(const QStringList &sub, int k, const QString &betrNr, const QString &betrHistNr, RS &target, int kind,
                  const QString &rechtsform);
// Stores value (dates turned into their stored form in place, over-long
// values cut and logged) into field of a row being added; false when the
// value could not be written.
bool Upd_5_Felder(const engine::Field &field, QString &value);
void Upd_6_Kill(const QString &criteria, RS &rs);
QString Upd_8_ExtrFeldInhalt(const QString &line);
QString Upd_9_ExtrFeldInhalt(const QString &line);
