#include "db/server_messages.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace moltaro::db {

namespace {

// Sorted by number. The texts are SQL Server's; where the embedded server
// says more than SQL Server could (a damaged or missing file, a lock file),
// the text says so in the same form.
constexpr std::array kMessages = std::to_array<ServerMessage>({
    {53, 16,
     "A network-related or instance-specific error occurred while establishing a connection to "
     "SQL Server. The server was not found or was not accessible. %ls"},
    {102, 15, "Incorrect syntax near '%.*ls'."},
    {103, 15, "The identifier that starts with '%.*ls' is too long. Maximum length is %d."},
    {104, 15,
     "ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT "
     "or EXCEPT operator."},
    {105, 15, "Unclosed quotation mark after the character string '%.*ls'."},
    {107, 15,
     "The column prefix '%.*ls' does not match with a table name or alias name used in the "
     "query."},
    {108, 15,
     "The ORDER BY position number %ld is out of range of the number of items in the "
     "select list."},
    {109, 15,
     "There are more columns in the INSERT statement than values specified in the VALUES clause. "
     "The number of values in the VALUES clause must match the number of columns specified in the "
     "INSERT statement."},
    {110, 15,
     "There are fewer columns in the INSERT statement than values specified in the VALUES clause. "
     "The number of values in the VALUES clause must match the number of columns specified in the "
     "INSERT statement."},
    {113, 15, "Missing end comment mark '*/'."},
    {116, 16,
     "Only one expression can be specified in the select list when the subquery is not "
     "introduced with EXISTS."},
    {120, 15,
     "The select list for the INSERT statement contains fewer items than the insert list. The "
     "number of SELECT values must match the number of INSERT columns."},
    {121, 15,
     "The select list for the INSERT statement contains more items than the insert list. The "
     "number of SELECT values must match the number of INSERT columns."},
    {128, 15,
     "The name is not permitted in this context. Valid expressions are constants, constant "
     "expressions, and (in some contexts) variables. Column names are not permitted."},
    {131, 15,
     "The size (%d) given to the %S_MSG '%.*ls' exceeds the maximum allowed for any data type "
     "(%d)."},
    {132, 15,
     "The label '%.*ls' has already been declared. Label names must be unique within a query "
     "batch or stored procedure."},
    {133, 15, "A GOTO statement references the label '%.*ls' but the label has not been declared."},
    {134, 15,
     "The variable name '%.*ls' has already been declared. Variable names must be unique within a "
     "query batch or stored procedure."},
    {137, 15, "Must declare the scalar variable \"%.*ls\"."},
    {141, 15,
     "A SELECT statement that assigns a value to a variable must not be combined with "
     "data-retrieval operations."},
    {154, 15, "%S_MSG is not allowed in %S_MSG."},
    {155, 15, "'%.*ls' is not a recognized %ls option."},
    {156, 15, "Incorrect syntax near the keyword '%.*ls'."},
    {174, 15, "The %.*ls function requires %d argument(s)."},
    {189, 15, "The %.*ls function requires %d to %d arguments."},
    {191, 15,
     "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
     "smaller queries."},
    {195, 15, "'%.*ls' is not a recognized %S_MSG."},
    {201, 16, "Procedure or function '%.*ls' expects parameter '%.*ls', which was not supplied."},
    {205, 16,
     "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number "
     "of expressions in their target lists."},
    {206, 16, "Operand type clash: %ls is incompatible with %ls"},
    {207, 16, "Invalid column name '%.*ls'."},
    {208, 16, "Invalid object name '%.*ls'."},
    {209, 16, "Ambiguous column name '%.*ls'."},
    {213, 16, "Column name or number of supplied values does not match table definition."},
    {214, 16, "Procedure expects parameter '%ls' of type '%ls'."},
    {215, 16,
     "Parameters supplied for object '%.*ls' which is not a function. If the parameters are "
     "intended as a table hint, a WITH keyword is required."},
    {216, 16, "Parameters were not supplied for the function '%.*ls'."},
    {217, 16,
     "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit %d)."},
    {218, 16,
     "Could not find the type '%.*ls' because it does not exist or you do not have permission."},
    {219, 16, "The type '%.*ls' already exists, or you do not have permission to create it."},
    {226, 16, "%ls statement not allowed within multi-statement transaction."},
    {235, 16, "Cannot convert a char value to money. The char value has incorrect syntax."},
    {241, 16, "Conversion failed when converting date and/or time from character string."},
    {242, 16,
     "The conversion of a %ls data type to a %ls data type resulted in an out-of-range value."},
    {245, 16, "Conversion failed when converting the %ls value '%.*ls' to data type %ls."},
    {248, 16,
     "The conversion of the %ls value '%.*ls' overflowed an %hs column. Use a larger integer "
     "column."},
    {252, 16,
     "Recursive common table expression '%.*ls' does not contain a top-level UNION ALL "
     "operator."},
    {257, 16,
     "Implicit conversion from data type %ls to %ls is not allowed. Use the CONVERT function to "
     "run this query."},
    {259, 16, "Ad hoc updates to system catalogs are not allowed."},
    {263, 16, "Must specify table to select from."},
    {264, 16,
     "The column name '%.*ls' is specified more than once in the SET clause or column list of an "
     "INSERT. A column cannot be assigned more than one value in the same clause. Modify the "
     "clause to make sure that a column is updated only once. If this statement updates or "
     "inserts columns into a view, column name aliasing can conceal the duplication in your "
     "code."},
    {271, 16,
     "The column \"%.*ls\" cannot be modified because it is either a computed column or is the "
     "result of a UNION operator."},
    {272, 16, "Cannot update a timestamp column."},
    {273, 16,
     "Cannot insert an explicit value into a timestamp column. Use INSERT with a column list to "
     "exclude the timestamp column, or insert a DEFAULT into the timestamp column."},
    {281, 16, "%d is not a valid style number when converting from %ls to a character string."},
    {289, 16,
     "Cannot construct data type %ls, some of the arguments have values which are not valid."},
    {302, 16,
     "The newsequentialid() built-in function can only be used in a DEFAULT expression for a "
     "column of type 'uniqueidentifier' in a CREATE TABLE or ALTER TABLE statement. It cannot be "
     "combined with other operators to form a complex scalar expression."},
    {310, 15,
     "The value %d specified for the MAXRECURSION option exceeds the allowed maximum of %d."},
    {313, 16,
     "An insufficient number of arguments were supplied for the procedure or function %.*ls."},
    {330, 15,
     "The target '%.*ls' of the OUTPUT INTO clause cannot be a view or common table expression."},
    {331, 15,
     "The target table '%.*ls' of the OUTPUT INTO clause cannot have any enabled triggers."},
    {332, 15,
     "The target table '%.*ls' of the OUTPUT INTO clause cannot be on either side of a (primary "
     "key, foreign key) relationship. Found reference constraint '%ls'."},
    {333, 15,
     "The target table '%.*ls' of the OUTPUT INTO clause cannot have any enabled check "
     "constraints or any enabled rules. Found check constraint or rule '%ls'."},
    {334, 15,
     "The target table '%.*ls' of the DML statement cannot have any enabled triggers if the "
     "statement contains an OUTPUT clause without INTO clause."},
    {448, 16, "Invalid collation '%.*ls'."},
    {513, 16,
     "A column insert or update conflicts with a rule imposed by a previous CREATE RULE "
     "statement. The statement was terminated. The conflict occurred in database '%.*ls', table "
     "'%.*ls', column '%.*ls'."},
    {515, 16,
     "Cannot insert the value NULL into column '%.*ls', table '%.*ls'; column does not allow "
     "nulls. %ls fails."},
    {517, 16, "Adding a value to a '%ls' column caused an overflow."},
    {529, 16, "Explicit conversion from data type %ls to %ls is not allowed."},
    {530, 16,
     "The statement terminated. The maximum recursion %d has been exhausted before statement "
     "completion."},
    {535, 16,
     "The datediff function resulted in an overflow. The number of dateparts separating two "
     "date/time instances is too large. Try to use datediff with a less precise datepart."},
    {536, 16, "Invalid length parameter passed to the %ls function."},
    {544, 16,
     "Cannot insert explicit value for identity column in table '%.*ls' when IDENTITY_INSERT is "
     "set to OFF."},
    {545, 16,
     "Explicit value must be specified for identity column in table '%.*ls' either when "
     "IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR "
     "REPLICATION identity column."},
    {547, 16,
     "The %ls statement conflicted with the %ls constraint \"%.*ls\". The conflict occurred in "
     "database \"%.*ls\", table \"%.*ls\"%ls%.*ls%ls."},
    {628, 16, "Cannot issue SAVE TRANSACTION when there is no active transaction."},
    {701, 17, "There is insufficient system memory in resource pool '%ls' to run this query."},
    {823, 24,
     "The operating system returned error %ls to SQL Server during a %S_MSG in file '%ls'. "
     "Additional messages in the SQL Server error log and system event log may provide more "
     "detail."},
    {824, 24,
     "SQL Server detected a logical consistency-based I/O error in file '%ls'. The database is "
     "damaged: restore it from a backup."},
    {911, 16, "Database '%.*ls' does not exist. Make sure that the name is entered correctly."},
    {945, 14, "Database '%.*ls' cannot be opened: its file %ls is missing."},
    {1002, 16, "Specified scale %d is invalid."},
    {1038, 15,
     "An object or column name is missing or empty. For SELECT INTO statements, verify each "
     "column has a name. For other statements, look for empty alias names. Aliases defined as "
     "\"\" or [] are not allowed. Change the alias to a valid name."},
    {1087, 15, "Must declare the table variable \"%.*ls\"."},
    {1088, 16,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have "
     "permissions."},
    {1105, 17,
     "Could not allocate space for object '%.*ls' in database '%.*ls' because the '%.*ls' "
     "filegroup is full. Create disk space by deleting unneeded files, dropping objects in the "
     "filegroup, adding additional files to the filegroup, or setting autogrowth on for existing "
     "files in the filegroup."},
    {1222, 16, "Lock request time out period exceeded."},
    {1223, 16,
     "Cannot release the application lock (Database Principal: '%.*ls', Resource: '%.*ls') "
     "because it is not currently held."},
    {1505, 16,
     "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the "
     "object name '%.*ls'."},
    {1750, 16, "Could not create constraint or index. See previous errors."},
    {1755, 16,
     "Defaults cannot be created on columns of data type timestamp. Table '%.*ls', column "
     "'%.*ls'."},
    {1761, 16,
     "Cannot create the foreign key \"%.*ls\" with the SET NULL referential action, because one "
     "or more referencing columns are not nullable.",
     1750},
    {1767, 16, "Foreign key '%.*ls' references invalid table '%.*ls'."},
    {1769, 16,
     "Foreign key '%.*ls' references invalid column '%.*ls' in referencing table '%.*ls'."},
    {1770, 16,
     "Foreign key '%.*ls' references invalid column '%.*ls' in referenced table '%.*ls'."},
    {1776, 16,
     "There are no primary or candidate keys in the referenced table '%.*ls' that match the "
     "referencing column list in the foreign key '%.*ls'."},
    {1779, 16, "Table '%.*ls' already has a primary key defined on it."},
    {1781, 16, "Column already has a DEFAULT bound to it."},
    {1785, 16,
     "Introducing FOREIGN KEY constraint '%.*ls' on table '%.*ls' may cause cycles or multiple "
     "cascade paths. Specify ON DELETE NO ACTION or ON UPDATE NO ACTION, or modify other FOREIGN "
     "KEY constraints.",
     1750},
    {1801, 16, "Database '%.*ls' already exists. Choose a different database name."},
    {1802, 16,
     "CREATE DATABASE failed. Some file names listed could not be created. Check related errors."},
    {1902, 16,
     "Cannot create more than one clustered index on %S_MSG '%.*ls'. Drop the existing clustered "
     "index '%.*ls' before creating another."},
    {1909, 16, "Column name '%.*ls' appears more than once in the key list."},
    {1911, 16, "Column name '%.*ls' does not exist in the target table or view."},
    {1913, 16,
     "The operation failed because an index or statistics with name '%.*ls' already exists on "
     "%S_MSG '%.*ls'."},
    {2010, 16, "Cannot perform alter on '%.*ls' because it is an incompatible object type."},
    {2501, 16, "Cannot find a table or object with the name \"%.*ls\". Check the system catalog."},
    {2528, 10,
     "DBCC execution completed. If DBCC printed error messages, contact your system "
     "administrator."},
    {2560, 16, "Parameter %d is incorrect for this DBCC statement."},
    {2601, 14, "Cannot insert duplicate key row in object '%.*ls' with unique index '%.*ls'."},
    {2627, 14,
     "Violation of %ls constraint '%.*ls'. Cannot insert duplicate key in object '%.*ls'."},
    {2705, 16,
     "Column names in each table must be unique. Column name '%.*ls' in table '%.*ls' is "
     "specified more than once."},
    {2714, 16, "There is already an object named '%.*ls' in the database."},
    {2715, 16, "Column, parameter, or variable #%d: Cannot find data type %.*ls."},
    {2716, 16, "Cannot specify a column width on data type %.*ls."},
    {2732, 16,
     "Error number %ld is invalid. The number must be from %ld through %ld and it must not be "
     "50000."},
    {2738, 16,
     "A table can only have one timestamp column. Because table '%.*ls' already has one, the "
     "column '%.*ls' cannot be added."},
    {2741, 16, "SET DATEFORMAT date order '%.*ls' not supported."},
    {2744, 16,
     "Multiple identity columns specified for table '%.*ls'. Only one identity column per table "
     "is allowed."},
    {2749, 16,
     "Identity column '%.*ls' must be of data type int, bigint, smallint, tinyint, or decimal or "
     "numeric with a scale of 0, and constrained to be nonnullable."},
    {2750, 16,
     "Column or parameter #%d: Specified column precision %d is greater than the maximum "
     "precision of %d."},
    {2751, 16,
     "Column or parameter #%d: Specified column scale %d is greater than the specified precision "
     "of %d."},
    {2754, 16,
     "Error severity levels greater than 18 can only be specified by members of the sysadmin "
     "role, using the WITH LOG option."},
    {2767, 16, "Could not locate statistics '%.*ls' in the system catalogs."},
    {2786, 16,
     "The data type of substitution parameter %d does not match the expected type of the format "
     "specification."},
    {2812, 16, "Could not find stored procedure '%.*ls'."},
    {3609, 16, "The transaction ended in the trigger. The batch has been aborted."},
    {3623, 16, "An invalid floating point operation occurred."},
    {3701, 11,
     "Cannot drop the %S_MSG '%.*ls', because it does not exist or you do not have permission."},
    {3702, 16, "Cannot drop database \"%.*ls\" because it is currently in use."},
    {3708, 16, "Cannot %S_MSG the %S_MSG '%.*ls' because it is a system %S_MSG."},
    {3716, 16, "The %S_MSG '%.*ls' cannot be dropped because it is bound to one or more %S_MSG."},
    {3717, 16,
     "Cannot drop a default constraint by DROP DEFAULT statement. Use ALTER TABLE to drop a "
     "constraint default."},
    {3723, 16,
     "An explicit DROP INDEX is not allowed on index '%.*ls'. It is being used for %ls constraint "
     "enforcement."},
    {3726, 16,
     "Could not drop object '%.*ls' because it is referenced by a FOREIGN KEY constraint."},
    {3727, 16, "Could not drop constraint. See previous errors."},
    {3728, 16, "'%.*ls' is not a constraint."},
    {3732, 16,
     "Cannot drop type '%.*ls' because it is being referenced by object '%.*ls'. There may be "
     "other objects that reference this type."},
    {3902, 16, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {3903, 16, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {3906, 16, "Failed to update database \"%.*ls\" because the database is read-only."},
    {3930, 16,
     "The current transaction cannot be committed and cannot support operations that write to "
     "the log file. Roll back the transaction."},
    {3931, 16,
     "The current transaction cannot be committed and cannot be rolled back to a savepoint. Roll "
     "back the entire transaction."},
    {3998, 16,
     "Uncommittable transaction is detected at the end of the batch. The transaction is rolled "
     "back."},
    {4060, 11, "Cannot open database \"%.*ls\" requested by the login. The login failed."},
    {4104, 16, "The multi-part identifier \"%.*ls\" could not be bound."},
    {4112, 16, "The function '%.*ls' must have an OVER clause with ORDER BY."},
    {4121, 16,
     "Cannot find either column \"%.*ls\" or the user-defined function or aggregate \"%.*ls\", or "
     "the name is ambiguous."},
    {4511, 16,
     "Create View or Function failed because no column name was specified for column %d."},
    {4617, 16,
     "Cannot grant, deny or revoke permissions to sa, dbo, entity owner, information_schema, sys, "
     "or yourself."},
    {4712, 16,
     "Cannot truncate table '%.*ls' because it is being referenced by a FOREIGN KEY constraint."},
    {4901, 16,
     "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT "
     "definition specified, or the column being added is an identity or timestamp column, or "
     "alternatively if none of the previous conditions are satisfied the table must be empty to "
     "allow addition of this column. Column '%.*ls' cannot be added to non-empty table '%.*ls' "
     "because it does not satisfy these conditions."},
    {4902, 16,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have permissions."},
    {4916, 16, "Could not enable or disable the constraint. See previous errors."},
    {4917, 16, "Constraint '%.*ls' does not exist.", 4916},
    {4922, 16, "ALTER TABLE %ls %.*ls failed because one or more objects access this column."},
    {4923, 16,
     "ALTER TABLE DROP COLUMN failed because '%.*ls' is the only data column in table '%.*ls'. A "
     "table must have at least one data column."},
    {4924, 16,
     "ALTER TABLE DROP COLUMN failed because column '%.*ls' does not exist in table '%.*ls'."},
    {5074, 16, "The %S_MSG '%.*ls' is dependent on %S_MSG '%.*ls'.", 4922},
    {5120, 16, "Unable to open the physical file \"%.*ls\". Operating system error %ls."},
    {5133, 16, "Directory lookup for the file \"%ls\" failed with the operating system error %ls.",
     1802},
    {5170, 16,
     "Cannot create file '%ls' because it already exists. Change the file path or the file name, "
     "and retry the operation.",
     1802},
    {5172, 16, "The header for file '%ls' is not a valid database file header."},
    {5316, 16,
     "The target '%.*ls' of the MERGE statement has an INSTEAD OF trigger on some, but not all, of "
     "the actions specified in the MERGE statement. In a MERGE statement, if any action has an "
     "enabled INSTEAD OF trigger on the target, then all actions must have enabled INSTEAD OF "
     "triggers."},
    {5318, 16,
     "In a MERGE statement, the source and target cannot have the same name or alias. Use "
     "different aliases for the source and target to ensure that they have unique names in the "
     "MERGE statement."},
    {5324, 15,
     "In a MERGE statement, a '%S_MSG' clause with a search condition cannot appear after a "
     "'%S_MSG' clause with no search condition."},
    {5333, 16,
     "The identifier '%.*ls' cannot be bound. Only source columns and columns in the clause scope "
     "are allowed in the 'WHEN NOT MATCHED' clause of a MERGE statement."},
    {5334, 16,
     "The identifier '%.*ls' cannot be bound. Only target columns and columns in the clause scope "
     "are allowed in the 'WHEN NOT MATCHED BY SOURCE' clause of a MERGE statement."},
    {5703, 10, "Changed language setting to %.*ls."},
    {6401, 16, "Cannot roll back %.*ls. No transaction or savepoint of that name was found."},
    {7609, 17, "Full-Text Search is not installed, or a full-text component cannot be loaded."},
    {7997, 16, "'%.*ls' does not contain an identity column."},
    {7998, 10,
     "Checking identity information: current identity value '%.*ls', current column value "
     "'%.*ls'."},
    {7999, 16, "Could not find any index named '%.*ls' for table '%.*ls'."},
    {8102, 16, "Cannot update identity column '%.*ls'."},
    {8105, 16, "'%.*ls' is not a user table. Cannot perform SET operation."},
    {8106, 16, "Table '%.*ls' does not have the identity property. Cannot perform SET operation."},
    {8107, 16,
     "IDENTITY_INSERT is already ON for table '%.*ls'. Cannot perform SET operation for table "
     "'%.*ls'."},
    {8111, 16, "Cannot define PRIMARY KEY constraint on nullable column in table '%.*ls'."},
    {8114, 16, "Error converting data type %ls to %ls."},
    {8115, 16, "Arithmetic overflow error converting %ls to data type %ls."},
    {8116, 16, "Argument data type %ls is invalid for argument %d of %ls function."},
    {8117, 16, "Operand data type %ls is invalid for %ls operator."},
    {8134, 16, "Divide by zero error encountered."},
    {8144, 16, "Procedure or function %.*ls has too many arguments specified."},
    {8145, 16, "%.*ls is not a parameter for procedure %.*ls."},
    {8146, 16, "Procedure %.*ls has no parameters and arguments were supplied."},
    {8152, 16, "String or binary data would be truncated."},
    {8155, 16, "No column name was specified for column %d of '%.*ls'."},
    {8158, 16, "'%.*ls' has more columns than were specified in the column list."},
    {8159, 16, "'%.*ls' has fewer columns than were specified in the column list."},
    {8161, 16,
     "Argument 1 of the GROUPING function does not match any of the expressions in the GROUP "
     "BY clause."},
    {8162, 16,
     "The formal parameter \"%.*ls\" was not declared as an OUTPUT parameter, but the actual "
     "parameter passed in requested output."},
    {8164, 16, "An INSERT EXEC statement cannot be nested."},
    {8169, 16, "Conversion failed when converting from a character string to uniqueidentifier."},
    {8178, 16,
     "The parameterized query '%.*ls' expects the parameter '%.*ls', which was not supplied."},
    {8197, 16, "The object '%.*ls' does not exist or is invalid for this operation."},
    {8672, 16,
     "The MERGE statement attempted to UPDATE or DELETE the same row more than once. This happens "
     "when a target row matches more than one source row. A MERGE statement cannot UPDATE/DELETE "
     "the same row of the target table multiple times. Refine the ON clause to ensure a target "
     "row matches at most one source row, or use the GROUP BY clause to group the source rows."},
    {8989, 16, "CHECKDB found %d allocation errors and %d consistency errors in database '%ls'."},
    {9809, 16, "The style %d is not supported for conversions from %ls to %ls."},
    {9810, 16, "The datepart %ls is not supported by date function %ls for data type %ls."},
    {9812, 16, "The timezone provided to builtin function %.*ls is invalid."},
    {9818, 16, "The culture parameter '%.*ls' provided in the function call is not supported."},
    {9828, 16,
     "The second and third arguments of the TRANSLATE built-in function must contain an equal "
     "number of characters."},
    {10704, 15,
     "To rethrow an error, a THROW statement must be used inside a CATCH block. Insert the THROW "
     "statement inside a CATCH block, or add error parameters to the THROW statement."},
    {10709, 15,
     "The number of columns for each row in a table value constructor must be the same."},
    {10710, 15,
     "An action of type '%S_MSG' is not allowed in the 'WHEN NOT MATCHED' clause of a MERGE "
     "statement."},
    {10711, 15,
     "An action of type 'INSERT' is not allowed in the '%S_MSG' clause of a MERGE statement."},
    {10713, 15, "A MERGE statement must be terminated by a semi-colon (;)."},
    {10714, 15,
     "An action of type '%S_MSG' cannot appear more than once in a '%S_MSG' clause of a MERGE "
     "statement."},
    {10739, 15,
     "The insert column list used in the MERGE statement cannot contain multi-part identifiers. "
     "Use single part identifiers instead."},
    {10753, 15, "The function '%.*ls' must have an OVER clause."},
    {10760, 16,
     "Scale argument is not valid. Valid expressions for data type %ls scale argument are integer "
     "constants and integer constant expressions."},
    {11415, 16,
     "Object '%.*ls' cannot be disabled or enabled. This action applies only to foreign key and "
     "check constraints.",
     4916},
    {15002, 16, "The procedure '%s' cannot be executed within a transaction."},
    {15007, 16, "'%s' is not a valid login or you do not have permission."},
    {15008, 16, "User '%s' does not exist in the current database."},
    {15009, 16,
     "The object '%s' does not exist in database '%s' or is invalid for this operation."},
    {15010, 16,
     "The database '%s' does not exist. Supply a valid database name. To see available "
     "databases, use sys.databases."},
    {15014, 16, "The role '%s' does not exist in the current database."},
    {15016, 16, "The default '%s' does not exist."},
    {15017, 16, "The rule '%s' does not exist."},
    {15023, 16, "User, group, or role '%s' already exists in the current database."},
    {15025, 16, "The server principal '%s' already exists."},
    {15048, 10, "Valid values of the database compatibility level are %d, %d, %d, or %d."},
    {15049, 11, "Cannot unbind from '%s'. Use ALTER TABLE DROP CONSTRAINT."},
    {15050, 11,
     "Cannot bind default '%s'. The default must be created using the CREATE DEFAULT statement."},
    {15054, 10, "The current compatibility level is %d."},
    {15063, 16, "The login already has an account under a different user name."},
    {15081, 16, "Membership of the public role cannot be changed."},
    {15101, 16,
     "Cannot bind a default to a computed column, a sparse column, or to a column of the "
     "following data types: timestamp, varchar(max), nvarchar(max), varbinary(max), xml, or CLR "
     "type."},
    {15102, 16, "Cannot bind a default to an identity column."},
    {15103, 16,
     "Cannot bind a default to a column created with or altered to have a default value."},
    {15107, 16,
     "Cannot bind a rule to a computed column, a sparse column, or to a column of the following "
     "data types: text, ntext, image, timestamp, varchar(max), nvarchar(max), varbinary(max), xml, "
     "or user-defined data type."},
    {15112, 11,
     "The third parameter for table option 'text in row' is invalid. It should be 'on', 'off', "
     "'0', '1' or a number from 24 through 7000."},
    {15123, 16, "The configuration option '%s' does not exist, or it may be an advanced option."},
    {15124, 16, "The configuration option '%s' is not unique."},
    {15129, 16, "'%d' is not a valid value for configuration option '%s'."},
    {15135, 16,
     "Object is invalid. Extended properties are not permitted on '%s', or the object does not "
     "exist."},
    {15138, 16, "The database principal owns a %S_MSG in the database, and cannot be dropped."},
    {15144, 16, "The role has members. It must be empty before it can be dropped."},
    {15148, 16, "The data type or table column '%s' does not exist or you do not have permission."},
    {15150, 16, "Cannot %S_MSG the %S_MSG '%.*ls'."},
    {15151, 16,
     "Cannot %S_MSG the %S_MSG '%.*ls', because it does not exist or you do not have "
     "permission."},
    {15197, 16, "There is no text for object '%s'."},
    {15217, 16, "Property cannot be updated or deleted. Property '%s' does not exist for '%s'."},
    {15223, 11, "Error: The input parameter '%s' is not allowed to be null."},
    {15231, 16,
     "The argument specified for the '%ls' parameter of stored procedure '%ls' is not valid. "
     "Valid arguments are 'ON', 'OFF', 'TRUE' and 'FALSE'."},
    {15233, 16, "Property cannot be added. Property '%s' already exists for '%s'."},
    {15236, 16, "Column '%s' has no default."},
    {15237, 16, "User data type '%s' has no default."},
    {15238, 16, "Column '%s' has no rule."},
    {15239, 16, "User data type '%s' has no rule."},
    {15248, 11,
     "Either the parameter @objname is ambiguous or the claimed @objtype (%s) is wrong."},
    {15335, 11,
     "Error: The new name '%s' is already in use as a %s name and would cause a duplicate that "
     "is not permitted."},
    {15388, 11,
     "There is no user table matching the input name '%s' in the current database or you do not "
     "have permission to access the table."},
    {15405, 11, "Cannot use the special principal '%s'."},
    {15410, 11, "User or role '%s' does not exist in this database."},
    {15413, 11, "Cannot make a role a member of itself."},
    {15416, 16, "Usage: sp_dbcmptlevel [dbname [, compatibilitylevel]]"},
    {15421, 16, "The database principal owns a database role and cannot be dropped."},
    {15434, 16, "Could not drop login '%s' as the user is currently logged in."},
    {15457, 10,
     "Configuration option '%ls' changed from %ld to %ld. Run the RECONFIGURE statement to "
     "install."},
    {15459, 10, "In the current database, the specified object references the following:"},
    {15460, 10, "In the current database, the specified object is referenced by the following:"},
    {15461, 10, "Object does not reference any object, and no objects reference it."},
    {15477, 10,
     "Caution: Changing any part of an object name could break scripts and stored procedures."},
    {15511, 10, "Default bound to column."},
    {15512, 10, "Default bound to data type."},
    {15513, 10, "The new default has been bound to columns(s) of the specified user data type."},
    {15514, 10, "Rule bound to table column."},
    {15515, 10, "Rule bound to data type."},
    {15516, 10, "The new rule has been bound to column(s) of the specified user data type."},
    {15519, 10, "Default unbound from table column."},
    {15520, 10, "Default unbound from data type."},
    {15521, 10, "Columns of the specified user data type had their defaults unbound."},
    {15522, 10, "Rule unbound from table column."},
    {15523, 10, "Rule unbound from data type."},
    {15524, 10, "Columns of the specified user data type had their rules unbound."},
    {15600, 15, "An invalid parameter or option was specified for procedure '%s'."},
    {16905, 16, "The cursor is already open."},
    {16911, 16, "%hs: The fetch type %hs cannot be used with forward only cursors."},
    {16915, 16, "A cursor with the name '%.*ls' already exists."},
    {16916, 16, "A cursor with the name '%.*ls' does not exist."},
    {16917, 16, "Cursor is not open."},
    {16924, 16,
     "Cursorfetch: The number of variables declared in the INTO list must match that of "
     "selected columns."},
    {18054, 16,
     "Error %d, severity %d, state %d was raised, but no message with that error number was found "
     "in sys.messages. If error is larger than 50000, make sure the user-defined message is added "
     "using sp_addmessage."},
    {18456, 14, "Login failed for user '%.*ls'."},
    {35100, 16,
     "Error number %d in the THROW statement is outside the valid range. Specify an error number "
     "in the valid range of 50000 to 2147483647."},
    {50000, 16, "%ls"},
});

constexpr bool SortedByNumber() {
  for (std::size_t i = 1; i < kMessages.size(); ++i) {
    if (kMessages[i - 1].number >= kMessages[i].number) return false;
  }
  return true;
}
static_assert(SortedByNumber(), "the message table is looked up by binary search");

// Length of the placeholder starting at `text[i]` ('%'): flags, width,
// precision, a length modifier and the conversion, or SQL Server's %S_MSG.
std::size_t PlaceholderLength(std::string_view text, std::size_t i) {
  if (text.compare(i, 6, "%S_MSG") == 0) return 6;
  std::size_t j = i + 1;
  while (j < text.size() && std::string_view("-+ #0").find(text[j]) != std::string_view::npos) ++j;
  while (j < text.size() && (text[j] == '*' || (text[j] >= '0' && text[j] <= '9'))) ++j;
  if (j < text.size() && text[j] == '.') {
    ++j;
    while (j < text.size() && (text[j] == '*' || (text[j] >= '0' && text[j] <= '9'))) ++j;
  }
  if (text.compare(j, 3, "I64") == 0) j += 3;
  while (j < text.size() && (text[j] == 'l' || text[j] == 'h')) ++j;
  if (j < text.size() && std::string_view("sdiuxXc").find(text[j]) != std::string_view::npos) {
    return j + 1 - i;
  }
  return 0;
}

}  // namespace

const ServerMessage* FindServerMessage(int number) {
  const auto it = std::lower_bound(kMessages.begin(), kMessages.end(), number,
                                   [](const ServerMessage& m, int n) { return m.number < n; });
  return it != kMessages.end() && it->number == number ? &*it : nullptr;
}

int SeverityOfNumber(int number) {
  const ServerMessage* message = FindServerMessage(number);
  return message ? message->severity : kUserErrorSeverity;
}

std::string FormatServerMessage(std::string_view text,
                                std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(text.size());
  auto next = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    const std::size_t length = PlaceholderLength(text, i);
    if (length == 0) {
      out += '%';
      continue;
    }
    if (next != args.end()) out += *next++;
    i += length - 1;
  }
  return out;
}

namespace {

const ServerMessage& RequireMessage(int number) {
  const ServerMessage* message = FindServerMessage(number);
  if (!message) {
    throw std::logic_error("Error " + std::to_string(number) +
                           " is raised but missing from the message table.");
  }
  return *message;
}

}  // namespace

DatabaseError ServerErrorByNumber(int number, std::initializer_list<std::string_view> args,
                                  std::initializer_list<std::string_view> closingArgs) {
  const ServerMessage& message = RequireMessage(number);
  std::string text = FormatServerMessage(message.text, args);
  if (message.closedBy != 0) {
    text += '\n';
    text += FormatServerMessage(RequireMessage(message.closedBy).text, closingArgs);
  }
  return DatabaseError(text, number, message.severity);
}

std::string OperatingSystemError(int systemError) {
  if (systemError == 0) return "0(no operating system error)";
  return std::to_string(systemError) + "(" + std::strerror(systemError) + ")";
}

std::string ServerMessageText(int number, std::initializer_list<std::string_view> args) {
  return FormatServerMessage(RequireMessage(number).text, args);
}

DatabaseError WithDetail(const DatabaseError& error, const std::string& detail) {
  return DatabaseError(std::string(error.what()) + '\n' + detail, error.Number(), error.Severity());
}

DatabaseError PrecededBy(const std::string& earlier, const DatabaseError& error) {
  return DatabaseError(earlier + '\n' + error.what(), error.Number(), error.Severity());
}

}  // namespace moltaro::db
