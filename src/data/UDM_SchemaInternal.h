// Shared by the two files of the schema: the creation phase
// (UDM_SchemaTables.cpp) and the versioned upgrade (UDM_Schema.cpp).
#pragma once

#include <QString>

namespace Schema {

// The built-in customer 0, target of every KonzernID 0.
QString InsertCustomerZero();

} // namespace Schema
