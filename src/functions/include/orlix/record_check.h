// Checking a stored function record before it is restored: its formula
// text and its compiled program must tell the same story. A record whose
// program is damaged is rebuilt from its text, one whose text is lost keeps
// its program; a record whose text reads but draws another curve than its
// program is rebuilt from the text; a record neither half of which reads,
// or whose text is damaged while its program still reads, is refused.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orlix {

enum class RecordState {
    intact,             // text and program agree
    rebuiltFromText,    // the program was damaged
    rebuiltFromProgram, // the text was missing
    textDisagreed,      // both read but drew different curves: rebuilt from the text
    refused,            // nothing trustworthy to rebuild from
};

struct RecordCheck {
    RecordState state = RecordState::intact;
    // The record to restore (repaired when rebuilt); null when refused.
    nlohmann::json record;
};

// Records of kinds the kind table does not know are passed on unchanged.
RecordCheck checkRecord(const nlohmann::json& record);

// What a launch made of the stored function list.
struct FunctionListReading {
    // The list to restore: every record that can be, repaired where needed.
    nlohmann::json functions = nlohmann::json::object();
    std::size_t rebuilt = 0;                // rebuilt from their text, their program being damaged
    std::size_t disagreed = 0;              // rebuilt from the text, which disagreed with the program
    std::vector<std::string> refusedIDs;    // records not restored
    nlohmann::json refused = nlohmann::json::object(); // and those records, by identifier
};

// Checks every record of a stored function list (an object: identifier →
// record). Anything else than an object reads as no functions, with no
// record refused.
FunctionListReading checkFunctionList(const nlohmann::json& functions);

} // namespace orlix
