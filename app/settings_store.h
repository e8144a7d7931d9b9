// The per-user settings store: one INI key per setting name (organisation "Solvane", application
// "Solvane.3.0"), every value written as text. Integers are "%d" text; flags keep the low byte of
// the stored integer; tenths and hundredths are stored as integers; a missing key or a stored -1
// reads as the setting's default.
#pragma once

#include <QString>

#include <string>

#include "core/settings.h"

namespace solvane {

// The integer stored under name, or fallback when it is missing or holds exactly -1. The text is
// read like atoi: leading blanks, a sign and digits; no digits give 0.
int ReadInt(const QString& name, int fallback);
void WriteInt(const QString& name, int value);
// False (and text empty) when the key is missing; at most 255 characters are kept.
bool ReadText(const QString& name, std::string& text);
void WriteText(const QString& name, const std::string& text);
// A text kept whole, however long (a file path); false (and text empty) when the key is missing.
bool ReadPathText(const QString& name, std::string& text);

// Reads every setting into the record, applying defaults and conversions.
void ReadAll(Settings& settings);
// Writes every setting in the store's order.
void WriteAll(const Settings& settings);
// Makes sure everything written has reached the file.
void SyncStore();

}  // namespace solvane
