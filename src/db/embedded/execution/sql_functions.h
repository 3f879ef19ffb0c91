// The SQL functions the translated statements call: conversion into a
// column's type, string and date functions with SQL Server's semantics, LIKE
// under the database collation (the functions of numbers are in
// number_functions.h, registered with these).
#pragma once

#include <memory>
#include <string>

#include "db/embedded/types/sql_types.h"

struct sqlite3;

namespace moltaro::db::embedded {

class Collation;
class SqliteDb;

// Flags of tsql_store.
inline constexpr int kStoreNotNull = 1;
inline constexpr int kStoreUpdate = 2;
inline constexpr int kStoreAlter = 4;
inline constexpr int kStoreText = 8;  // the value is character data (SourceValue::character)

// The functions that read text as dates follow the date settings of the
// session running on `connection`.
void RegisterFunctions(sqlite3* db, const SqliteDb* connection);

// LIKE (tsql_like) and the object-name helpers under the database collation.
void RegisterCollatedFunctions(sqlite3* db, const std::string& collationName);

// Encodes a type as the integer arguments tsql_store and tsql_cast take:
// "base, length, precision, scale".
std::string TypeArguments(const SqlType& type);

}  // namespace moltaro::db::embedded
