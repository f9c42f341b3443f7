#pragma once

#include "platform/FileTypeRegistry.h"

#include <QString>
#include <memory>

// The registry lives with the platform services, which implement it for the
// desktop; the start-up and the registration below use it as it stands.
using FileTypeRegistry = platform::FileTypeRegistry;

// The registry in use. Until the program installs the desktop's, it answers
// every key with "not found" and takes no value, so code run without the
// program (tests) never touches the user's desktop settings.
FileTypeRegistry &fileTypeRegistry();
// The program (and tests) put their registry here; nullptr restores the empty one.
void setFileTypeRegistry(std::shared_ptr<FileTypeRegistry> registry);

// Registers the transfer-file type for this program: description, command
// (full path of the program file), type name and extension without the point.
// When all six registry calls succeed, Dateityp_registriert is set and stored
// with the options record; otherwise nothing is reported and the start-up
// tries again at its next run.
void Reg_Dateityp(const QString &beschreibung, const QString &befehl, const QString &typName, const QString &endung);
