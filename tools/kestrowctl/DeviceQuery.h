// One-off reads of device values for the commands: each read is a
// communication variable of its own, so that one value the adapter cannot
// give does not hide the others.
#pragma once

#include <optional>
#include <string>

#include <CommVar.h>

namespace kestrowctl {

// The variable's text after a read, or nothing when the read failed.
std::optional<std::string> ReadText(kestrow::OID_PAIR oids, kestrow::CONVERT_FN convert);
// The same for a variable of several requests read together.
std::optional<std::string> ReadTexts(const kestrow::OID_PAIR *oids, int count, kestrow::CONVERT_FN convert);
// The command data of a read without conversion, or nothing.
std::optional<kestrow::request_record> ReadRecord(kestrow::OID_PAIR oids);
// The adapter's association (first data byte of the connection state); a
// failed read counts as not associated.
bool AdapterAssociated();
// Polls the association every 100 ms for at most `timeoutSecs` seconds;
// true as soon as the adapter reports it.
bool WaitForAssociation(int timeoutSecs);

} // namespace kestrowctl
