#pragma once
// The statement texts of the directory commands and of the main window's
// own statements, exactly as they are sent (named parameters as ":name").
// In one place, so that whatever else sends them (the benchmarks' bare-API
// floor) sends the very same texts.

extern const char* const kReadSQL;           // the entry's id appended
extern const char* const kChildCountSQL;     // the entry's id appended
extern const char* const kExistsSQL;         // the entry's id appended
extern const char* const kUpdateSQL;         // IDD, ID_PARENT, ORDER_POSITION, TITLE, DESCRIPTION, KIND, FLAGS
extern const char* const kInsertSQL;         // the same parameters, in the order they stand
extern const char* const kChainSQL;          // the start id appended
extern const char* const kChildrenSQL;       // the entry's id appended, then kChildrenOrderSQL
extern const char* const kChildrenOrderSQL;
extern const char* const kOrderUpdateSQL;    // ORDER_POSITION, IDD
extern const char* const kFolderListingSQL;  // ID_PARENT
extern const char* const kParentLookupSQL;   // ID
