// The question for a password when a run meets encrypted entries without one,
// and again after entries were skipped for a bad password.
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace vantelo::ui {

// Asks for a password in a box of its own (title "Password", the text shown
// as "*"). False when cancelled; OK with an empty box gives an empty password.
bool AskPassword(QWidget* parent, const QString& question, QString* password);

// The question before a run: "Some entries are encrypted. Password:".
QString EncryptedEntriesQuestion();
// The line for entries skipped for a bad password: "1 entry was skipped for a
// bad password." or "N entries were skipped for a bad password."
QString BadPasswordLine(std::int32_t count);

}  // namespace vantelo::ui
