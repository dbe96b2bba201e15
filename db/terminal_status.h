// The terminal's row in QXSYSTEM.QXS1140TRM and the location query on
// QXSYSTEM.QXS113STO.
#pragma once

#include <cstdint>
#include <string>

#include "db/db_connection.h"

// The last formatted status or location statement (of any length).
extern std::string StatementBuffer;

// text escaped for a place between single quotes of a statement, with the
// connection's escaping (quote, backslash, NUL, line ends ...).
std::string EscapeSqlText(const char* text);

// The location query's handle; holds its result from StoOpen to StoClose.
extern QueryHandle StoQuery;

// The texts of the three status operations are escaped with EscapeSqlText,
// so a name holding a quote or a backslash selects its own row only.

// Marks the transfer as started (TrmDac 1, TrmDst NULL, TrmDpg 0). Returns
// the status of the UPDATE. Not committed here.
int TrmDownloadStart(const char* terminal, const char* stamp, const char* user,
                     const char* transfer, int16_t type);

// Records status and progress in the row and commits, whatever the UPDATE
// returned. Returns the status of the UPDATE.
int TrmDownloadState(const char* terminal, const char* stamp, int32_t status, int16_t progress);

// Marks the transfer as ended (TrmDac 0). Not committed here.
int TrmDownloadEnd(const char* terminal, const char* stamp);

// Runs the location query. Returns the status of DbExecute.
int StoOpen();

// Fetches the next location number, whole, into dest (left untouched for a
// NULL number). Returns 0; 1032 after the last row; -1 or an error number.
int StoFetch(std::string& dest);

// Releases the location query's result.
int StoClose();
