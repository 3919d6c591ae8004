// The engine's message format texts for misuse reports and fatal stops, indexed
// from 0; each reporting place uses its own fixed entry.
#pragma once
#include "QelExport.h"

constexpr int MessageTableSize = 132;

// Entries 92 and 113 hold Windows-1252 quotation marks (bytes 0x91 and 0x92).
extern QEL_API const char* const MessageTable[MessageTableSize];
