// Dates and times read from a file are local times, and each one asks the C
// library for the local zone's offset.
#pragma once

// While TZ is unset, the C library checks the zone file (/etc/localtime) anew
// on every conversion: a list of 100,000 documents with two dates each then
// spends a second in file system calls alone. Naming that same default file
// in TZ keeps the zone exactly as it is and lets the library read it once. A
// TZ the user set is left alone. Call at the start of main, before any
// thread runs.
void ReadLocalZoneOnce();
