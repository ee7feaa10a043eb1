#pragma once

// The entry points of the LibreOffice Calc plugin, looked up by name at run time. Texts are
// UTF-8. Every call but the release returns 0 on success; otherwise it writes a line saying
// what failed into error (errorSize bytes, terminated) and returns non-zero.
extern "C" {

struct TavCalcSession;

// Joins the Calc instance that accepts UNO connections on the named pipe, or starts one that
// does. Only the program identifier "Excel.Application" is served.
typedef TavCalcSession* (*TavCalcCreateFn)(const char* programId, const char* pipeName, char* error,
                                           int errorSize);
typedef int (*TavCalcVisibleFn)(TavCalcSession* session, int visible, char* error, int errorSize);
typedef int (*TavCalcOpenFn)(TavCalcSession* session, const char* path, char* error, int errorSize);
// Fills rows x columns cells of the active sheet from (row, column), counted from 1; texts row
// by row.
typedef int (*TavCalcPutBlockFn)(TavCalcSession* session, int row, int column, int rows,
                                 int columns, const char* const* texts, char* error, int errorSize);
// Drops the session's references; Calc keeps running with the workbook open.
typedef void (*TavCalcReleaseFn)(TavCalcSession* session);

} // extern "C"

#define TAV_CALC_CREATE "tav_calc_create"
#define TAV_CALC_VISIBLE "tav_calc_visible"
#define TAV_CALC_OPEN "tav_calc_open"
#define TAV_CALC_PUT_BLOCK "tav_calc_put_block"
#define TAV_CALC_RELEASE "tav_calc_release"
