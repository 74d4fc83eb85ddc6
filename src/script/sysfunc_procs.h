// The system functions by id, each taking one call (script/sysfunc.h). The dispatch table in
// sysfunc.cpp refers to them; ids without an entry do nothing yet.
#pragma once

#include "script/sysfunc.h"

namespace kova::sysfunc {

void IntToStr(TSysCall& call);      // 0
void GetArraySize(TSysCall& call);  // 4
void Length(TSysCall& call);        // 5
void Delete(TSysCall& call);        // 9
void Not(TSysCall& call);           // 20
void AssignTemp(TSysCall& call);    // 84

}  // namespace kova::sysfunc
