// The program's version table: ProductVersion, FileDescription,
// LegalCopyright and CompanyName, compiled in from the build's cache
// variables. It belongs to the executable the table is linked into.
#pragma once

#include <string>

namespace kx {

// The running executable's own path (empty when it cannot be read).
std::u16string ModulePath();

// One string of the version table of the file at `path`: empty when the file
// is not the executable carrying the table, or the name is not in it.
std::u16string GetVersionInfoString(const std::u16string& path, const std::u16string& name);

std::u16string GetLegalCopyright(const std::u16string& path = ModulePath());
std::u16string GetCompanyName(const std::u16string& path = ModulePath());
std::u16string GetFileDescription(const std::u16string& path = ModulePath());
std::u16string GetProductVersion(const std::u16string& path = ModulePath());

}  // namespace kx
