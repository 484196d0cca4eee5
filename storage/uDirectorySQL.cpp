#include "uDirectorySQL.h"

const char* const kReadSQL = "SELECT * FROM directory d WHERE d.idd = ";
const char* const kChildCountSQL = "SELECT COUNT(idd) as childs FROM directory WHERE id_parent = ";
const char* const kExistsSQL = "SELECT idd FROM directory WHERE idd=";
const char* const kUpdateSQL =
    " UPDATE directory                       SET id_parent = :id_parent,                "
    "order_position = :order_position,      title = :title,                        "
    "description = :description,            kind = :kind,                          "
    "flags = :flags                     WHERE (idd = :idd)                    ";
const char* const kInsertSQL =
    " INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
    "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, :flags)         ";
const char* const kChainSQL = "SELECT FIRST 1 * FROM directory d WHERE COALESCE(d.idd, 0) = ";
const char* const kChildrenSQL = "SELECT d.idd FROM directory d WHERE COALESCE(d.id_parent, 0) = ";
const char* const kChildrenOrderSQL = " ORDER BY d.order_position";
const char* const kOrderUpdateSQL = "UPDATE directory SET order_position = :order_position WHERE idd = :idd";
const char* const kFolderListingSQL =
    "SELECT d.idd FROM directory d WHERE d.id_parent = :id_parent ORDER BY d.kind desc, d.order_position";
const char* const kParentLookupSQL = "SELECT FIRST 1 * FROM directory d WHERE d.idd = :id";
