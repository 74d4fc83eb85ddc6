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

// Text (sysfunc_text.cpp).
void IntToHex(TSysCall& call);         // 1
void JLength(TSysCall& call);          // 6
void Copy(TSysCall& call);             // 7
void JCopy(TSysCall& call);            // 8
void JDelete(TSysCall& call);          // 10
void Insert(TSysCall& call);           // 11
void JInsert(TSysCall& call);          // 12
void CompareStr(TSysCall& call);       // 13
void CompareText(TSysCall& call);      // 14
void Pos(TSysCall& call);              // 15
void JPos(TSysCall& call);             // 16
void Trim(TSysCall& call);             // 17
void JTrim(TSysCall& call);            // 18
void FixStr(TSysCall& call);           // 64
void LowerCase(TSysCall& call);        // 73
void UpperCase(TSysCall& call);        // 74
void ExtractFilePath(TSysCall& call);  // 75
void ExtractFileName(TSysCall& call);  // 76
void ExtractFileExt(TSysCall& call);   // 77
void IsPathDelimiter(TSysCall& call);  // 78
void AddBackSlash(TSysCall& call);     // 79
void ChangeFileExt(TSysCall& call);    // 80
void IsDelimiter(TSysCall& call);      // 81
void StringOfChar(TSysCall& call);     // 82
void StringReplace(TSysCall& call);    // 83
void HanToZen(TSysCall& call);         // 85
void ZenToHan(TSysCall& call);         // 86
void AddDelimiter(TSysCall& call);     // 133

// Numbers (sysfunc_numeric.cpp).
void Random(TSysCall& call);   // 26
void Int(TSysCall& call);      // 37
void Float(TSysCall& call);    // 38
void Sin(TSysCall& call);      // 39
void Cos(TSysCall& call);      // 40
void Tan(TSysCall& call);      // 41
void ArcSin(TSysCall& call);   // 42
void ArcCos(TSysCall& call);   // 43
void ArcTan(TSysCall& call);   // 44
void ArcTan2(TSysCall& call);  // 45
void Hypot(TSysCall& call);    // 46
void Abs(TSysCall& call);      // 48
void Fabs(TSysCall& call);     // 49
void Min(TSysCall& call);      // 126
void Max(TSysCall& call);      // 127
void Fmin(TSysCall& call);     // 128
void Fmax(TSysCall& call);     // 129
void GetVarType(TSysCall& call);  // 130

// Dates (sysfunc_date.cpp).
void EncodeDate(TSysCall& call);   // 51
void EncodeTime(TSysCall& call);   // 52
void DecodeDate(TSysCall& call);   // 53
void DecodeTime(TSysCall& call);   // 54
void GetYear(TSysCall& call);      // 55
void GetMonth(TSysCall& call);     // 56
void GetDay(TSysCall& call);       // 57
void GetHour(TSysCall& call);      // 58
void GetMin(TSysCall& call);       // 59
void GetSec(TSysCall& call);       // 60
void GetWeek(TSysCall& call);      // 61
void GetWeekStr(TSysCall& call);   // 62
void GetWeekJStr(TSysCall& call);  // 63

// Arrays and variables (sysfunc_array.cpp).
void SetArray(TSysCall& call);       // 21
void FillMem(TSysCall& call);        // 22
void CopyMem(TSysCall& call);        // 23
void ArrayToString(TSysCall& call);  // 28
void StringToArray(TSysCall& call);  // 29
void IndexOfStr(TSysCall& call);     // 30
void SortStr(TSysCall& call);        // 31
void VarExists(TSysCall& call);      // 50
void AddArray(TSysCall& call);       // 66
void InsertArray(TSysCall& call);    // 67
void DeleteArray(TSysCall& call);    // 68
void CopyArray(TSysCall& call);      // 70

// The player through the store's ports (sysfunc_host.cpp).
void GetProp(TSysCall& call);          // 2
void SetProp(TSysCall& call);          // 3
void Exists(TSysCall& call);           // 19
void GetCheck(TSysCall& call);         // 24
void SetCheck(TSysCall& call);         // 25
void GetSaveCaption(TSysCall& call);   // 27
void ListCompo(TSysCall& call);        // 32
void ToClientX(TSysCall& call);        // 33
void ToClientY(TSysCall& call);        // 34
void ToScreenX(TSysCall& call);        // 35
void ToScreenY(TSysCall& call);        // 36
void IndexOfMenu(TSysCall& call);      // 47
void GetDisplayMode(TSysCall& call);   // 65
void InPrimary(TSysCall& call);        // 69
void FileExists(TSysCall& call);       // 71
void LoadTextFile(TSysCall& call);     // 72
void SetWallPaper(TSysCall& call);     // 125
void GetEnabled(TSysCall& call);       // 131
void SetEnabled(TSysCall& call);       // 132
void ListSaveCaption(TSysCall& call);  // 134
void OpenUrl(TSysCall& call);          // 135

// The database tables (sysfunc_db.cpp).
void DBCreateTable(TSysCall& call);    // 87
void DBSetActive(TSysCall& call);      // 88
void DBAddField(TSysCall& call);       // 89
void DBSetRecNo(TSysCall& call);       // 90
void DBInsert(TSysCall& call);         // 91
void DBDelete(TSysCall& call);         // 92
void DBGetInt(TSysCall& call);         // 93
void DBSetInt(TSysCall& call);         // 94
void DBGetFloat(TSysCall& call);       // 95
void DBSetFloat(TSysCall& call);       // 96
void DBGetBool(TSysCall& call);        // 97
void DBSetBool(TSysCall& call);        // 98
void DBGetStr(TSysCall& call);         // 99
void DBSetStr(TSysCall& call);         // 100
void DBRecordCount(TSysCall& call);    // 101
void DBFindFirst(TSysCall& call);      // 102
void DBFindLast(TSysCall& call);       // 103
void DBFindNext(TSysCall& call);       // 104
void DBFindPrior(TSysCall& call);      // 105
void DBLocate(TSysCall& call);         // 106
void DBLoadTsvFile(TSysCall& call);    // 107
void DBDirectGetInt(TSysCall& call);   // 108
void DBDirectSetInt(TSysCall& call);   // 109
void DBDirectGetFloat(TSysCall& call);  // 110
void DBDirectSetFloat(TSysCall& call);  // 111
void DBDirectGetBool(TSysCall& call);  // 112
void DBDirectSetBool(TSysCall& call);  // 113
void DBDirectGetStr(TSysCall& call);   // 114
void DBDirectSetStr(TSysCall& call);   // 115
void DBCopyTable(TSysCall& call);      // 116
void DBDeleteTable(TSysCall& call);    // 117
void DBInsertTable(TSysCall& call);    // 118
void DBCopy(TSysCall& call);           // 119
void DBClearTable(TSysCall& call);     // 120
void DBSort(TSysCall& call);           // 121
void DBGetActive(TSysCall& call);      // 122
void DBGetRecNo(TSysCall& call);       // 123
void DBClearRecord(TSysCall& call);    // 124

}  // namespace kova::sysfunc
