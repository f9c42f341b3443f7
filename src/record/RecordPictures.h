#pragma once

#include <QPixmap>
#include <QSize>

// The record window's two pictures, drawn at the size they are shown at.
// The start picture fills the place of the tabs before a business is chosen
// and while an import or export runs; the emblem sits beside the header.
QPixmap drawStartPicture(const QSize &size);
QPixmap drawEmblem(const QSize &size);
